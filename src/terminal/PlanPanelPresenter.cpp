#include "terminal/PlanPanelPresenter.h"

#include "terminal/PlanJUnit.h"
#include "terminal/PlanReportFile.h"
#include "terminal/SetPointControls.h"
#include "terminal/TestPlanReader.h"

TPlanPanelPresenter::TPlanPanelPresenter(TTerminalSession& session, TSetPointControls* setPoints)
    : FRunner(session) {
    if (setPoints) FRunner.SetResistance = [setPoints](std::int32_t resistance) { setPoints->SetResistance(resistance); };
    FRunner.OnRowChanged = [this](std::size_t) { Raise(OnChanged); };
    FRunner.OnFinished = [this] { Raise(OnChanged); };
}

std::string TPlanPanelPresenter::Load(const std::string& path) {
    if (Running()) return "A test plan is running: stop it first.";
    try {
        FPlan = TTestPlanReader::ReadFile(path);
        FShowingRun = false;
    } catch (const TTestPlanReader::EUnreadable& refusal) {
        return std::string("The test plan cannot be run:\n") + refusal.what();
    }
    Raise(OnChanged);
    return {};
}

std::string TPlanPanelPresenter::PlanTitle() const {
    return FPlan ? FPlan->Name + " (" + FPlan->FileName + ")" : "No test plan loaded";
}

void TPlanPanelPresenter::StartOrStop() {
    if (Running()) FRunner.Stop();
    else if (FPlan) {
        FShowingRun = true;
        FRunner.Start(*FPlan);
    }
    Raise(OnChanged);
}

void TPlanPanelPresenter::Answer(bool yes) { FRunner.Answer(yes); }

void TPlanPanelPresenter::Close() { FRunner.Stop("stopped: the panel was closed"); }

std::vector<TPlanPanelPresenter::TRowView> TPlanPanelPresenter::Rows() const {
    std::vector<TRowView> rows;
    if (const TPlanExecution* execution = FRunner.Execution(); execution && FShowingRun) {
        for (std::size_t row = 0; row < execution->Rows().size(); ++row) {
            const TPlanExecution::TRow& state = execution->Rows()[row];
            const bool failed = state.State == TPlanExecution::stFailed;
            const std::string reading = state.State == TPlanExecution::stRunning ? execution->Reading() : "";
            rows.push_back({std::to_string(row), state.Title, TPlanReport::StateText(state.State),
                            reading.empty() ? state.Measured : "now " + reading, failed ? state.Expected : "",
                            state.State});
        }
        return rows;
    }
    if (!FPlan) return rows;
    // Loaded and not run yet: the rows as they will run.
    const TPlanExecution preview(*FPlan);
    for (std::size_t row = 0; row < preview.Rows().size(); ++row)
        rows.push_back({std::to_string(row), preview.Rows()[row].Title, "", "", "", TPlanExecution::stPending});
    return rows;
}

std::size_t TPlanPanelPresenter::Done() const {
    const TPlanExecution* execution = FRunner.Execution();
    if (!execution || !FShowingRun) return 0;
    const auto& rows = execution->Rows();
    using E = TPlanExecution;
    return E::Count(rows, E::stPassed) + E::Count(rows, E::stFailed) + E::Count(rows, E::stNotRun);
}

std::string TPlanPanelPresenter::Question() const {
    const TPlanExecution* execution = FRunner.Execution();
    if (!Running() || execution->Current() == 0) return {};
    const TPlanStep& step = execution->StepOf(execution->Current());
    return step.Kind == TPlanStepKind::psAsk ? step.Text : std::string();
}

std::string TPlanPanelPresenter::Verdict() const {
    if (!HasReport()) return {};
    return FRunner.Execution()->Passed() ? "PASSED" : "FAILED";
}

std::string TPlanPanelPresenter::SaveReport(const std::string& path, bool junit) const {
    const TPlanReport report = FRunner.Report();
    return PlanReportFile::Save(path, junit ? TPlanJUnit::Xml(report) : report.TextFile());
}
