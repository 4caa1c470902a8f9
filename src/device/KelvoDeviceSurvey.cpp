// Connection survey, repair and keep-alive.
#include "device/KelvoDevice.h"

#include "device/KelvoProtocol.h"
#include "device/RepairAbort.h"
#include "device/SurveyReports.h"
#include "device_link/SerialDevice.h"
#include "device_link/WaitWithMessages.h"

#include <algorithm>
#include <stdexcept>

using namespace KelvoProtocol;

namespace {
constexpr std::int32_t MinSurveyInterval = 400;
constexpr std::int32_t MaxSurveyInterval = 3000;
// The long-frame family is watched at a fixed pace, whatever the stored interval.
constexpr std::int32_t LongFrameSurveyInterval = 3000;
constexpr std::int32_t MinCloseOpenDelay = 300;
constexpr std::int32_t MaxCloseOpenDelay = 2000;
// The long-frame family gives up on the third attempt that finds the port closed.
constexpr std::int32_t LongFrameTriesBeforeGivingUp = 2;

} // namespace

void TKelvoDevice::SetConnectionSurvey(bool Value) {
    if (Value == FConnectionSurvey) return;
    FConnectionSurvey = Value;
    // A survey of a disconnected device would "repair" by opening the port the user closed.
    FConnectionSurveyTimer->SetEnabled(Value && FConnected);
}

void TKelvoDevice::SetConnectionSurveyInterval(std::int32_t Value) {
    if (FVersion > 4) {
        FConnectionSurveyTimer->SetInterval(LongFrameSurveyInterval);
        return;
    }
    FConnectionSurveyInterval = std::clamp(Value, MinSurveyInterval, MaxSurveyInterval);
    FConnectionSurveyTimer->SetInterval(static_cast<std::uint32_t>(FConnectionSurveyInterval));
}

void TKelvoDevice::SetDisconDelayBetweenCloseOpenPort(std::int32_t Value) {
    if (Value == FDisconDelayBetweenCloseOpenPort) return;
    FDisconDelayBetweenCloseOpenPort = std::clamp(Value, MinCloseOpenDelay, MaxCloseOpenDelay);
}

void TKelvoDevice::SetSurveysActive(bool Value) {
    const bool active = Value && FConnected;
    FHeartSurveyTimer->SetEnabled(active && HeartSurveyWanted());
    FConnectionSurveyTimer->SetEnabled(active && FConnectionSurvey);
}

bool TKelvoDevice::HeartSurveyWanted() const { return FHeartEnabled && FHeartConnectionSurvey; }

void TKelvoDevice::DoRepairingConnection() { Raise(OnRepairingConnection, this); }

void TKelvoDevice::DoConnectionLost() { Raise(OnConnectionLost, this); }

// ---- Survey tick ----

void TKelvoDevice::SurveyTick(TComponent*) {
    if (IsDestroying() || FSimulationMode) return;
    // Ticks that arrive while this one waits find no handler.
    FConnectionSurveyTimer->OnTimer = nullptr;
    try {
        if (FNoMessageSinceTick) RepairStep();
    } catch (...) {
        EndSurveyTick();
        throw;
    }
    EndSurveyTick();
}

void TKelvoDevice::EndSurveyTick() {
    FRepairing = false;
    FNoMessageSinceTick = true;
    // The destructor may already have freed the timer when a repair wait let it run.
    if (FConnectionSurveyTimer)
        FConnectionSurveyTimer->OnTimer = [this](TComponent* sender) { SurveyTick(sender); };
}

void TKelvoDevice::RepairStep() {
    FHeartSurveyTimer->SetEnabled(false);
    FRepairing = true;
    FRepairCancelled = false;
    FReopenFailure.clear();
    if (FRepairTries == 0) {
        ++FDisconnectionCount;
        DoRepairingConnection();
    }
    DoErrorInfo(ketConnecting, SurveyReport::RepairAttempt, FRepairTries + 1);
    if (FRepairTries >= FDisconMaxTry) {
        GiveUpRepair();
        return;
    }
    ++FRepairTries;
    if (FVersion <= 4) RepairShortFamily();
    else RepairLongFamily();
}

void TKelvoDevice::RepairShortFamily() {
    try {
        QuickConnectDevice(FDisconUseCloseOpenPort);
    } catch (const ERepairAbort&) {
        return; // the port did not reopen: the next silent tick tries again
    }
    if (RepairEnded()) return;
    if (FComPort->GetConnected()) RepairSucceeded();
    else GiveUpRepair();
}

void TKelvoDevice::RepairLongFamily() {
    try {
        ReconnectDevice();
    } catch (const ERepairAbort&) {
        // Reported already; the port's state decides below.
    }
    if (RepairEnded()) return;
    if (FComPort->GetConnected()) RepairSucceeded();
    else if (FRepairTries > LongFrameTriesBeforeGivingUp) GiveUpRepair();
}

void TKelvoDevice::RepairSucceeded() {
    FRepairTries = 0;
    DoErrorInfo(ketConnected, SurveyReport::Restored, -1);
    FHeartSurveyTimer->SetEnabled(HeartSurveyWanted());
}

