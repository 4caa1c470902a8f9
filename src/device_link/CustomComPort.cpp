#include "device_link/CustomComPort.h"

#include "device_link/ApplicationError.h"
#include "device_link/ComThread.h"
#include "device_link/EComPort.h"
#include "device_link/MainThreadHandOver.h"

#include <array>
#include <cerrno>
#include <thread>

namespace {
constexpr std::array<TComEvent, 10> DispatchOrder = {evError, evRxChar, evTxEmpty, evBreak, evRing,
                                                     evCTS,   evDSR,    evRxFlag,  evRLSD,  evRx80Full};
constexpr std::array<TComEvent, 3> ModemLines = {evCTS, evDSR, evRLSD};

TComSignal SignalOf(TComEvent line) {
    switch (line) {
    case evCTS: return csCTS;
    case evDSR: return csDSR;
    default: return csRLSD;
    }
}

// Counts the dispatches running on this port's behalf, also when one throws, unless a handler
// destroyed the port meanwhile.
class TDispatchScope {
public:
    TDispatchScope(int& depth, std::weak_ptr<int> alive) : FDepth(depth), FAlive(std::move(alive)) { ++FDepth; }
    ~TDispatchScope() {
        if (!FAlive.expired()) --FDepth;
    }
    TDispatchScope(const TDispatchScope&) = delete;
    TDispatchScope& operator=(const TDispatchScope&) = delete;

private:
    int& FDepth;
    const std::weak_ptr<int> FAlive;
};
} // namespace

TCustomComPort::TCustomComPort()
    : FParity([this] { ApplyLineSettings(); }), FFlowControl([this] { ApplyLineSettings(); }),
      FBuffer([this] { ApplyBufferSizes(); }), FTimeouts([this] { ApplyTimeouts(); }) {
    TMainThreadHandOver::Instance();
}

TCustomComPort::~TCustomComPort() {
    BeginDestruction();
    try {
        Close();
    } catch (...) {
        ShowApplicationError(std::current_exception());
    }
    // Whatever Close left undone, no thread may outlive the port.
    FSession.reset();
    FThread.reset();
    FRetiredThreads.clear();
}

// ---- open and close ----

// Every handler may close or reopen the port (a wait inside it lets a user command run): each
// step after one goes on only while the port is still open from this same Open.
void TCustomComPort::Open() {
    if (FConnected) return;
    JoinRetiredThreads();
    DoBeforeOpen();
    if (FConnected) return;
    try {
        CreateHandle();
        FConnected = true;
        ApplySettings();
        StartEventThread();
    } catch (...) {
        // Whatever failed after the device opened, its handle (and lock) goes with it.
        DestroyHandle();
        FConnected = false;
        throw;
    }
    const std::uint64_t session = ++FOpenCount;
    TellLinks<&TComLink::OnConn>(true);
    DoAfterOpen();
    for (TComEvent line : ModemLines) {
        if (!IsOpenFrom(session)) return;
        AnnounceModemLine(line, LineState(line));
    }
}

// A failure on the way (the device may have gone) is raised only once the port is closed.
void TCustomComPort::Close() {
    if (!FConnected) return;
    const std::uint64_t session = FOpenCount;
    for (TComEvent line : ModemLines) {
        AnnounceModemLine(line, false);
        if (!IsOpenFrom(session)) return;
    }
    DoBeforeClose();
    if (!IsOpenFrom(session)) return;
    std::exception_ptr failure;
    try {
        AbortPendingIo();
    } catch (const EComPort&) {
        failure = std::current_exception();
    }
    StopEventThread();
    DestroyHandle();
    FConnected = false;
    TellLinks<&TComLink::OnConn>(false);
    DoAfterClose();
    if (failure && !IsDestroying()) std::rethrow_exception(failure);
}

bool TCustomComPort::IsOpenFrom(std::uint64_t session) const { return FConnected && FOpenCount == session; }

bool TCustomComPort::GetConnected() const { return IsLoading() ? FStoredConnected : FConnected; }

void TCustomComPort::SetConnected(bool value) {
    if (IsLoading()) {
        FStoredConnected = value;
    } else if (value != FConnected) {
        value ? Open() : Close();
    }
}

