#pragma once

#include "device/KelvoTypes.h"
#include "device_link/ComDataPacket.h"
#include "device_link/ComPort.h"
#include "device_link/Component.h"
#include "device_link/EComPort.h"
#include "device_link/QorinThreadTimer.h"

#include <cstdint>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// One Kelvo console: owns the serial port, the packet splitter and four timers, keeps the
// connection and ride status, decodes every message and computes the ride statistics.
// The class is spread over one source file per concern:
//   KelvoDeviceCore.cpp      construction, properties, version, connection, ride status, requests
//   KelvoDeviceReceive.cpp   receive intake, frame finding, message dispatch, port forwarders
//   KelvoDeviceSurvey.cpp    connection survey, repair and keep-alive
//   KelvoDeviceKeys.cpp      console keys and orientation
//   KelvoDeviceStats.cpp     roller geometry, speed, distance, cadence, statistics tick
//   KelvoDeviceHeart.cpp     heart rate filters, heart survey and alarms
//   KelvoDeviceSetPoints.cpp resistance and elevation set-points
//   KelvoDevicePower.cpp     power, energy and virtual speed
class TKelvoDevice : public TComponent {
public:
    using TSpeedArray = std::vector<double>;
    using THeartArray = std::vector<double>;
    using TCadenceArray = std::vector<int>;

    TKelvoDevice();
    ~TKelvoDevice() override;

    // ---- Core (KelvoDeviceCore.cpp) ----
    double GetVersion() const { return FVersion; }
    virtual void SetVersion(double Value);
    bool GetConnected() const { return FConnected; }
    virtual void SetConnected(bool Value);
    bool GetSimulationMode() const { return FSimulationMode; }
    virtual void SetSimulationMode(bool Value);
    bool GetDebugMode() const { return FDebugMode; }
    virtual void SetDebugMode(bool Value) { FDebugMode = Value; }
    std::int32_t GetRollValue() const { return FRollValue; }
    void SetRollValue(std::int32_t Value) { FRollValue = Value; }
    double GetComponentVersion() const { return FComponentVersion; }
    // The value written is ignored: the component always reports its own version.
    virtual void SetComponentVersion(double Value);

    TKelvoDeviceStatus GetStatus() const { return FStatus; }
    std::int32_t GetPacketSize() const { return FPacketSize; }
    std::int32_t GetSerialNumber() const { return FSerialNumber; }
    std::int32_t GetProductVersion() const { return FProductVersion; }
    std::int32_t GetMessageCount() const { return FMessageCount; }
    // One value for the whole program: the size of the frame the long-frame finder found.
    static std::int32_t FoundPacketSize;

    TComPort* GetComPort() const { return FComPort.get(); }
    TComDataPacket* GetDataPacket() const { return FDataPacket.get(); }

    // Pass-through properties of the owned port and splitter.
    bool GetComPortConnected() const { return FComPort->GetConnected(); }
    void SetComPortConnected(bool Value) { FComPort->SetConnected(Value); }
    std::string GetComPortPort() const { return FComPort->GetPort(); }
    void SetComPortPort(const std::string& Value) { FComPort->SetPort(Value); }
    TBaudRate GetComPortBaudRate() const { return FComPort->GetBaudRate(); }
    void SetComPortBaudRate(TBaudRate Value) { FComPort->SetBaudRate(Value); }
    TComEvents GetComPortEvents() const { return FComPort->GetEvents(); }
    void SetComPortEvents(TComEvents Value) { FComPort->SetEvents(Value); }
    TSyncMethod GetComPortSyncMethod() const { return FComPort->GetSyncMethod(); }
    void SetComPortSyncMethod(TSyncMethod Value) { FComPort->SetSyncMethod(Value); }
    std::intptr_t GetComPortTag() const { return FComPort->GetTag(); }
    void SetComPortTag(std::intptr_t Value) { FComPort->SetTag(Value); }
    const TComParity& GetComPortParity() const { return FComPort->GetParity(); }
    void SetComPortParity(const TComParity& Value) { FComPort->SetParity(Value); }
    TStopBits GetComPortStopBits() const { return FComPort->GetStopBits(); }
    void SetComPortStopBits(TStopBits Value) { FComPort->SetStopBits(Value); }
    TDataBits GetComPortDataBits() const { return FComPort->GetDataBits(); }
    void SetComPortDataBits(TDataBits Value) { FComPort->SetDataBits(Value); }
    bool GetComPortDiscardNull() const { return FComPort->GetDiscardNull(); }
    void SetComPortDiscardNull(bool Value) { FComPort->SetDiscardNull(Value); }
    std::uint8_t GetComPortEventChar() const { return FComPort->GetEventChar(); }
    void SetComPortEventChar(std::uint8_t Value) { FComPort->SetEventChar(Value); }
    const TComBuffer& GetComPortBuffer() const { return FComPort->GetBuffer(); }
    void SetComPortBuffer(const TComBuffer& Value) { FComPort->SetBuffer(Value); }
    const TComFlowControl& GetComPortFlowControl() const { return FComPort->GetFlowControl(); }
    void SetComPortFlowControl(const TComFlowControl& Value) { FComPort->SetFlowControl(Value); }
    const TComTimeouts& GetComPortTimeouts() const { return FComPort->GetTimeouts(); }
    void SetComPortTimeouts(const TComTimeouts& Value) { FComPort->SetTimeouts(Value); }
    std::int32_t GetComDataPacketSize() const { return FDataPacket->GetSize(); }
    void SetComDataPacketSize(std::int32_t Value) { FDataPacket->SetSize(Value); }
    const ByteString& GetComDataPacketStartString() const { return FDataPacket->GetStartString(); }
    void SetComDataPacketStartString(const ByteString& Value) { FDataPacket->SetStartString(Value); }
    const ByteString& GetComDataPacketStopString() const { return FDataPacket->GetStopString(); }
    void SetComDataPacketStopString(const ByteString& Value) { FDataPacket->SetStopString(Value); }
    bool GetComDataPacketCaseInsensitive() const { return FDataPacket->GetCaseInsensitive(); }
    void SetComDataPacketCaseInsensitive(bool Value) { FDataPacket->SetCaseInsensitive(Value); }
    bool GetComDataPacketIncludeStrings() const { return FDataPacket->GetIncludeStrings(); }
    void SetComDataPacketIncludeStrings(bool Value) { FDataPacket->SetIncludeStrings(Value); }
    std::int32_t GetComDataPacketMaxBufferSize() const { return FDataPacket->GetMaxBufferSize(); }
    void SetComDataPacketMaxBufferSize(std::int32_t Value) { FDataPacket->SetMaxBufferSize(Value); }