// The repair is over before anyone hears of the loss: a search started from OnConnectionLost
// must find a device that is not repairing.
void TKelvoDevice::GiveUpRepair() {
    FRepairing = false;
    DoErrorInfo(ketConnecting, SurveyReport::GivenUp, FRepairTries);
    SetConnected(false);
    DoConnectionLost();
}

// ---- Repair steps ----

void TKelvoDevice::QuickConnectDevice(bool ClosePortFirst) {
    if (IsDestroying()) return;
    if (FVersion > 4)
        throw std::logic_error("Procedure QuickConnectDevice: the Kelvo version must be 4 or lower!");
    const bool reopenFailed = ClosePortFirst && !TryCloseReopenPort();
    if (RepairEnded()) return;
    ReportIfPortNotOpen();
    if (reopenFailed) throw ERepairAbort();
    if (!FComPort->GetConnected()) return;
    try {
        FComPort->AbortPendingIo();
        FComPort->ClearBuffers(true, true);
    } catch (const std::exception&) {
        // Stale bytes only delay the answer.
    }
    try {
        Send(IdentificationRequest());
        DoErrorInfo(ketConnecting, SurveyReport::IdentificationSent, -1);
    } catch (const std::exception&) {
        // The next silent tick repairs again.
    }
}

void TKelvoDevice::ReconnectDevice() {
    if (IsDestroying() || FVersion < 4) return;
    const ByteString frame = BuildRequest(rqIdentification, IdentificationCode, 0);
    bool aborted = false;
    if (FComPort->GetConnected()) {
        try {
            Send(frame);
        } catch (const std::exception&) {
            aborted = !(TryCloseReopenPort() && TrySendIfOpen(frame));
        }
    } else if (TryCloseReopenPort()) {
        TrySendIfOpen(frame); // a failure here only shows as the port's state
    }
    if (RepairEnded()) return;
    ReportIfPortNotOpen();
    if (aborted) throw ERepairAbort();
}

void TKelvoDevice::CloseReopenPort() {
    const auto delay = static_cast<std::uint32_t>(FDisconDelayBetweenCloseOpenPort);
    MovePortForRepair([this] { FComPort->Close(); });
    WaitWithMessages(delay);
    if (RepairEnded()) return;
    MovePortForRepair([this] { FComPort->Open(); });
    WaitWithMessages(delay);
}

void TKelvoDevice::MovePortForRepair(const std::function<void()>& move) {
    FRepairMovesPort = true;
    try {
        move();
    } catch (...) {
        FRepairMovesPort = false;
        throw;
    }
    FRepairMovesPort = false;
}

bool TKelvoDevice::RepairEnded() const { return FRepairCancelled || IsDestroying() || WaitsAborted(); }

void TKelvoDevice::CancelRepair() {
    if (!FRepairing || FRepairMovesPort) return;
    FRepairing = false;
    FRepairCancelled = true;
}

bool TKelvoDevice::TryCloseReopenPort() {
    try {
        CloseReopenPort();
        return true;
    } catch (const EComPort& error) {
        FReopenFailure = ReopenFailureText(error);
        return false;
    } catch (const std::exception& error) {
        FReopenFailure = error.what();
        return false;
    }
}

// The open's words, and what to do about them where there is a hint (a port another program holds).
std::string TKelvoDevice::ReopenFailureText(const EComPort& error) const {
    const std::string hint = TSerialDevice::OpenFailureHint(GetComPortPort(), error.SystemErrorCode());
    return hint.empty() ? error.what() : std::string(error.what()) + "; " + hint;
}

bool TKelvoDevice::TrySendIfOpen(const ByteString& Frame) {
    try {
        if (FComPort->GetConnected()) Send(Frame);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void TKelvoDevice::ReportIfPortNotOpen() {
    if (FComPort->GetConnected()) return;
    if (FReopenFailure.empty()) FReopenFailure = ClosedPortReason();
    DoErrorInfo(ketConnecting, SurveyReport::PortNotOpen, -1);
}

// An open that did not fail, yet the port is closed: what closed it is the next failure's clue.
std::string TKelvoDevice::ClosedPortReason() const {
    if (!FPortCloseSinceOpen) return "the port opened, and reads closed although nothing closed it";
    return "the port closed " + std::to_string(FPortCloseSinceOpen->AfterOpenMs) + " ms after it opened, " +
           (FPortCloseSinceOpen->ByRepair ? "during the repair's own open or close" : "outside the repair's own open and close");
}

// ---- Keep-alive ----

bool TKelvoDevice::KeepsConsoleAwake() const {
    const bool connectedStatus = FStatus >= dsConnected && FStatus <= dsStopped;
    return FMaintainsConsoleActive && FConnected && connectedStatus;
}

void TKelvoDevice::KeepAliveAfterFrame() {
    if (FVersion == 4 && KeepsConsoleAwake()) SendKeepAlive();
}

void TKelvoDevice::SendKeepAliveSetPoints() {
    if (FVersion > 4 && KeepsConsoleAwake()) SendKeepAlive();
}

void TKelvoDevice::SendKeepAlive() {
    try {
        SendSetPoints();
    } catch (const std::exception&) {
        // A lost keep-alive is what the survey watches for; the frame that triggered it is
        // still delivered to its handlers.
    }
}