void TCustomComPort::Loaded() {
    if (!FStoredConnected) return;
    try {
        Open();
    } catch (...) {
        ShowApplicationError(std::current_exception());
    }
}

void TCustomComPort::CreateHandle() {
    FDevice.Open(FPort);
    FLineCounters = TSerialDevice::Counters(FDevice.Handle());
}

void TCustomComPort::DestroyHandle() { FDevice.Close(); }

void TCustomComPort::SetPort(const std::string& value) {
    if (value == FPort) return;
    FPort = value;
    if (FConnected && !IsLoading()) {
        Close();
        Open();
    }
}

// ---- event thread ----

void TCustomComPort::StartEventThread() {
    FSession = std::make_shared<int>(0);
    if (FEvents.Empty()) return;
    TComThread::TConfig config;
    config.Handle = FDevice.Handle();
    config.Events = FEvents;
    config.InputSize = FBuffer.GetInputSize();
    config.Priority = FEventThreadPriority;
    config.DispatchOnMainThread = FSyncMethod == smThreadSync;
    FThread = std::make_unique<TComThread>(config, HandOverFor(FSyncMethod));
}

// Hand-overs the thread has started are still served while it is joined, but find the session
// over and dispatch nothing.
void TCustomComPort::StopEventThread() {
    FSession.reset();
    if (!FThread) return;
    FThread->Stop();
    std::this_thread::yield();
    if (ThreadWaitsForThisDispatch()) {
        FRetiredThreads.push_back(std::move(FThread));
    } else {
        FThread.reset();
    }
}

// Closing from inside a dispatch that the thread waits for (or runs itself): joining it now
// could never end. It is joined once that dispatch has returned.
bool TCustomComPort::ThreadWaitsForThisDispatch() const {
    return FThread->IsCurrent() || (FSyncMethod == smThreadSync && FDispatchDepth > 0);
}

void TCustomComPort::JoinRetiredThreads() {
    if (FDispatchDepth == 0) FRetiredThreads.clear();
}

std::function<void(TComEvents)> TCustomComPort::HandOverFor(TSyncMethod method) {
    const std::weak_ptr<int> session = FSession;
    if (method == smWindowSync) {
        return [this, session](TComEvents events) {
            for (TComEvent event : DispatchOrder) {
                if (!events.Contains(event)) continue;
                TMainThreadHandOver::Instance().post([this, session, event] {
                    if (!session.expired()) DispatchEvents(TComEvents{event});
                });
            }
        };
    }
    // smThreadSync: the event thread hands this to the main thread and waits for its end;
    // smNone: the event thread runs it itself.
    return [this, session](TComEvents events) {
        if (!session.expired()) DispatchEvents(events);
    };
}

void TCustomComPort::DispatchEvents(TComEvents Events) {
    // The event thread's hang-up: for the links that watch the line (a capture); the port's own
    // handlers learn of it as before, from reads that fail and the silence.
    if (Events.Empty()) {
        if (FConnected) TellLinks<&TComLink::OnHangUp>();
        return;
    }
    const std::weak_ptr<int> alive = FAlive;
    const TDispatchScope scope(FDispatchDepth, alive);
    for (TComEvent event : DispatchOrder) {
        // A handler may have closed the port: the rest of the set has no device to read.
        if (!FConnected) return;
        if (Events.Contains(event)) DispatchOne(event);
        // A handler destroyed the port: nothing of it may be touched any more.
        if (alive.expired()) return;
    }
}

void TCustomComPort::DispatchOne(TComEvent event) {
    switch (event) {
    case evError:
        if (const TComErrors errors = LineErrors(); !errors.Empty()) DoError(errors);
        break;
    case evRxChar: DispatchReceived(); break;
    case evTxEmpty:
        TellLinks<&TComLink::OnTxStatus>(false);
        TellLinks<&TComLink::OnTxEmpty>();
        DoTxEmpty();
        break;
    case evBreak: DoBreak(); break;
    case evRing:
        TellLinks<&TComLink::OnRing>();
        DoRing();
        break;
    case evRxFlag:
        TellLinks<&TComLink::OnRxFlag>();
        DoRxFlag();
        break;
    case evRx80Full: DoRx80Full(); break;
    case evCTS:
    case evDSR:
    case evRLSD: AnnounceModemLine(event, LineState(event)); break;
    }
}

