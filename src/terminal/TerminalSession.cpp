#include "terminal/TerminalSession.h"

#include "device/KelvoProtocol.h"
#include "device/SurveyReports.h"
#include "device_link/ComSettingTexts.h"
#include "device_link/EComPort.h"
#include "device_link/ProgramInfo.h"
#include "device_link/SerialDevice.h"
#include "terminal/HandlerChain.h"
#include "terminal/SurveyLog.h"

#include <QDateTime>

#include <system_error>

namespace {
// So that neither a course end nor the absolute heart alarm ends a test run.
constexpr long double TestCourseDistance = 1000000;
constexpr std::int32_t TestAlarmHeartAbsoluteLimit = 99999999;
constexpr std::int32_t ConnectWaitMs = 300;
constexpr std::int32_t LongFamilySpeedArrayLength = 6;
constexpr std::int32_t ShortFamilySpeedArrayLength = 25;
// "can't open the com port", reported by a repair whose port is not open.
} // namespace

TTerminalSession::TTerminalSession() : FDevice(std::make_unique<TKelvoDevice>()) {
    ApplyLayoutValues();
    HookDeviceEvents();
    HookPortFlow();
    HookByteCounting();
    HookConnectionEvents();
    HookCaptureNotes();
    FDevice->SetEnterKeyMessage(EnterKeyMessage);
    FMessageHook = std::make_unique<TApplicationMessageHook>([this](std::uint32_t message) {
        if (message == EnterKeyMessage) PressConsoleKey(ckEnter);
    });
    FDevice->SetVersion(StartupVersion);
    // Whatever the stored port settings say, the console's line settings win at start-up.
    FDevice->ApplyConsoleLineSettings();
    ApplyOptionBoxes(TOptionBoxes{});
}

void TTerminalSession::ApplyOptionBoxes(const TOptionBoxes& boxes) {
    WriteToMemo = boxes.WriteToMemo;
    FDevice->SetMaintainsConsoleActive(boxes.MantConsoleActive);
    SetConnectionSurveyEnabled(boxes.EnableConSurvey);
    FDevice->SetHrFilter2Active(boxes.HrFilter2Active);
    FDevice->SetSecurityActive(boxes.Security);
}

void TTerminalSession::SetConnectionSurveyEnabled(bool enabled) {
    // The layout stores the survey off; were the box to drive only the timers, the survey would
    // stay dead although the box is checked. So it drives the survey itself too.
    FDevice->SetConnectionSurvey(enabled);
    FDevice->SetSurveysActive(enabled);
}

TTerminalSession::~TTerminalSession() { FDestroying = true; }

// The notes a capture keeps beside the bytes: what the terminal knew when they came. The
// console's identification answer is the note "handshake" alone, where the emulator's replay
// begins.
void TTerminalSession::HookCaptureNotes() {
    FCapture = std::make_unique<TTrafficCapture>();
    FCapture->Attach(*FDevice->GetComPort());
    FCapture->DescribePort = [this](bool open) { return (open ? "open " : "close ") + PortDescription(); };
    TKelvoDevice& device = *FDevice;
    // At the identification's answer itself, not at the connection a wait later: a replay's
    // console answers from the same instant, so what follows comes at the same phase of the wait.
    RunAfterHandler(device.OnKelvoMessage, [this](TComponent*, TKelvoDeviceMessageType type, long double,
                                                  long double, long double, const ByteString&) {
        if (type == MtIdentification) FCapture->Note("handshake");
    });
    RunAfterHandler(device.OnConnected, [this](TComponent*) {
        FCapture->Note("version " + QString::number(FDevice->GetVersion()).toStdString());
    });
    RunAfterHandler(device.OnDisconnected, [this](TComponent*) {
        FCapture->Note("disconnected " + std::to_string(FDevice->GetDisconnectionCount()));
    });
    RunAfterHandler(device.OnRepairingConnection, [this](TComponent*) {
        FCapture->Note("repairing " + std::to_string(FDevice->GetDisconnectionCount()));
    });
    // A reopen that failed live fails again in a decode, however the repair's timing drifted.
    RunAfterHandler(device.OnKvdErrorInfo, [this](TComponent*, int, int code, int) {
        if (code == SurveyReport::PortNotOpen) FCapture->Note("reopen-failed");
        if (code == SurveyReport::Restored) FCapture->Note("repaired");
    });
    RunAfterHandler(device.OnConnectionLost, [this](TComponent*) { FCapture->Note("connection-lost"); });
    RunAfterHandler(device.OnHeartConnectionLost, [this](TComponent*) { FCapture->Note("heart-lost"); });
}