    // The console's line: 9600 baud, 8 data bits, even parity, one stop bit, no flow control,
    // and the line events the device listens to.
    void ApplyConsoleLineSettings();

    // Identification handshake: up to three requests, each followed by a wait of WaitMs.
    virtual bool TryConnect(std::int32_t WaitMs);
    virtual void Start();
    virtual void Pause();
    virtual void Stop();
    virtual void Disconnect() { SetConnected(false); }
    // Bytes written, or -1 when the port is closed or the component is being destroyed.
    virtual std::int32_t Send(const ByteString& Data);
    virtual void QuerySerialNumber();
    virtual void QueryProductVersion();
    virtual void SendSerialNumberRequest();
    static std::string ErrorText(std::int32_t Code);
    virtual void DoErrorInfo(std::int32_t ErrorType, std::int32_t Code, std::int32_t Occurence);

    // ---- Receive intake (KelvoDeviceReceive.cpp) ----
    // Decodes one frame (or byte-stream chunk) and dispatches it; false when rejected for its
    // first byte or while the component is being destroyed.
    virtual bool ParseMessage(const ByteString& Data);

    // ---- Connection survey (KelvoDeviceSurvey.cpp) ----
    bool GetMaintainsConsoleActive() const { return FMaintainsConsoleActive; }
    void SetMaintainsConsoleActive(bool Value) { FMaintainsConsoleActive = Value; }
    bool GetConnectionSurvey() const { return FConnectionSurvey; }
    virtual void SetConnectionSurvey(bool Value);
    std::int32_t GetConnectionSurveyInterval() const { return FConnectionSurveyInterval; }
    virtual void SetConnectionSurveyInterval(std::int32_t Value);
    bool GetDisconUseCloseOpenPort() const { return FDisconUseCloseOpenPort; }
    virtual void SetDisconUseCloseOpenPort(bool Value) { FDisconUseCloseOpenPort = Value; }
    std::int32_t GetDisconDelayBetweenCloseOpenPort() const { return FDisconDelayBetweenCloseOpenPort; }
    virtual void SetDisconDelayBetweenCloseOpenPort(std::int32_t Value);
    std::int32_t GetDisconMaxTry() const { return FDisconMaxTry; }
    virtual void SetDisconMaxTry(std::int32_t Value) { FDisconMaxTry = Value; }
    std::int32_t GetDisconnectionCount() const { return FDisconnectionCount; }
    std::int32_t GetRepairTries() const { return FRepairTries; }
    bool GetRepairing() const { return FRepairing; }
    // Why the port was not open at the last "can't open the com port" report: the open's own
    // failure, or when the port closed again after it had opened, and by whom.
    const std::string& GetReopenFailure() const { return FReopenFailure; }
    bool GetNoMessageSinceTick() const { return FNoMessageSinceTick; }
    // When the message being parsed (the newest one) arrived: one clock reading per message,
    // shared by everything that times it.
    std::uint32_t GetMessageTick() const { return FMessageTick; }
    // Suspends (false) or resumes both surveys; they run only while connected.
    virtual void SetSurveysActive(bool Value);
    // Repair step of versions 4 and below: optionally closes and reopens the port, then resends
    // the identification. Throws for a version above 4, and ERepairAbort (after report 710)
    // when the port could not be reopened.
    virtual void QuickConnectDevice(bool ClosePortFirst);

