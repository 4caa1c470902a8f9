#include "terminal/PlanRunner.h"

#include "device_link/TickClock.h"
#include "terminal/HandlerChain.h"
#include "terminal/TerminalSession.h"

#include <cmath>

namespace {
// Weak handles to a runner for the device's handlers, which may run after it is gone.
template <typename Handler> auto WhileAlive(const std::shared_ptr<TPlanRunner*>& self, Handler handler) {
    return [weak = std::weak_ptr<TPlanRunner*>(self), handler](auto&&... args) {
        if (const auto runner = weak.lock()) handler(**runner, args...);
    };
}
} // namespace

TPlanRunner::TPlanRunner(TTerminalSession& session) : FSession(session), FSelf(std::make_shared<TPlanRunner*>(this)) {
    FTimer.SetInterval(PollIntervalMs);
    FTimer.OnTimer = [this](TComponent*) { Poll(); };
    SetResistance = [this](std::int32_t resistance) { FSession.Device().SetKelvoResistance(resistance); };
    HookDevice();
}

TPlanRunner::~TPlanRunner() { FTimer.SetEnabled(false); }

void TPlanRunner::HookDevice() {
    TKelvoDevice& device = FSession.Device();
    RunAfterHandler(device.OnStats, WhileAlive(FSelf, [](TPlanRunner& runner, auto&&...) {
        if (!runner.Running()) return;
        runner.FExecution->StatsTick(TickCount());
        // The running step's reading changed with the tick.
        if (runner.Running()) Raise(runner.OnRowChanged, runner.FExecution->Current());
    }));
    RunAfterHandler(device.OnKelvoMessage, WhileAlive(FSelf, [](TPlanRunner& runner, TComponent*, TKelvoDeviceMessageType type, auto&&...) {
        if (runner.Running()) runner.FExecution->MessageTaken(runner.FSession.Device().GetMessageTick(), type);
    }));
    RunAfterHandler(device.OnConsoleKeyDown, WhileAlive(FSelf, [](TPlanRunner& runner, TComponent*, TConsoleKey key) {
        if (runner.Running()) runner.FExecution->KeyPressed(TickCount(), key);
    }));
    RunAfterHandler(device.OnRepairingConnection, WhileAlive(FSelf, [](TPlanRunner& runner, TComponent*) {
        ++runner.FDisconnections;
        if (runner.Running()) runner.FExecution->LinkLost(TickCount(), "link lost (silent console, repair started)");
    }));
    RunAfterHandler(device.OnDisconnected, WhileAlive(FSelf, [](TPlanRunner& runner, TComponent*) {
        ++runner.FDisconnections;
        if (runner.Running()) runner.FExecution->LinkLost(TickCount(), "console disconnected");
    }));
}

void TPlanRunner::Start(const TTestPlan& plan) {
    Stop();
    const TKelvoDevice& device = FSession.Device();
    const TLinkLedger& ledger = FSession.Ledger();
    FBaseline = {double(device.GetKelvoResistance()), double(device.GetCurrentElevation()),
                 double(device.GetCurrentSlope()), double(device.GetRiderWeight()),
                 ledger.Row(TLinkLedger::RejectedRow).Count, ledger.GetBytesDiscarded()};
    FSetPointsChanged.fill(false);
    FDisconnections = 0;
    FLedgerLines.clear();
    FLedgerPending = false;
    FStartTime = QDateTime::currentDateTime();
    FExecution = std::make_unique<TPlanExecution>(plan);
    FExecution->ReadFigures = [this] { return ReadFigures(); };
    FExecution->ApplySetPoint = [this](TPlanSetPoint setPoint, double value) { return Apply(setPoint, value); };
    FExecution->OnRowChanged = [this](std::size_t row) { Raise(OnRowChanged, row); };
    FExecution->OnFinished = [this] { Finished(); };
    FTimer.SetEnabled(true);
    FExecution->Start(TickCount());
}

void TPlanRunner::Stop(const std::string& why) {
    if (Running()) FExecution->Stop(TickCount(), why);
}

void TPlanRunner::Answer(bool yes) {
    if (Running()) FExecution->Answer(TickCount(), yes);
}

void TPlanRunner::Poll() {
    if (FLedgerPending) KeepLedger();
    else if (Running()) FExecution->Poll(TickCount());
}