std::string TTerminalSession::PortDescription() const {
    const TKelvoDevice& device = *FDevice;
    const TComParity& parity = device.GetComPortParity();
    return device.GetComPortPort() + " " +
           std::to_string(BaudRateSpeed(device.GetComPortBaudRate(), device.GetComPort()->GetCustomBaudRate())) +
           " " + TextOfValue(device.GetComPortDataBits(), DataBitsTexts()).toStdString() + " " +
           TextOfValue(parity.GetBits(), ParityTexts()).toStdString() + " " +
           TextOfValue(device.GetComPortStopBits(), StopBitsTexts()).toStdString();
}

std::vector<std::string> TTerminalSession::CaptureHeader(const std::string& program) const {
    return {program + " " + ProgramInfo::Version() + " traffic capture (in: from the PC, out: from the console)",
            "started " + QDateTime::currentDateTime().toString(Qt::ISODateWithMs).toStdString(),
            "port " + PortDescription() + (FDevice->GetComPortConnected() ? " open" : " closed"),
            "console " + (FDevice->GetConnected() ? "version " + QString::number(FDevice->GetVersion()).toStdString()
                                                  : std::string("not connected"))};
}

void TTerminalSession::ApplyLayoutValues() {
    TKelvoDevice& device = *FDevice;
    device.SetVersion(4);
    device.SetPrecisionDistance(8);
    device.SetPrecisionSpeed(8);
    device.SetNumberOfRoundPerRollEvent(0.5L);
    device.SetRollDiameter(39.5L);
    device.SetComPortPort("COM1");
    device.SetComPortEvents(TComEvents{evRxChar, evError, evRx80Full});
    device.SetComPortSyncMethod(smThreadSync);
    device.SetComDataPacketCaseInsensitive(true);
    device.SetComDataPacketIncludeStrings(true);
    device.SetComDataPacketMaxBufferSize(4096);
    device.SetComDataPacketSize(0);
    device.SetMaintainsConsoleActive(true);
    device.SetKeyRepeatInterval(600);
    device.SetConnectionSurvey(false);
    device.SetConnectionSurveyInterval(400);
    device.SetDisconMaxTry(20);
    device.SetInitialResistance(0);
    device.SetVirtualSpeedEnabled(false);
    device.SetTimerStatsThreadPriority(tpNormal);
    device.SetUnitMeasureDefault(umKm);
    device.SetAlarmHeartAbsoluteLimit(221);
    device.SetHrDelayBeforeReset(3000);
    device.SetCalibration(1);
    device.SetResistanceMapAdapter(1);
    device.SetHeartEnabled(true);
    device.SetTolerance(2);
    device.SetVirtualSpeedAttenuation(0.5);
    device.SetHeartConnectionActive(true);
    device.SetHrFilter2Active(false);
    device.SetResistanceReducer(1);
}

void TTerminalSession::AddLine(const std::string& line) { Raise(OnAddLine, line); }