    // ---- Console keys and orientation (KelvoDeviceKeys.cpp) ----
    std::int32_t GetKeyRepeatInterval() const { return FKeyRepeatInterval; }
    virtual void SetKeyRepeatInterval(std::int32_t Value);
    std::uint32_t GetEnterKeyMessage() const { return FEnterKeyMessage; }
    // The number of the application message posted for a repeated enter key.
    virtual void SetEnterKeyMessage(std::uint32_t Value);
    TConsoleKey GetLastConsoleKey() const { return FLastConsoleKey; }
    bool GetConsoleKeysEnabled() const { return FConsoleKeysEnabled; }
    virtual void EnableConsoleKeys() { FConsoleKeysEnabled = true; }
    virtual void DisableConsoleKeys() { FConsoleKeysEnabled = false; }
    std::uint8_t GetRotationHex1() const { return FRotationHex1; }
    std::uint8_t GetRotationHex2() const { return FRotationHex2; }
    double GetOrientation() const { return FOrientation; }

    // ---- Ride statistics (KelvoDeviceStats.cpp) ----
    long double GetRollDiameter() const { return FRollDiameter; }
    virtual void SetRollDiameter(long double Value);
    long double GetNumberOfRoundPerRollEvent() const { return FNumberOfRoundPerRollEvent; }
    virtual void SetNumberOfRoundPerRollEvent(long double Value);
    long double GetDistancePerRollEvent() const { return FDistancePerRollEvent; }
    TUnitMeasure GetUnitMeasure() const { return FUnitMeasure; }
    virtual void SetUnitMeasure(TUnitMeasure Value);
    TUnitMeasure GetUnitMeasureDefault() const { return FUnitMeasureDefault; }
    virtual void SetUnitMeasureDefault(TUnitMeasure Value) { FUnitMeasureDefault = Value; }
    std::int32_t GetPrecisionSpeed() const { return FPrecisionSpeed; }
    virtual void SetPrecisionSpeed(std::int32_t Value);
    std::int32_t GetPrecisionDistance() const { return FPrecisionDistance; }
    virtual void SetPrecisionDistance(std::int32_t Value);
    std::int32_t GetStatsInterval() const { return FStatsInterval; }
    virtual void SetStatsInterval(std::int32_t Value);
    std::int32_t GetSpeedArrayLength() const { return static_cast<std::int32_t>(FSpeedArray.size()); }
    virtual void SetSpeedArrayLength(std::int32_t Value);
    std::int32_t GetCadenceArrayLength() const { return static_cast<std::int32_t>(FCadenceArray.size()); }
    virtual void SetCadenceArrayLength(std::int32_t Value);
    // Stored only: no computation reads it.
    std::int32_t GetCadenceCalcDelay() const { return FCadenceCalcDelay; }
    void SetCadenceCalcDelay(std::int32_t Value) { FCadenceCalcDelay = Value; }
    long double CourseDistance = 0;
    TThreadPriority GetTimerStatsThreadPriority() const { return FStatsTimer->GetThreadPriority(); }
    virtual void SetTimerStatsThreadPriority(TThreadPriority Value) { FStatsTimer->SetThreadPriority(Value); }
    bool GetStatsTimerEnabled() const { return FStatsTimer->GetEnabled(); }
    virtual void SetStatsTimerEnabled(bool Value) { FStatsTimer->SetEnabled(Value); }
    std::uint32_t GetStatsTimerInterval() const { return FStatsTimer->GetInterval(); }
    virtual void SetStatsTimerInterval(std::uint32_t Value) { FStatsTimer->SetInterval(Value); }
    bool GetStatsTimerAllowZero() const { return FStatsTimer->AllowZero; }
    virtual void SetStatsTimerAllowZero(bool Value) { FStatsTimer->AllowZero = Value; }
    std::intptr_t GetStatsTimerTag() const { return FStatsTimer->GetTag(); }
    virtual void SetStatsTimerTag(std::intptr_t Value) { FStatsTimer->SetTag(Value); }

    long double GetSpeed() const { return FSpeed; }
    long double GetRealSpeed() const { return FRealSpeed; }
    long double GetInstantSpeed() const { return FInstantSpeed; }
    long double GetAverageSpeed() const { return FAverageSpeed; }
    long double GetPeakSpeed() const { return FPeakSpeed; }
    long double GetDistance() const { return FDistance; }
    long double GetLapDistance() const { return FLapDistance; }
    long double GetRollCount() const { return FRollCount; }
    long double GetRollCountAtTick() const { return FRollCountAtTick; }
    long double GetRollCountAtPause() const { return FRollCountAtPause; }
    long double GetRollIncrement() const { return FRollIncrement; }
    std::int32_t GetCadence() const { return FCadence; }
    std::int32_t GetAverageCadence() const { return FAverageCadence; }
    std::int32_t GetPeakCadence() const { return FPeakCadence; }
    std::int32_t GetCadenceSum() const { return FCadenceSum; }
    std::uint32_t GetTickAtStart() const { return FTickAtStart; }
    std::uint32_t GetTickAtPause() const { return FTickAtPause; }
    bool GetCourseFinished() const { return FCourseFinished; }
    bool GetStoppedByComponent() const { return FStoppedByComponent; }
    const TSpeedArray& GetSpeedArray() const { return FSpeedArray; }
    const TCadenceArray& GetCadenceArray() const { return FCadenceArray; }
    std::int32_t GetElapsedTime() const { return FStatsTimer->GetElapsedTime(); }
    TQorinThreadTimer* GetStatsTimer() const { return FStatsTimer.get(); }