// Links take the bytes first; only bytes no link took are announced through OnRxChar, for the
// handler to read. Links and OnRxBuf get the count actually read.
void TCustomComPort::DispatchReceived() {
    const int count = PendingInputCount();
    if (count <= 0) return;
    TellLinks<&TComLink::OnRxStatus>(true);
    if (!HasLink()) {
        DoRxChar(count);
        return;
    }
    ByteString bytes(static_cast<std::size_t>(count), '\0');
    const int read = FDevice.Read(bytes.data(), count, FTimeouts);
    if (read <= 0) return;
    const std::weak_ptr<int> alive = FAlive;
    TellLinks<&TComLink::OnRead>(bytes.data(), read);
    if (alive.expired()) return;
    DoRxBuf(bytes.data(), read);
    if (alive.expired()) return;
    ForEachLink([&](TComLink& link) {
        if (link.OnRxBuf) link.OnRxBuf(this, bytes.data(), read);
    });
}

bool TCustomComPort::LineState(TComEvent line) { return ModemSignals().Contains(SignalOf(line)); }

void TCustomComPort::AnnounceModemLine(TComEvent line, bool OnOff) {
    switch (line) {
    case evCTS:
        TellLinks<&TComLink::OnCTSChange>(OnOff);
        DoCTSChange(OnOff);
        break;
    case evDSR:
        TellLinks<&TComLink::OnDSRChange>(OnOff);
        DoDSRChange(OnOff);
        break;
    default:
        TellLinks<&TComLink::OnRLSDChange>(OnOff);
        DoRLSDChange(OnOff);
        break;
    }
}

// ---- settings ----

bool TCustomComPort::CanApply() const { return FConnected && FUpdateCount == 0 && !IsLoading(); }

void TCustomComPort::ApplySettings() {
    ApplyBufferSizes();
    ApplyLineSettings();
    ApplyTimeouts();
}

// The driver's queues have fixed sizes; the input size sets the event thread's 80 % mark.
void TCustomComPort::ApplyBufferSizes() {
    if (CanApply() && FThread) FThread->SetInputSize(FBuffer.GetInputSize());
}

void TCustomComPort::ApplyLineSettings() {
    if (!CanApply()) return;
    const TTermiosSettings settings = TermiosFor(LineSettings());
    FDevice.ApplyLineSettings(FDevice.IsPseudoTerminal() ? WithoutParity(settings) : settings);
}

// Reads and writes wait within the time-outs as they stand; the driver has nothing to know.
void TCustomComPort::ApplyTimeouts() {}

TLineSettings TCustomComPort::LineSettings() const {
    TLineSettings settings;
    settings.BaudRate = FBaudRate;
    settings.CustomBaudRate = FCustomBaudRate;
    settings.DataBits = FDataBits;
    settings.StopBits = FStopBits;
    settings.Parity = FParity;
    settings.FlowControl = FFlowControl;
    return settings;
}

template <typename T> void TCustomComPort::StoreLineSetting(T& field, const T& value) {
    if (field == value) return;
    field = value;
    ApplyLineSettings();
}

void TCustomComPort::SetBaudRate(TBaudRate value) { StoreLineSetting(FBaudRate, value); }
void TCustomComPort::SetCustomBaudRate(std::int32_t value) { StoreLineSetting(FCustomBaudRate, value); }
void TCustomComPort::SetDataBits(TDataBits value) { StoreLineSetting(FDataBits, value); }
void TCustomComPort::SetStopBits(TStopBits value) { StoreLineSetting(FStopBits, value); }
void TCustomComPort::SetEventChar(std::uint8_t value) { StoreLineSetting(FEventChar, value); }
void TCustomComPort::SetDiscardNull(bool value) { StoreLineSetting(FDiscardNull, value); }

void TCustomComPort::CheckNotConnected() const {
    if (FConnected && !IsLoading()) throw EComPort(ComError::ConnectedProperty);
}

void TCustomComPort::SetSyncMethod(TSyncMethod value) {
    if (value == FSyncMethod) return;
    CheckNotConnected();
    FSyncMethod = value;
}