void TTerminalSession::HookDeviceEvents() {
    TKelvoDevice& device = *FDevice;
    device.OnKelvoMessage = [this](TComponent*, TKelvoDeviceMessageType type, long double v1, long double v2,
                                   long double v3, const ByteString& str) {
        FLedger.MessageTaken(type, FDevice->GetMessageTick());
        ShowKelvoMessage(type, v1, v2, v3, str);
    };
    device.OnComDataPacketDiscard = [this](TComponent*, const ByteString& str) {
        FLedger.BytesDiscarded(str.size());
        AddLine(EventText::DiscardedLine(str));
        if (FSurveyLog) FSurveyLog->OnComDataPacketDiscard(str);
    };
    device.OnMessageRejected = [this](const ByteString& str) {
        FLedger.FrameRejected(FDevice->GetMessageTick());
        AddLine(EventText::RejectedLine(str));
        if (FSurveyLog) FSurveyLog->OnMessageRejected(str);
        Raise(OnBeep);
    };
    device.OnKvdErrorInfo = [this](TComponent*, int, int code, int occurence) {
        FLedger.SurveyReport(code, occurence);
        if (code == SurveyReport::PortNotOpen) FLedger.ReopenFailed(FDevice->GetReopenFailure());
        AddLine(EventText::ErrorInfoLine(code, TKelvoDevice::ErrorText(code), occurence,
                                         FDevice->GetKelvoResistance()));
        if (FSurveyLog) FSurveyLog->OnKvdErrorInfo(code, occurence, FDevice->GetKelvoResistance());
    };
    device.OnConsoleKeyDown = [this](TComponent*, TConsoleKey key) { PressConsoleKey(key); };
    device.OnStats = [this](TComponent*, int, int lapEventCount, long double, long double, long double, bool) {
        ShowStats(lapEventCount);
    };
    device.OnBeforeStart = [this](TComponent*) {
        Raise(OnBeep);
        FHeartImpulses = 0;
        Raise(OnHeartImpulses, FHeartImpulses);
        SendConsoleRequest(KelvoProtocol::rqSerialNumber, 0, 0);
    };
    device.OnVersionChange = [this](TComponent*) { FollowVersion(); };
    device.OnComPortBreak = [this](TComponent*) { AddLine(EventText::BreakLine); };
    device.OnComPortCTSChange = [this](TComponent*, bool) { AddLine(EventText::CTSLine); };
    device.OnComPortDSRChange = [this](TComponent*, bool) { AddLine(EventText::DSRLine); };
    device.OnComPortRing = [this](TComponent*) { AddLine(EventText::RingLine); };
    device.OnComPortRx80Full = [this](TComponent*) { AddLine(EventText::Rx80FullLine); };
    device.OnAlarmHeart = [](TComponent*, int, bool, bool, bool& doStop) { doStop = false; };
}

// The survey log's part of the connection events; the window adds its captions after these.
void TTerminalSession::HookConnectionEvents() {
    TKelvoDevice& device = *FDevice;
    device.OnConnected = [this](TComponent*) {
        if (FSurveyLog) FSurveyLog->OnConnected(FDevice->GetVersion());
    };
    device.OnDisconnected = [this](TComponent*) {
        if (FSurveyLog) FSurveyLog->OnDisconnected(FDevice->GetVersion(), FDevice->GetDisconnectionCount());
        // A disconnection whose port is gone: neither the ledger nor a ride left running has
        // anything to count from here.
        if (FDevice->GetComPortConnected()) return;
        FLedger.PortClosed();
        if (FDevice->GetStatsTimerEnabled()) FDevice->Stop();
    };
    device.OnRepairingConnection = [this](TComponent*) {
        if (FSurveyLog)
            FSurveyLog->OnRepairingConnection(FDevice->GetDisconnectionCount(), FDevice->GetKelvoResistance());
    };
    device.OnConnectionLost = [this](TComponent*) {
        if (FSurveyLog)
            FSurveyLog->OnConnectionLost(FDevice->GetVersion(), FDevice->GetDisconnectionCount(),
                                         FDevice->GetKelvoResistance());
    };
    device.OnHeartConnectionLost = [this](TComponent*) {
        if (FSurveyLog) FSurveyLog->OnHeartConnectionLost();
    };
}

// Where the received bytes go, for the ledger: the port's reads, and the splitter's packets (the
// byte stream hands every read chunk to the parser whole).
void TTerminalSession::HookByteCounting() {
    TKelvoDevice& device = *FDevice;
    device.OnComPortRxBuf = [this](TComponent*, const char*, int count) { FLedger.BytesRead(count); };
    device.OnComDataPacketPacket = [this](TComponent*, const ByteString& packet) { FLedger.PacketCut(packet.size()); };
    device.OnComPortRxChar = [this](TComponent*, int count) {
        FLedger.BytesRead(count);
        FLedger.PacketCut(count);
    };
}