    // Rounds half away from zero to Decimals places; results within 1e-8 of 0 become 0.
    static long double RoundDecimals(std::int32_t Decimals, long double X);
    virtual void UpdateDistancePerRollEvent();
    virtual void AddRollEvents(long double Count);
    virtual void UpdateDistance(long double Metres);
    virtual long double AddSpeedSample(double Rolls);
    virtual void AddCadenceSample(std::int32_t Value);
    virtual void ResetStats();
    // Input of a host without a console, one call per second; only in SimulationMode.
    virtual void SimulateValues(std::int32_t HeartRate, std::int32_t Cadence, long double Speed);

    // ---- Heart rate (KelvoDeviceHeart.cpp) ----
    std::int32_t GetHeartRate() const { return FHeartRate; }
    std::int32_t GetAverageHeartRate() const { return FAverageHeartRate; }
    std::int32_t GetPeakHeartRate() const { return FPeakHeartRate; }
    std::int32_t GetHeartSum() const { return FHeartSum; }
    std::int32_t GetHeartCount() const { return FHeartCount; }
    std::int32_t GetHeartInterval() const { return FHeartInterval; }
    long double GetLastDeviceHeartRate() const { return FLastDeviceHeartRate; }
    bool GetHeartEnabled() const { return FHeartEnabled; }
    // Also switches the heart survey and the heart connection with it.
    virtual void SetHeartEnabled(bool Value);
    bool GetHeartConnectionSurvey() const { return FHeartConnectionSurvey; }
    virtual void SetHeartConnectionSurvey(bool Value);
    bool GetHeartConnectionActive() const { return FHeartConnectionActive; }
    // Switching it off zeroes the heart rate and its average.
    void SetHeartConnectionActive(bool Value);
    bool GetHrFilter2Active() const { return FHrFilter2Active; }
    virtual void SetHrFilter2Active(bool Value) { FHrFilter2Active = Value; }
    const THeartArray& GetHeartArray() const { return FHeartArray; }
    std::int32_t GetHeartArrayLength() const { return static_cast<std::int32_t>(FHeartArray.size()); }
    virtual void SetHeartArrayLength(std::int32_t Value);
    std::int32_t GetHrDelayBeforeReset() const { return FHrDelayBeforeReset; }
    virtual void SetHrDelayBeforeReset(std::int32_t Value);
    TQorinThreadTimer* GetHeartSurveyTimer() const { return FHeartSurveyTimer.get(); }
    // Stored only: no computation reads them.
    std::int32_t GetHrDeltaVariationLimit() const { return FHrDeltaVariationLimit; }
    void SetHrDeltaVariationLimit(std::int32_t Value) { FHrDeltaVariationLimit = Value; }
    std::int32_t GetHeartCalcDelay() const { return FHeartCalcDelay; }
    void SetHeartCalcDelay(std::int32_t Value) { FHeartCalcDelay = Value; }
    std::int32_t GetAlarmHeartHighLimit() const { return FAlarmHeartHighLimit; }
    void SetAlarmHeartHighLimit(std::int32_t Value) { FAlarmHeartHighLimit = Value; }
    std::int32_t GetAlarmHeartLowLimit() const { return FAlarmHeartLowLimit; }
    void SetAlarmHeartLowLimit(std::int32_t Value) { FAlarmHeartLowLimit = Value; }
    // Above it an alarm takes the load off at once instead of ending the ride.
    std::int32_t GetAlarmHeartAbsoluteLimit() const { return FAlarmHeartAbsoluteLimit; }
    void SetAlarmHeartAbsoluteLimit(std::int32_t Value) { FAlarmHeartAbsoluteLimit = Value; }
    virtual void HeartImpulse();
    virtual std::int32_t FilterHeart(double Value);
    virtual std::int32_t FilterHeart2(double Value);
    virtual void ResetHeartCounters();

