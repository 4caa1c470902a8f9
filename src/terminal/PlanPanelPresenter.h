#pragma once

#include "terminal/PlanRunner.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

class TSetPointControls;
class TTerminalSession;

// The plan panel without widgets: the plan loaded, its steps as rows of the list, the
// progress, the operator's question, the verdict, and the reports saved where the user chose.
// The ride and every other window go on while a plan runs.
class TPlanPanelPresenter {
public:
    struct TRowView {
        std::string Number;
        std::string Step;
        std::string State;
        std::string Value;
        // For a failure, what the value had to be.
        std::string Expected;
        TPlanExecution::TState Kind = TPlanExecution::stPending;
    };

    static constexpr const char* StartCaption = "Start";
    static constexpr const char* StopCaption = "Stop";

    // `setPoints`: the window's controls, through which a resistance goes (may be nullptr).
    TPlanPanelPresenter(TTerminalSession& session, TSetPointControls* setPoints);

    // Reads the plan; returns the refusal for the user, empty when it was loaded. A plan
    // running is not replaced.
    std::string Load(const std::string& path);
    bool Loaded() const { return FPlan.has_value(); }
    std::string PlanTitle() const;

    // Start runs the loaded plan (again); Stop ends a running one.
    void StartOrStop();
    void Answer(bool yes);
    // The panel closes: a running plan stops.
    void Close();
    bool Running() const { return FRunner.Running(); }
    std::string StartButtonCaption() const { return Running() ? StopCaption : StartCaption; }

    std::vector<TRowView> Rows() const;
    // Rows ended, of all.
    std::size_t Done() const;
    std::size_t Total() const { return Rows().size(); }
    // The running step's question to the operator, empty when none is asked.
    std::string Question() const;
    // "PASSED" or "FAILED" once a plan ended, empty before and while it runs.
    std::string Verdict() const;
    bool HasReport() const { return FRunner.Execution() && !Running() && FShowingRun; }
    // Writes the text report or the JUnit XML; returns the system's reason on failure.
    std::string SaveReport(const std::string& path, bool junit) const;

    // Something the panel shows changed.
    std::function<void()> OnChanged;

private:
    TPlanRunner FRunner;
    std::optional<TTestPlan> FPlan;
    // The list shows the run rather than the plan loaded since.
    bool FShowingRun = false;
};
