// Construction, core properties, protocol version, connection, ride status and requests.
#include "device/KelvoDevice.h"

#include "device/KelvoProtocol.h"
#include "device_link/TickClock.h"
#include "device_link/WaitWithMessages.h"

#include <algorithm>
#include <cmath>

using namespace KelvoProtocol;

std::int32_t TKelvoDevice::FoundPacketSize = 0;

namespace {
constexpr double OwnComponentVersion = 3.26;
constexpr std::int32_t TimerIntervalKeyRepeat = 500;
constexpr std::int32_t TimerIntervalStats = 1000;
constexpr int ConnectAttempts = 3;

std::unique_ptr<TQorinThreadTimer> MakeTimer(std::int32_t interval) {
    auto timer = std::make_unique<TQorinThreadTimer>();
    timer->SetInterval(interval);
    return timer;
}
} // namespace

TKelvoDevice::TKelvoDevice() {
    SetComponentVersion(OwnComponentVersion);
    FSerialNumber = 0;
    FProductVersion = 0;
    FoundPacketSize = 0;

    FKeyRepeatTimer = MakeTimer(TimerIntervalKeyRepeat);
    SetKeyRepeatInterval(TimerIntervalKeyRepeat);
    FHeartSurveyTimer = MakeTimer(3000);
    FConnectionSurveyTimer = MakeTimer(400);
    FConnectionSurveyInterval = 400;
    SetConnectionSurveyInterval(400);

    FComPort = std::make_unique<TComPort>();
    FDataPacket = std::make_unique<TComDataPacket>();
    FStatsTimer = MakeTimer(TimerIntervalStats);

    FVersion = 4;
    FStatus = dsDisconnected;
    FConnected = false;

    SetUpPort();
    HookPortEvents();
    HookDataPacketEvents();

    FMaintainsConsoleActive = true;
    FDebugMode = false;
    FRollValue = 5;
    FSimulationMode = false;

    FStatsTimer->OnTimer = [this](TComponent* sender) { StatsTick(sender); };
    FConnectionSurveyTimer->OnTimer = [this](TComponent* sender) { SurveyTick(sender); };
    FHeartSurveyTimer->OnTimer = [this](TComponent* sender) { HeartSurveyTick(sender); };
    FKeyRepeatTimer->OnTimer = [this](TComponent* sender) { KeyRepeatTick(sender); };

    FConnectionSurvey = true;
    FDisconUseCloseOpenPort = true;
    FDisconDelayBetweenCloseOpenPort = 300;
    FDisconMaxTry = 30;
    FDisconnectionCount = 0;
    FConsoleKeysEnabled = true;
    FLastConsoleKey = ckPlus;
    FEnterKeyMessage = 12345;
    UpdateDistancePerRollEvent();
}

TKelvoDevice::~TKelvoDevice() {
    BeginDestruction();
    FKeyRepeatTimer.reset();
    FHeartSurveyTimer.reset();
    FConnectionSurveyTimer.reset();
    FStatsTimer->SetEnabled(false);
    Stop();
    FDataPacket.reset();
    if (FComPort->GetConnected()) FComPort->Close();
    FComPort.reset();
    FStatsTimer.reset();
}

void TKelvoDevice::ApplyConsoleLineSettings() {
    TComPort& port = *FComPort;
    port.BeginSettingsUpdate();
    port.SetBaudRate(br9600);
    port.GetParity().SetBits(prEven);
    port.SetStopBits(sbOneStopBit);
    port.SetDataBits(dbEight);
    port.SetEvents(TComEvents{evRxChar, evTxEmpty, evBreak, evError, evRx80Full});
    TComFlowControl& flow = port.GetFlowControl();
    flow.SetOutCTSFlow(false);
    flow.SetOutDSRFlow(false);
    flow.SetControlDTR(dtrDisable);
    flow.SetControlRTS(rtsDisable);
    flow.SetXonXoffOut(false);
    flow.SetXonXoffIn(false);
    port.EndSettingsUpdate();
}