    // ---- Set-points (KelvoDeviceSetPoints.cpp) ----
    std::int32_t GetKelvoResistance() const { return FKelvoResistance; }
    virtual void SetKelvoResistance(std::int32_t Value);
    std::int32_t GetKelvoElevation() const { return FKelvoElevation; }
    virtual void SetKelvoElevation(std::int32_t Value);
    std::int32_t GetInitialResistance() const { return FInitialResistance; }
    virtual void SetInitialResistance(std::int32_t Value);
    std::int32_t GetCurrentElevation() const { return FCurrentElevation; }
    virtual void SetCurrentElevation(std::int32_t Value);
    long double GetCurrentSlope() const { return FCurrentSlope; }
    virtual void SetCurrentSlope(long double Value) { FCurrentSlope = Value; }
    // Holds the resistance at 0 while the roller stands still.
    bool GetSecurityActive() const { return FSecurityActive; }
    virtual void SetSecurityActive(bool Value) { FSecurityActive = Value; }
    // Stored only: no computation reads them.
    double GetCalibration() const { return FCalibration; }
    virtual void SetCalibration(double Value) { FCalibration = Value; }
    long double GetResistanceMapAdapter() const { return FResistanceMapAdapter; }
    virtual void SetResistanceMapAdapter(long double Value) { FResistanceMapAdapter = Value; }
    double GetResistanceReducer() const { return FResistanceReducer; }
    virtual void SetResistanceReducer(double Value);
    // 0..9999 onto one byte: rounded Value x 255 / 9999.
    virtual std::int32_t ElevationToByte(std::int32_t Value) const;
    virtual void SendSetPoints();
    // The resistance a set-point request carries now: 0 while the security holds the roller.
    std::int32_t ResistanceToSend() const;

    // ---- Power, energy and virtual speed (KelvoDevicePower.cpp) ----
    std::int32_t GetPower() const { return FPower; }
    std::int32_t GetEnergy() const { return FEnergy; }
    long double GetEnergyTotal() const { return FEnergyTotal; }
    // Rider mass in kg (umKm) or lb (umMiles).
    long double GetRiderWeight() const { return FRiderWeight; }
    void SetRiderWeight(long double Value) { FRiderWeight = Value; }
    bool GetVirtualSpeedEnabled() const { return FVirtualSpeedEnabled; }
    virtual void SetVirtualSpeedEnabled(bool Value);
    double GetVirtualSpeedAttenuation() const { return FVirtualSpeedAttenuation; }
    virtual void SetVirtualSpeedAttenuation(double Value) { FVirtualSpeedAttenuation = Value; }
    // On flat or rising ground a virtual delta no larger than this is dropped.
    double GetTolerance() const { return FTolerance; }
    virtual void SetTolerance(double Value) { FTolerance = Value; }
    double GetVirtualSpeedDelta() const { return FVirtualSpeedDelta; }
    double GetPreviousVirtualSpeedDelta() const { return FPreviousVirtualSpeedDelta; }
    double GetVirtualDistanceStep() const { return FVirtualDistanceStep; }
    double GetSlopeTerm() const { return FSlopeTerm; }
    double GetDragAtSpeed() const { return FDragAtSpeed; }
    double GetDragAtVirtualSpeed() const { return FDragAtVirtualSpeed; }
    double GetNetTerm() const { return FNetTerm; }
    // Watts from a speed (km/h or mph) and a slope in percent; never below 0.
    virtual double PowerEstimate(double Speed, double Slope) const;
    virtual void UpdateVirtualSpeed(double RealSpeed);
    virtual void ResetVirtualSpeed();

    // ---- Events ----
    TKelvoDeviceMessageEvent OnKelvoMessage;
    TKelvoDeviceStatusChangedEvent OnKelvoDeviceStatusChanged;
    TNotifyEvent OnConnected;
    TNotifyEvent OnDisconnected;
    TNotifyEvent OnVersionChange;
    TMessageRejectedEvent OnMessageRejected;
    TKvdErrorInfo OnKvdErrorInfo;
    TNotifyEvent OnSerialNumber;
    TNotifyEvent OnProductVersion;
    TNotifyEvent OnBeforeStart;
    TNotifyEvent OnBeforePause;
    TBeforeStopEvent OnBeforeStop;
    TNotifyEvent OnAfterStop;
    TNotifyEvent OnConnectionLost;
    TNotifyEvent OnRepairingConnection;
    TConsoleKeyDownEvent OnConsoleKeyDown;
    TOnStatsEvent OnStats;
    TNotifyEvent OnInstantSpeed;
    TNotifyEvent OnCourseFinished;
    TInstantHeartEvent OnInstantHeart;
    TNotifyEvent OnHeartConnectionLost;
    TAlarmEvent OnAlarmHeart;