void TCustomComPort::SetEventThreadPriority(TThreadPriority value) {
    if (value == FEventThreadPriority) return;
    CheckNotConnected();
    FEventThreadPriority = value;
}

void TCustomComPort::BeginSettingsUpdate() { ++FUpdateCount; }

void TCustomComPort::EndSettingsUpdate() {
    if (FUpdateCount == 0) return;
    if (--FUpdateCount == 0) ApplySettings();
}

// ---- input and output ----

int TCustomComPort::WriteString(const ByteString& Str) {
    if (Str.empty()) return 0;
    TellLinks<&TComLink::OnTxStatus>(true);
    const int written = FDevice.Write(Str.data(), static_cast<int>(Str.size()), FTimeouts);
    if (FThread) FThread->OutputQueued();
    if (written > 0) TellLinks<&TComLink::OnTxBuf>(Str.data(), written);
    return written;
}

int TCustomComPort::ReadString(ByteString& Str, int Count) {
    Str.clear();
    if (Count <= 0) return 0;
    Str.resize(static_cast<std::size_t>(Count));
    const int read = FDevice.Read(Str.data(), Count, FTimeouts);
    Str.resize(static_cast<std::size_t>(read));
    if (read > 0) TellLinks<&TComLink::OnRead>(Str.data(), read);
    if (InputQueueEmpty()) TellLinks<&TComLink::OnRxStatus>(false);
    return read;
}

// A device that went away has nothing more to read; the bytes just read stay the caller's.
bool TCustomComPort::InputQueueEmpty() {
    try {
        return PendingInputCount() == 0;
    } catch (const EComPort&) {
        return true;
    }
}

int TCustomComPort::PendingInputCount() { return TSerialDevice::InputCount(FDevice.Handle()); }

void TCustomComPort::ClearBuffers(bool Input, bool Output) { FDevice.Purge(Input, Output); }

void TCustomComPort::AbortPendingIo() { FDevice.AbortIo(); }

TComErrors TCustomComPort::LineErrors() {
    if (!FDevice.IsOpen()) throw EComPort(ComError::ClearCommError, EBADF);
    const TLineCounters now = TSerialDevice::Counters(FDevice.Handle());
    const TComErrors errors = ErrorsBetween(FLineCounters, now, FParity.GetCheck());
    FLineCounters = now;
    return errors;
}

TComSignals TCustomComPort::ModemSignals() { return FDevice.ModemSignals(); }

// ---- event raisers ----

void TCustomComPort::DoBeforeOpen() { if (OnBeforeOpen) OnBeforeOpen(this); }
void TCustomComPort::DoAfterOpen() { if (OnAfterOpen) OnAfterOpen(this); }
void TCustomComPort::DoBeforeClose() { if (OnBeforeClose) OnBeforeClose(this); }
void TCustomComPort::DoAfterClose() { if (OnAfterClose) OnAfterClose(this); }
void TCustomComPort::DoRxChar(int Count) { if (OnRxChar) OnRxChar(this, Count); }
void TCustomComPort::DoRxBuf(const char* Buffer, int Count) { if (OnRxBuf) OnRxBuf(this, Buffer, Count); }
void TCustomComPort::DoTxEmpty() { if (OnTxEmpty) OnTxEmpty(this); }
void TCustomComPort::DoBreak() { if (OnBreak) OnBreak(this); }
void TCustomComPort::DoRing() { if (OnRing) OnRing(this); }
void TCustomComPort::DoCTSChange(bool OnOff) { if (OnCTSChange) OnCTSChange(this, OnOff); }
void TCustomComPort::DoDSRChange(bool OnOff) { if (OnDSRChange) OnDSRChange(this, OnOff); }
void TCustomComPort::DoRLSDChange(bool OnOff) { if (OnRLSDChange) OnRLSDChange(this, OnOff); }
void TCustomComPort::DoRxFlag() { if (OnRxFlag) OnRxFlag(this); }
void TCustomComPort::DoError(TComErrors Errors) { if (OnError) OnError(this, Errors); }
void TCustomComPort::DoRx80Full() { if (OnRx80Full) OnRx80Full(this); }