void TKelvoDevice::SetUpPort() {
    ApplyConsoleLineSettings();
    FComPort->SetSyncMethod(smThreadSync);

    TComDataPacket& packet = *FDataPacket;
    packet.SetComPort(FComPort.get());
    packet.SetCaseInsensitive(true);
    packet.SetIncludeStrings(true);
    packet.SetMaxBufferSize(4096);
    packet.SetStartString(BytesOf({StartByte}));
    packet.SetStopString(BytesOf({StopByte}));
    packet.SetSize(6);
}

void TKelvoDevice::HookDataPacketEvents() {
    TComDataPacket& packet = *FDataPacket;
    packet.OnPacket = [this](TComponent* sender, const ByteString& str) { PacketReceived(sender, str); };
    packet.OnDiscard = [this](TComponent* sender, const ByteString& str) { PacketDiscarded(sender, str); };
    packet.OnCustomStart = [this](TComponent* sender, const ByteString& str, std::int32_t& pos) {
        FindPacketStart(sender, str, pos);
    };
    packet.OnCustomStop = [this](TComponent* sender, const ByteString& str, std::int32_t& pos) {
        FindPacketEnd(sender, str, pos);
    };
}

void TKelvoDevice::SetComponentVersion(double) { FComponentVersion = OwnComponentVersion; }

void TKelvoDevice::LinkDataPacket(bool linked) { FDataPacket->SetComPort(linked ? FComPort.get() : nullptr); }

void TKelvoDevice::UseShortFraming() {
    FPacketSize = 6;
    FDataPacket->SetSize(6);
    FDataPacket->SetStartString(BytesOf({StartByte}));
    FDataPacket->SetStopString(BytesOf({StopByte}));
    LinkDataPacket(true);
}

void TKelvoDevice::SetVersion(double Value) {
    if (Value <= 0 || (Value > 3 && Value < 4)) Value = 4;
    FVersion = Value;
    switch (FamilyOfVersion(Value)) {
    case TProtocolFamily::ByteStream: {
        LinkDataPacket(false);
        FNumberOfRoundPerRollEvent = 2;
        const double rounded = std::nearbyint(Value); // halves to even
        if (rounded == 1) FRollDiameter = 40;
        else if (rounded == 2 || rounded == 3) FRollDiameter = 30;
        break;
    }
    case TProtocolFamily::ShortFrames:
        UseShortFraming();
        FNumberOfRoundPerRollEvent = 0.5L;
        FRollDiameter = 39.5L;
        FMaintainsConsoleActive = true;
        break;
    case TProtocolFamily::LongFrames:
        FMaintainsConsoleActive = true;
        FPacketSize = 10;
        FDataPacket->SetStartString({});
        FDataPacket->SetStopString({});
        FDataPacket->SetSize(10);
        LinkDataPacket(true);
        if (Value == 4.5) {
            FNumberOfRoundPerRollEvent = 1;
            FRollDiameter = 39.5L;
        } else if (Value == 5 || Value == 6) {
            FNumberOfRoundPerRollEvent = 1;
            FRollDiameter = 45;
        } else if (Value == 5.5) {
            FNumberOfRoundPerRollEvent = 0.5L;
            FRollDiameter = 30;
        } else if (Value == 7) {
            FNumberOfRoundPerRollEvent = 1;
            FRollDiameter = 30;
        }
        break;
    }
    UpdateDistancePerRollEvent();
    SetConnectionSurveyInterval(FConnectionSurveyInterval);
    DoVersionChange();
}