    // Forwarded from the owned port, with the component as Sender.
    TNotifyEvent OnComPortAfterOpen;
    TNotifyEvent OnComPortAfterClose;
    TNotifyEvent OnComPortBeforeOpen;
    TNotifyEvent OnComPortBeforeClose;
    std::function<void(TComponent* Sender, int Count)> OnComPortRxChar;
    std::function<void(TComponent* Sender, const char* Buffer, int Count)> OnComPortRxBuf;
    TNotifyEvent OnComPortTxEmpty;
    TNotifyEvent OnComPortBreak;
    TNotifyEvent OnComPortRing;
    std::function<void(TComponent* Sender, bool OnOff)> OnComPortCTSChange;
    std::function<void(TComponent* Sender, bool OnOff)> OnComPortDSRChange;
    std::function<void(TComponent* Sender, bool OnOff)> OnComPortRLSDChange;
    TNotifyEvent OnComPortRxFlag;
    std::function<void(TComponent* Sender, TComErrors Errors)> OnComPortError;
    TNotifyEvent OnComPortRx80Full;
    // Forwarded from the owned splitter.
    TComDataPacket::TComStrEvent OnComDataPacketPacket;
    TComDataPacket::TComStrEvent OnComDataPacketDiscard;
    TComDataPacket::TCustPacketEvent OnComDataPacketCustomStart;
    TComDataPacket::TCustPacketEvent OnComDataPacketCustomStop;

protected:
    // ---- Core ----
    virtual void SetStatus(TKelvoDeviceStatus Value);
    virtual void DoKelvoMessage(TKelvoDeviceMessageType Type, const ByteString& Data, long double Value1,
                                long double Value2, long double Value3);
    virtual void DoStatusChanged(TKelvoDeviceStatus Old, TKelvoDeviceStatus New);
    virtual void DoConnected();
    virtual void DoDisconnected();
    virtual void DoVersionChange();
    virtual void DoMessageRejected(const ByteString& Data);
    virtual void DoSerialNumber();
    virtual void DoProductVersion();
    virtual void DoBeforeStart();
    virtual void DoBeforePause();
    virtual void DoAfterStop();
    // The ride ends: status stopped, set-points back to their resting values.
    void StopSteps();
    // 6-byte frames from F0 to F7, cut by the splitter linked to the port.
    void UseShortFraming();
    void LinkDataPacket(bool linked);
    void SetUpPort();
    void HookPortEvents();
    void HookDataPacketEvents();

    // ---- Receive intake ----
    void PortRxChar(TComponent* Sender, int Count);
    void PacketReceived(TComponent* Sender, const ByteString& Str);
    void PacketDiscarded(TComponent* Sender, const ByteString& Str);
    void FindPacketStart(TComponent* Sender, const ByteString& Str, std::int32_t& Pos);
    void FindPacketEnd(TComponent* Sender, const ByteString& Str, std::int32_t& Pos);
    void CountMessage();
    void ParseStatusBytes(const ByteString& Data);
    void ParseByteStreamIdentification(const ByteString& Data);
    void ParseIdentification(const ByteString& Data);
    void ParseLongFrame(const ByteString& Data);
    void ParseShortFrame(const ByteString& Data);
    void ParseLongInfos(const ByteString& Data);
    void ParseShortInfos(const ByteString& Data);
    void ParseRollCount(const ByteString& Data);
    struct TStatusImpulses {
        double Heart = 0;
        double Cadence = 0;
    };
    // Hands the key of a status byte to the key logic and returns its heart and pedal impulses.
    TStatusImpulses DecodeStatus(std::uint8_t status);
    // Impulses of the consoles that send impulses rather than periods.
    void TakeImpulses(const TStatusImpulses& impulses);
    // One message's roll events: a speed sample always, distance only while riding.
    void TakeRolls(double speedRolls, long double roll);

    // ---- Survey ----
    // A survey interval without a single message starts (or continues) a repair.
    void SurveyTick(TComponent* Sender);
    // The short-frame family keeps the console awake by answering every frame.
    void KeepAliveAfterFrame();
    // The long-frame family keeps the console awake once per statistics tick.
    void SendKeepAliveSetPoints();
    // Repair step of versions above 4: resends the identification, reopening the port when it
    // is closed or a write fails. ERepairAbort when the reopened port still failed.
    void ReconnectDevice();
    // Closes the port and opens it again, waiting DisconDelayBetweenCloseOpenPort after each.
    void CloseReopenPort();
    virtual void DoRepairingConnection();
    virtual void DoConnectionLost();
    void RepairStep();
    void RepairShortFamily();
    void RepairLongFamily();
    void RepairSucceeded();
    void GiveUpRepair();
    // Runs however the tick ended: the repair flag cleared and the tick's handler back.
    void EndSurveyTick();
    bool TryCloseReopenPort();
    bool TrySendIfOpen(const ByteString& Frame);
    void ReportIfPortNotOpen();
    std::string ClosedPortReason() const;
    std::string ReopenFailureText(const EComPort& error) const;
    // A user's command during a repair's wait (Stop, a disconnection, the port closed or opened
    // by someone else than the repair) ends the repair: it reports and reconnects nothing more.
    void CancelRepair();
    // Cancelled, or the device (or the whole program) is going away.
    bool RepairEnded() const;
    void MovePortForRepair(const std::function<void()>& move);
    // The identification request of the current family.
    ByteString IdentificationRequest() const;
    bool HeartSurveyWanted() const;
    bool KeepsConsoleAwake() const;
    void SendKeepAlive();