void TPlanRunner::KeepLedger() {
    FLedgerPending = false;
    FTimer.SetEnabled(false);
    FLedgerLines = FSession.LinkQualityLines();
}

TPlanFigures TPlanRunner::ReadFigures() const {
    TKelvoDevice& device = FSession.Device();
    const TLinkLedger& ledger = FSession.Ledger();
    TPlanFigures figures;
    figures.Connected = device.GetConnected();
    figures.Version = device.GetVersion();
    figures.Speed = static_cast<double>(device.GetSpeed());
    figures.Cadence = device.GetCadence();
    figures.Heart = device.GetHeartRate();
    figures.Power = device.GetPower();
    figures.Energy = device.GetEnergy();
    figures.Distance = static_cast<double>(device.GetDistance());
    figures.Serial = device.GetSerialNumber();
    figures.Firmware = device.GetProductVersion();
    figures.MessageTick = device.GetMessageTick();
    figures.Disconnections = FDisconnections;
    figures.Rejected = Since(ledger.Row(TLinkLedger::RejectedRow).Count, FBaseline.Rejected);
    figures.Discarded = Since(ledger.GetBytesDiscarded(), FBaseline.Discarded);
    return figures;
}

std::string TPlanRunner::Apply(TPlanSetPoint setPoint, double value) {
    FSetPointsChanged[static_cast<std::size_t>(setPoint)] = true;
    TKelvoDevice& device = FSession.Device();
    const auto whole = static_cast<std::int32_t>(std::lround(value));
    switch (setPoint) {
    case TPlanSetPoint::spResistance:
        SetResistance(whole);
        // The device's safety holds the brake while the roller stands still.
        if (device.GetKelvoResistance() != whole) return "held at " + std::to_string(device.GetKelvoResistance()) + ": the roller stands still";
        break;
    case TPlanSetPoint::spElevation: device.SetCurrentElevation(whole); break;
    case TPlanSetPoint::spSlope: device.SetCurrentSlope(value); break;
    case TPlanSetPoint::spWeight: device.SetRiderWeight(value); break;
    }
    return {};
}

void TPlanRunner::Finished() {
    // A lost link ends the plan inside the device's handler, before the ledger has counted
    // the loss: the ledger is kept at the next poll, and read as it stands until then.
    FLedgerPending = true;
    FConsole = ConsoleNow();
    if (FSession.Device().GetConnected()) RestoreSetPoints();
    Raise(OnFinished);
}

void TPlanRunner::RestoreSetPoints() {
    const std::array<double, PlanSetPointCount> before{FBaseline.Resistance, FBaseline.Elevation, FBaseline.Slope,
                                                        FBaseline.Weight};
    for (std::size_t setPoint = 0; setPoint < PlanSetPointCount; ++setPoint)
        if (FSetPointsChanged[setPoint]) Apply(static_cast<TPlanSetPoint>(setPoint), before[setPoint]);
}

TPlanReport TPlanRunner::ConsoleNow() const {
    const TKelvoDevice& device = FSession.Device();
    TPlanReport console;
    console.ConsolePort = device.GetComPortPort();
    console.ConsoleVersion = device.GetVersion();
    console.Serial = device.GetSerialNumber();
    console.Firmware = device.GetProductVersion();
    const TTrafficCapture& capture = FSession.Capture();
    if (capture.IsRunning()) console.CaptureFile = capture.GetFileName();
    return console;
}

TPlanReport TPlanRunner::Report() const {
    if (!FExecution) return {};
    TPlanReport report = Running() ? ConsoleNow() : FConsole;
    report.PlanName = FExecution->Plan().Name;
    report.PlanFile = FExecution->Plan().FileName;
    report.StartTime = FStartTime.toOffsetFromUtc(FStartTime.offsetFromUtc()).toString(Qt::ISODate).toStdString();
    report.Rows = FExecution->Rows();
    report.Passed = FExecution->Passed();
    report.DurationMs = 0;
    for (const TPlanExecution::TRow& row : report.Rows)
        if (row.State == TPlanExecution::stPassed || row.State == TPlanExecution::stFailed)
            report.DurationMs = std::max(report.DurationMs, row.StartMs + row.DurationMs);
    report.LedgerLines = FLedgerLines.empty() ? FSession.LinkQualityLines() : FLedgerLines;
    return report;
}