void TKelvoDevice::SetConnected(bool Value) {
    if (Value == FConnected) return;
    FConnected = Value;
    if (Value) {
        FDisconnectionCount = 0;
        SetStatus(dsConnected);
        FMessageCount = 0;
        ResetHeartCounters();
        FRepairTries = 0;
        FHeartSurveyTimer->SetEnabled(FHeartEnabled && FHeartConnectionSurvey);
        FNoMessageSinceTick = false;
        FConnectionSurveyTimer->SetEnabled(FConnectionSurvey);
        QuerySerialNumber();
        QueryProductVersion();
        DoConnected();
    } else {
        CancelRepair();
        FConnectionSurveyTimer->SetEnabled(false);
        FHeartSurveyTimer->SetEnabled(false);
        // A running ride is left running: the statistics go on over a repair.
        if (FStatus != dsRunning) Stop();
        FNoMessageSinceTick = true;
        SetStatus(dsDisconnected);
        FSerialNumber = 0;
        FProductVersion = 0;
        DoDisconnected();
    }
}

void TKelvoDevice::SetSimulationMode(bool Value) {
    if (Value == FSimulationMode) return;
    FSimulationMode = Value;
    SetConnected(Value);
}

void TKelvoDevice::SetStatus(TKelvoDeviceStatus Value) {
    if (Value == FStatus) return;
    const TKelvoDeviceStatus old = FStatus;
    FStatus = Value;
    DoStatusChanged(old, Value);
    if (Value == dsDisconnected || Value == dsStopped) {
        ClearSpeeds();
        ResetVirtualSpeed();
        SetKelvoResistance(FInitialResistance);
        SetKelvoElevation(0);
    }
}

void TKelvoDevice::Start() {
    if (!FConnected) return;
    FCourseFinished = false;
    FStoppedByComponent = false;
    const bool resuming = FStatus == dsPaused;
    if (!resuming) {
        FStatsTimer->ResetTimes();
        ResetStats();
        FStatus = dsStopped;
        FTickAtStart = TickCount();
        FTickAtPause = 0;
        FStatsTimer->SetLapTime(0);
    }
    DoBeforeStart();
    FStatsTimer->SetInterval(FStatsInterval);
    if (resuming) {
        FTickAtStart += TickCount() - FTickAtPause;
        FStatsTimer->SetLapTime(FStatsTimer->GetElapsedTime());
        FRollCount = FRollCountAtPause;
        FRollIncrement = 0;
    }
    ResetHeartCounters();
    FHeartSum = 0;
    FHeartCount = 0;
    if (FVersion <= 4) FCadenceLastTick = TickCount();
    FStatsTimer->SetEnabled(true);
    SetStatus(dsRunning);
}

void TKelvoDevice::Pause() {
    if (!FConnected) return;
    FStatsTimer->SetEnabled(false);
    FTickAtPause = TickCount();
    SetStatus(dsPaused);
    FRollCountAtPause = FRollCount;
    if (FVersion >= 4) Send(BuildRequest(rqSetPoints, 0, 0));
    DoBeforePause();
}

void TKelvoDevice::Stop() {
    CancelRepair();
    // No survey tick may interleave with a stop; the handler comes back whatever happens.
    TQorinThreadTimer* surveyTimer = FConnectionSurveyTimer.get();
    if (surveyTimer != nullptr) surveyTimer->OnTimer = nullptr;
    auto restoreSurvey = [this, surveyTimer] {
        if (surveyTimer != nullptr) surveyTimer->OnTimer = [this](TComponent* sender) { SurveyTick(sender); };
    };
    try {
        bool canContinue = true;
        if (FConnected && OnBeforeStop) OnBeforeStop(this, canContinue);
        if (canContinue) StopSteps();
    } catch (...) {
        restoreSurvey();
        throw;
    }
    restoreSurvey();
}

void TKelvoDevice::StopSteps() {
    FStatsTimer->SetEnabled(false);
    SetStatus(dsStopped);
    DoAfterStop();
    SetKelvoResistance(FInitialResistance);
    SetKelvoElevation(0);
}