std::size_t TTerminalSession::BufferedBytes() const { return FDevice->GetDataPacket()->GetBuffer().size(); }

std::vector<std::string> TTerminalSession::LinkQualityLines() const { return FLedger.ReportLines(BufferedBytes()); }

void TTerminalSession::ResetLedger() {
    FLedger.Reset(BufferedBytes(), TLinkLedger::lsUserReset);
    // Between a repair's attempts the port is closed but the device still connected: the
    // ledger runs on, as the repair's close does not stop it.
    if (!FDevice->GetComPortConnected() && !FDevice->GetConnected()) FLedger.PortClosed();
}

void TTerminalSession::HookPortFlow() {
    TKelvoDevice& device = *FDevice;
    device.OnComPortAfterOpen = [this](TComponent*) {
        FDevice->GetComPort()->ClearBuffers(true, true);
        if (FDevice->GetRepairing()) return;
        FLedger.Reset(BufferedBytes());
        SwitchDevice(true);
    };
    device.OnComPortBeforeClose = [this](TComponent*) {
        if (FDevice->GetRepairing()) return;
        Raise(OnBeep);
        FDevice->Stop();
    };
    device.OnComPortAfterClose = [this](TComponent*) {
        if (FDevice->GetRepairing()) return;
        FLedger.PortClosed();
        FDevice->SetConnected(false);
        SwitchDevice(false);
    };
}

std::string TTerminalSession::OpenOrClosePort() {
    TKelvoDevice& device = *FDevice;
    if (device.GetComPortConnected()) {
        try {
            device.SetComPortConnected(false);
        } catch (const std::exception& error) {
            return error.what();
        }
        return {};
    }
    const std::string port = device.GetComPortPort();
    if (port.empty()) return "Please assign a com port !";
    FOpenFailureReason.clear();
    try {
        device.SetComPortConnected(true);
    } catch (const std::exception& error) {
        // The port opened and what followed (the handshake's write) failed: that failure's own words.
        if (device.GetComPortConnected()) return error.what();
        TellOpenFailureReason(port, error);
        return "Cannot open the com port !\r\n" + port + "\r\nPlease verify your connection";
    }
    device.ResetStats();
    return {};
}

// The box's text is fixed; the terminal keeps what the system said, and what to do about it.
void TTerminalSession::TellOpenFailureReason(const std::string& port, const std::exception& error) {
    const auto* portError = dynamic_cast<const EComPort*>(&error);
    const int systemError = portError ? portError->SystemErrorCode() : EComPort::NoSystemError;
    const bool systemSaid = systemError != EComPort::NoSystemError;
    FOpenFailureReason.push_back(EventText::OpenFailureLine(
        port, systemSaid ? std::system_category().message(systemError) : error.what(), systemError));
    const std::string hint = systemSaid ? TSerialDevice::OpenFailureHint(port, systemError) : std::string();
    if (!hint.empty()) FOpenFailureReason.push_back(EventText::HintLine(hint));
    for (const std::string& line : FOpenFailureReason) AddLine(line);
}

void TTerminalSession::SendConsoleRequest(std::uint16_t Type, std::int32_t A, std::int32_t B) {
    if (FDestroying) return;
    const ByteString frame = KelvoProtocol::BuildRequest(Type, A, B);
    const std::string description =
        KelvoProtocol::RequestLogText(Type, static_cast<std::uint16_t>(A), static_cast<std::uint16_t>(B));
    WriteRequestEcho(frame, description);
    FCapture->Note("request " + description);
    const ByteString bytes = WireBytesOfRequest(Type, frame);
    if (bytes.empty() || !FDevice->GetComPortConnected()) return;
    RunUserWrite([&] { FDevice->Send(bytes); });
}

bool TTerminalSession::RunUserWrite(const std::function<void()>& write) {
    try {
        write();
        return true;
    } catch (const std::exception& error) {
        AddLine(std::string("!!! Send failed: ") + error.what());
        Raise(OnBeep);
        return false;
    }
}