    // ---- Keys ----
    // One key report of a status byte: raises OnConsoleKeyDown at most once per repeat delay.
    virtual void ConsoleKeyDown(TConsoleKey Key);
    void KeyRepeatTick(TComponent* Sender);
    // A key that passed the repeat timer: raised, or posted for a repeated enter.
    void DeliverConsoleKey(TConsoleKey Key);
    void PostEnterKeyMessage();
    // One for the whole program: a key handler that processes messages cannot re-enter.
    static bool KeyHandlerBusy;
    // One for the whole program: when the last key was delivered, 0 before the first.
    static std::uint32_t LastKeyTick;

    // ---- Statistics ----
    void StatsTick(TComponent* Sender);
    virtual void DoStats(std::int32_t LapTime, std::int32_t LapEventCount, long double LapRollCount,
                         long double LapDistance, long double OldSpeed, bool SpeedChanged);
    virtual void DoInstantSpeed();
    virtual void DoCourseFinished();
    // Zeroes the reported speeds when the ride ends or the device goes away.
    void ClearSpeeds();
    virtual void UpdatePeaks(std::int32_t Cadence, std::int32_t HeartRate, std::int32_t Power, long double Speed);
    // 1000 m per km or 1609 m per mile.
    long double MetresPerUnit() const;
    void RunStatsTick();
    void UpdateAverageCadence();
    // A late tick shortens the next wait, within +-100 ms.
    void CorrectStatsDrift();
    // Runs however the tick ended: frees the busy flag and ends a finished course.
    void EndStatsTick();
    // One flag for the whole program: a tick never starts while another one runs.
    static bool StatsTickBusy;
    // Precisions outside 0..9 would overflow the power of ten of RoundDecimals.
    static std::int32_t BoundedPrecision(std::int32_t Value);

    // ---- Heart ----
    void HeartSurveyTick(TComponent* Sender);
    virtual void DoInstantHeart(const std::string& aText);
    virtual void DoHeartConnectionLost();
    // The heart part of the statistics tick: connection check, averages and alarms.
    void HeartStatsStep();
    virtual void CheckHeartAlarm();
    virtual void DoAlarmHeart(std::int32_t PercentDelta, bool isHigherLimit, bool AbortedByComponent, bool& doStop);
    // PercentDelta of an alarm; 0 when there is no limit to take a percentage of.
    std::int32_t HeartAlarmPercent(bool isHigherLimit) const;
    // The heart value of a long infos message (bpm, 0 for none).
    void DeviceHeartValue(long double Value);
    // Pushes a value into the heart window; its rounded mean once the window is full.
    std::optional<std::int32_t> PushHeartValue(double Value);
    bool HeartStepAccepted(double Value) const;
    bool HeartLevelMoved(double Value);
    void CountHeartValue(std::int32_t Value);

    // ---- Set-points ----
    // Security on and the roller at a standstill: the resistance must stay 0.
    bool ResistanceHeldAtZero() const;
    void ZeroSetPoints();

    // ---- Power ----
    void EnergyStep(long double OldSpeed);
    void PowerStep();
    void VirtualSpeedStep();
    // Virtual speed runs on real rides only, never on simulated values.
    bool VirtualSpeedActive() const;
    // Rider and bicycle, in kg or lb.
    long double TotalMass() const;

    // ---- Survey, keys, statistics state ----
    std::unique_ptr<TQorinThreadTimer> FKeyRepeatTimer;
    std::unique_ptr<TQorinThreadTimer> FHeartSurveyTimer;
    std::unique_ptr<TQorinThreadTimer> FConnectionSurveyTimer;
    std::unique_ptr<TComPort> FComPort;
    std::unique_ptr<TComDataPacket> FDataPacket;
    std::unique_ptr<TQorinThreadTimer> FStatsTimer;

    double FVersion = 4;
    bool FConnected = false;
    bool FSimulationMode = false;
    bool FDebugMode = false;
    std::int32_t FRollValue = 5;
    double FComponentVersion = 0;
    TKelvoDeviceStatus FStatus = dsDisconnected;
    std::int32_t FPacketSize = 0;
    std::int32_t FSerialNumber = 0;
    std::int32_t FProductVersion = 0;
    std::int32_t FMessageCount = 0;

    bool FMaintainsConsoleActive = true;
    bool FConnectionSurvey = true;
    std::int32_t FConnectionSurveyInterval = 400;
    bool FDisconUseCloseOpenPort = true;
    std::int32_t FDisconDelayBetweenCloseOpenPort = 300;
    std::int32_t FDisconMaxTry = 30;
    std::int32_t FDisconnectionCount = 0;
    std::int32_t FRepairTries = 0;
    bool FRepairing = false;
    bool FRepairCancelled = false;
    // The repair's own close and open, which do not cancel it.
    bool FRepairMovesPort = false;
    std::string FReopenFailure;
    // The port's last open, and its close since then (how long after it, and whether the
    // repair closed it).
    std::uint32_t FPortOpenedTick = 0;
    struct TPortClose {
        std::uint32_t AfterOpenMs = 0;
        bool ByRepair = false;
    };
    std::optional<TPortClose> FPortCloseSinceOpen;
    bool FNoMessageSinceTick = true;
    std::uint32_t FMessageTick = 0;