bool TKelvoDevice::TryConnect(std::int32_t WaitMs) {
    if (IsDestroying() || !FComPort->GetConnected()) return false;
    // The identification exchange always runs in 6-byte frames, whatever the family.
    if (FVersion >= 4) UseShortFraming();
    const ByteString frame = IdentificationRequest();
    // Connected only counts after an answer: a device that connected before (the after-open
    // handler connects it) still needs the request that brings its own framing back.
    const auto waitMs = static_cast<std::uint32_t>(std::max(WaitMs, 0));
    for (int attempt = 0; attempt < ConnectAttempts; ++attempt) {
        Send(frame);
        WaitWithMessages(waitMs);
        if (FConnected) break;
    }
    return FConnected;
}

ByteString TKelvoDevice::IdentificationRequest() const {
    return FVersion >= 4 ? BuildRequest(rqIdentification, IdentificationCode, 0) : BytesOf({IdentificationCode});
}

std::int32_t TKelvoDevice::Send(const ByteString& Data) {
    if (IsDestroying() || !FComPort->GetConnected()) return -1;
    return FComPort->WriteString(Data);
}

void TKelvoDevice::QuerySerialNumber() {
    if (FSerialNumber != 0 || !FComPort->GetConnected()) return;
    try {
        Send(BuildRequest(rqSerialNumber, 0, 0));
    } catch (...) {
        // A background request: the next connection asks again.
    }
}

void TKelvoDevice::QueryProductVersion() {
    if (FProductVersion != 0 || !FComPort->GetConnected()) return;
    try {
        Send(BuildRequest(rqProductVersion, 0, 0));
    } catch (...) {
        // A background request: the next connection asks again.
    }
}

void TKelvoDevice::SendSerialNumberRequest() { Send(BuildRequest(rqSerialNumber, 0, 0)); }

std::string TKelvoDevice::ErrorText(std::int32_t Code) {
    switch (Code) {
    case 100: return "message discarded";
    case 101: return "message rejected";
    case 102: return "error com port";
    case 520: return "Heart connection lost";
    case 611: return "identification request sent";
    case 612: return "port opened";
    case 613: return "port closed";
    case 614: return "connection restablished";
    case 700: return "New disconnection";
    case 710: return "can't open the com port";
    case 711: return "repairing process aborted";
    case 720: return "connection lost, trying to reconnect";
    default: return "Error unknown";
    }
}

void TKelvoDevice::DoErrorInfo(std::int32_t ErrorType, std::int32_t Code, std::int32_t Occurence) {
    Raise(OnKvdErrorInfo, this, ErrorType, Code, Occurence);
}

void TKelvoDevice::DoKelvoMessage(TKelvoDeviceMessageType Type, const ByteString& Data, long double Value1,
                                  long double Value2, long double Value3) {
    Raise(OnKelvoMessage, this, Type, Value1, Value2, Value3, Data);
}

void TKelvoDevice::DoStatusChanged(TKelvoDeviceStatus Old, TKelvoDeviceStatus New) {
    Raise(OnKelvoDeviceStatusChanged, this, Old, New);
}

void TKelvoDevice::DoConnected() { Raise(OnConnected, this); }

void TKelvoDevice::DoDisconnected() { Raise(OnDisconnected, this); }

void TKelvoDevice::DoVersionChange() { Raise(OnVersionChange, this); }

void TKelvoDevice::DoMessageRejected(const ByteString& Data) {
    Raise(OnMessageRejected, Data);
}

void TKelvoDevice::DoSerialNumber() { Raise(OnSerialNumber, this); }

void TKelvoDevice::DoProductVersion() { Raise(OnProductVersion, this); }

void TKelvoDevice::DoBeforeStart() { Raise(OnBeforeStart, this); }

void TKelvoDevice::DoBeforePause() { Raise(OnBeforePause, this); }

void TKelvoDevice::DoAfterStop() { Raise(OnAfterStop, this); }