void TTerminalSession::WriteRequestEcho(const ByteString& frame, const std::string& description) {
    if (!WriteToMemo) Raise(OnClearTerminal);
    if (TerminalVisible) WriteEcho(EventText::RequestEchoLine(frame, description));
    else if (WriteToMemo) AddLine(""); // the hidden terminal still gets the separating line
}

void TTerminalSession::WriteEcho(const std::string& line) {
    AddLine(line);
    if (WriteToMemo) AddLine("");
}

ByteString TTerminalSession::WireBytesOfRequest(std::uint16_t Type, const ByteString& frame) const {
    if (KelvoProtocol::FamilyOfVersion(FDevice->GetVersion()) != KelvoProtocol::TProtocolFamily::ByteStream)
        return frame;
    if (Type == KelvoProtocol::rqIdentification) return BytesOf({KelvoProtocol::IdentificationCode});
    return {};
}

void TTerminalSession::PressConsoleKey(TConsoleKey key) {
    if (const auto line = EventText::ConsoleKeyLine(key)) AddLine(*line);
    Raise(OnConsoleKeyPressed, key);
}

void TTerminalSession::SwitchDevice(bool On) {
    TKelvoDevice& device = *FDevice;
    if (device.GetConnected()) {
        device.Stop();
        device.SetConnected(false);
    }
    if (!On) return;
    device.ResetStats();
    device.CourseDistance = TestCourseDistance;
    device.SetAlarmHeartAbsoluteLimit(TestAlarmHeartAbsoluteLimit);
    if (device.GetConnected() || device.TryConnect(ConnectWaitMs)) device.Start();
}

void TTerminalSession::ShowKelvoMessage(int messageType, long double Value1, long double Value2, long double Value3,
                                        const ByteString& Str) {
    const TKelvoDevice& device = *FDevice;
    const EventText::TMessageContext context{device.GetVersion(), device.GetRollCount(), device.GetDistance(),
                                             device.GetSerialNumber(), device.GetProductVersion()};
    const auto line = EventText::KelvoMessageLine(context, messageType, Value1, Value2, Value3, Str);
    if (!line) return;
    if (messageType == mtInfos) {
        FHeartImpulses += EventText::Round(Value2);
        Raise(OnHeartImpulses, FHeartImpulses);
    }
    if (!WriteToMemo && EventText::MessageClearsTerminal(device.GetVersion(), messageType)) Raise(OnClearTerminal);
    AddLine(*line);
}

void TTerminalSession::ShowStats(std::int32_t LapEventCount) {
    const TKelvoDevice& device = *FDevice;
    EventText::TStatsContext stats;
    stats.Version = device.GetVersion();
    stats.LapEventCount = LapEventCount;
    stats.ElapsedTime = device.GetElapsedTime();
    stats.MessageCount = device.GetMessageCount();
    stats.RollCount = device.GetRollCount();
    stats.Distance = device.GetDistance();
    stats.Speed = device.GetSpeed();
    stats.LapDistance = device.GetLapDistance();
    stats.AverageSpeed = device.GetAverageSpeed();
    stats.Cadence = device.GetCadence();
    stats.LapTime = static_cast<std::int32_t>(device.GetStatsTimer()->GetLapTime());
    stats.UnitMeasure = device.GetUnitMeasure();
    stats.AverageCadence = device.GetAverageCadence();
    stats.HeartRate = device.GetHeartRate();
    stats.AverageHeartRate = device.GetAverageHeartRate();
    stats.Power = device.GetPower();
    stats.Energy = device.GetEnergy();
    Raise(OnStatsLabels, stats);
}

void TTerminalSession::FollowVersion() {
    TKelvoDevice& device = *FDevice;
    const double version = device.GetVersion();
    if (version == 7 || version == 6 || version == 5.5 || version == 5 || version == 4.5) {
        if (device.GetSpeedArrayLength() != LongFamilySpeedArrayLength)
            device.SetSpeedArrayLength(LongFamilySpeedArrayLength);
    } else if (version == 4 && device.GetSpeedArrayLength() != ShortFamilySpeedArrayLength) {
        device.SetSpeedArrayLength(ShortFamilySpeedArrayLength);
    }
}