    std::int32_t FKeyRepeatInterval = 500;
    std::uint32_t FEnterKeyMessage = 12345;
    TConsoleKey FLastConsoleKey = ckPlus;
    bool FConsoleKeysEnabled = true;
    std::uint8_t FRotationHex1 = 0;
    std::uint8_t FRotationHex2 = 0;
    double FOrientation = 0;

    long double FRollDiameter = 39.5L;
    long double FNumberOfRoundPerRollEvent = 1.0L;
    long double FDistancePerRollEvent = 0;
    TUnitMeasure FUnitMeasure = umKm;
    TUnitMeasure FUnitMeasureDefault = umKm;
    std::int32_t FPrecisionSpeed = 1;
    std::int32_t FPrecisionDistance = 1;
    std::int32_t FStatsInterval = 1000;
    std::int32_t FCadenceCalcDelay = 3000;
    TSpeedArray FSpeedArray = TSpeedArray(25, 0.0);
    TCadenceArray FCadenceArray = TCadenceArray(10, 0);
    long double FSpeed = 0;
    long double FRealSpeed = 0;
    long double FInstantSpeed = 0;
    long double FAverageSpeed = 0;
    long double FPeakSpeed = 0;
    long double FDistance = 0;
    long double FLapDistance = 0;
    long double FRollCount = 0;
    long double FRollCountAtTick = 0;
    long double FRollCountAtPause = 0;
    long double FRollIncrement = 0;
    std::int32_t FCadence = 0;
    std::int32_t FAverageCadence = 0;
    std::int32_t FPeakCadence = 0;
    std::int32_t FCadenceSum = 0;
    std::uint32_t FCadenceLastTick = 0;
    std::int32_t FStatusByteCount = 0;
    long double FStatusRollSum = 0;
    std::int32_t FStatusBytesPerSpeedSample = 10;
    std::uint32_t FTickAtStart = 0;
    std::uint32_t FTickAtPause = 0;
    bool FCourseFinished = false;
    bool FStoppedByComponent = false;

    // ---- Heart state ----
    bool FHeartEnabled = false;
    bool FHeartConnectionSurvey = false;
    bool FHeartConnectionActive = false;
    bool FHrFilter2Active = false;
    THeartArray FHeartArray = THeartArray(25, 0.0);
    std::int32_t FHeartRate = 0;
    std::int32_t FAverageHeartRate = 0;
    std::int32_t FPeakHeartRate = 0;
    std::int32_t FHeartSum = 0;
    std::int32_t FHeartCount = 0;
    bool FHeartImpulseSeen = false;
    long double FLastDeviceHeartRate = 0;
    std::int32_t FHrDelayBeforeReset = 3000;
    std::int32_t FHrDeltaVariationLimit = 200;
    std::int32_t FHeartCalcDelay = 3000;
    std::int32_t FAlarmHeartHighLimit = 160;
    std::int32_t FAlarmHeartLowLimit = 50;
    std::int32_t FAlarmHeartAbsoluteLimit = 220;
    std::int32_t FHeartInterval = 0;
    bool FHeartFirstBeatSeen = false;
    std::uint32_t FLastHeartBeatTick = 0;
    // The second filter: warm-up steps after a reset, the last three accepted values (newest
    // first), the heart rate when the last one was accepted, the largest accepted step, and the
    // run of rejected values that may turn out to be a new level (oldest first).
    struct THeartFilter2 {
        std::array<bool, 3> Warmup{true, true, true};
        std::array<double, 3> History{};
        double FallbackHeart = 0;
        std::int32_t StepLimit = 60;
        std::array<double, 2> Rejected{};
        std::size_t RejectedCount = 0;
    } FHrFilter2;

    // ---- Set-point state ----
    std::int32_t FKelvoResistance = 0;
    std::int32_t FKelvoElevation = 0;
    std::int32_t FInitialResistance = 0;

    std::int32_t FCurrentElevation = 0;
    long double FCurrentSlope = 0;
    bool FSecurityActive = true;
    double FCalibration = 1.0;
    long double FResistanceMapAdapter = 1.0L;
    double FResistanceReducer = 1.0;

    // ---- Power state ----
    std::int32_t FPower = 0;
    std::int32_t FEnergy = 0;
    long double FEnergyTotal = 0;
    long double FRiderWeight = 0;
    bool FVirtualSpeedEnabled = false;
    double FVirtualSpeedAttenuation = 0.5;
    double FTolerance = 2.0;
    double FVirtualSpeedDelta = 0;
    double FPreviousVirtualSpeedDelta = 0;
    double FVirtualDistanceStep = 0;
    double FSlopeTerm = 0;
    double FDragAtSpeed = 0;
    double FDragAtVirtualSpeed = 0;
    double FNetTerm = 0;
};
