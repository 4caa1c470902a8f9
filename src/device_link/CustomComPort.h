#pragma once

#include "device_link/ByteString.h"
#include "device_link/ComBuffer.h"
#include "device_link/ComFlowControl.h"
#include "device_link/ComLinkHost.h"
#include "device_link/ComParity.h"
#include "device_link/ComPortTypes.h"
#include "device_link/ComTimeouts.h"
#include "device_link/SerialDevice.h"
#include "device_link/TermiosMapping.h"
#include "device_link/ThreadPriority.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TComThread;

// A serial port: opens one serial device, applies the line settings, writes and reads bytes,
// and runs an event thread that waits for line events and hands them to the main thread as the
// component's events. Linked components (the packet splitter) are fed the received bytes.
//
// Port names: a name without '/' opens /dev/<name>; a path opens as given. Pseudo-terminals are
// ports like any other: they have no modem lines (all read off) and keep no parity bit.
class TCustomComPort : public TComLinkHost {
public:
    using TNotifyEvent = std::function<void(TComponent* Sender)>;
    using TRxCharEvent = std::function<void(TComponent* Sender, int Count)>;
    using TRxBufEvent = std::function<void(TComponent* Sender, const char* Buffer, int Count)>;
    using TComErrorEvent = std::function<void(TComponent* Sender, TComErrors Errors)>;
    using TComSignalEvent = std::function<void(TComponent* Sender, bool OnOff)>;

    TCustomComPort();
    ~TCustomComPort() override;

    // Open does nothing when connected, Close nothing when not.
    void Open();
    void Close();
    bool GetConnected() const;
    // While a stored layout is loaded the value is only kept; the port opens when loading ends.
    void SetConnected(bool value);

    const std::string& GetPort() const { return FPort; }
    // An open port is closed and opened again on the new name at once.
    void SetPort(const std::string& value);

    // Line properties: a change is applied at once while open (error 7 when the device refuses;
    // the value stays changed and the port open), and at the next Open otherwise.
    TBaudRate GetBaudRate() const { return FBaudRate; }
    void SetBaudRate(TBaudRate value);
    std::int32_t GetCustomBaudRate() const { return FCustomBaudRate; }
    void SetCustomBaudRate(std::int32_t value);
    TDataBits GetDataBits() const { return FDataBits; }
    void SetDataBits(TDataBits value);
    TStopBits GetStopBits() const { return FStopBits; }
    void SetStopBits(TStopBits value);
    std::uint8_t GetEventChar() const { return FEventChar; }
    void SetEventChar(std::uint8_t value);
    bool GetDiscardNull() const { return FDiscardNull; }
    void SetDiscardNull(bool value);

    // Settings objects: a field set through these references applies at once; a whole object
    // assigned through the setter copies every field and applies once.
    TComParity& GetParity() { return FParity; }
    const TComParity& GetParity() const { return FParity; }
    void SetParity(const TComParity& value) { FParity.Assign(value); }
    TComFlowControl& GetFlowControl() { return FFlowControl; }
    const TComFlowControl& GetFlowControl() const { return FFlowControl; }
    void SetFlowControl(const TComFlowControl& value) { FFlowControl.Assign(value); }
    TComBuffer& GetBuffer() { return FBuffer; }
    const TComBuffer& GetBuffer() const { return FBuffer; }
    void SetBuffer(const TComBuffer& value) { FBuffer.Assign(value); }
    TComTimeouts& GetTimeouts() { return FTimeouts; }
    const TComTimeouts& GetTimeouts() const { return FTimeouts; }
    void SetTimeouts(const TComTimeouts& value) { FTimeouts.Assign(value); }

    // The line events the event thread waits for; a change takes effect at the next Open.
    TComEvents GetEvents() const { return FEvents; }
    void SetEvents(TComEvents value) { FEvents = value; }

    // Error 14 while connected (and not loading); the value then stays.
    TSyncMethod GetSyncMethod() const { return FSyncMethod; }
    void SetSyncMethod(TSyncMethod value);
    TThreadPriority GetEventThreadPriority() const { return FEventThreadPriority; }
    void SetEventThreadPriority(TThreadPriority value);

    // Settings are applied once, when the outermost update ends.
    void BeginSettingsUpdate();
    void EndSettingsUpdate();

    // Writes every byte (or as many as the write time-outs allow) and returns the count written.
    int WriteString(const ByteString& Str);
    // Reads at most Count bytes within the read time-outs; Str gets exactly the bytes read.
    int ReadString(ByteString& Str, int Count);
    int PendingInputCount();
    void ClearBuffers(bool Input, bool Output);
    // Ends a read or write that another thread is waiting in.
    void AbortPendingIo();
    // The line errors since the previous call.
    TComErrors LineErrors();
    TComSignals ModemSignals();

    // Buffer sizes, line settings and time-outs, in this order; each only while connected, out
    // of a settings update and not loading.
    virtual void ApplySettings();

    TNotifyEvent OnBeforeOpen;
    TNotifyEvent OnAfterOpen;
    TNotifyEvent OnBeforeClose;
    TNotifyEvent OnAfterClose;
    // Bytes are waiting and no link took them: the handler reads them with ReadString.
    TRxCharEvent OnRxChar;
    // The port read the waiting bytes for its links.
    TRxBufEvent OnRxBuf;
    TNotifyEvent OnTxEmpty;
    TNotifyEvent OnBreak;
    TNotifyEvent OnRing;
    TComSignalEvent OnCTSChange;
    TComSignalEvent OnDSRChange;
    TComSignalEvent OnRLSDChange;
    TNotifyEvent OnRxFlag;
    TComErrorEvent OnError;
    TNotifyEvent OnRx80Full;

protected:
    virtual void CreateHandle();
    virtual void DestroyHandle();
    virtual void ApplyLineSettings();
    virtual void ApplyTimeouts();
    virtual void ApplyBufferSizes();

    virtual void DoBeforeOpen();
    virtual void DoAfterOpen();
    virtual void DoBeforeClose();
    virtual void DoAfterClose();
    virtual void DoRxChar(int Count);
    virtual void DoRxBuf(const char* Buffer, int Count);
    virtual void DoTxEmpty();
    virtual void DoBreak();
    virtual void DoRing();
    virtual void DoCTSChange(bool OnOff);
    virtual void DoDSRChange(bool OnOff);
    virtual void DoRLSDChange(bool OnOff);
    virtual void DoRxFlag();
    virtual void DoError(TComErrors Errors);
    virtual void DoRx80Full();

    // Handles one set of line events, in the fixed order: error, received bytes, output empty,
    // break, ring, CTS, DSR, event character, RLSD, 80 % full.
    void DispatchEvents(TComEvents Events);

    void Loaded() override;

private:
    bool CanApply() const;
    bool IsOpenFrom(std::uint64_t session) const;
    bool InputQueueEmpty();
    template <typename T> void StoreLineSetting(T& field, const T& value);
    void CheckNotConnected() const;
    TLineSettings LineSettings() const;
    void StartEventThread();
    void StopEventThread();
    bool ThreadWaitsForThisDispatch() const;
    void JoinRetiredThreads();
    std::function<void(TComEvents)> HandOverFor(TSyncMethod method);
    void DispatchOne(TComEvent event);
    void DispatchReceived();
    bool LineState(TComEvent line);
    // Tells the links, then raises the line's change event.
    void AnnounceModemLine(TComEvent line, bool OnOff);
    template <auto Notification, typename... TArgs> void TellLinks(TArgs... args) const {
        ForEachLink([&](TComLink& link) {
            if (link.*Notification) (link.*Notification)(args...);
        });
    }

    std::string FPort = "COM1";
    TBaudRate FBaudRate = br9600;
    std::int32_t FCustomBaudRate = 9600;
    TDataBits FDataBits = dbEight;
    TStopBits FStopBits = sbOneStopBit;
    TComParity FParity;
    TComFlowControl FFlowControl;
    TComBuffer FBuffer;
    TComTimeouts FTimeouts;
    TComEvents FEvents = AllComEvents;
    std::uint8_t FEventChar = 0;
    bool FDiscardNull = false;
    TSyncMethod FSyncMethod = smThreadSync;
    TThreadPriority FEventThreadPriority = tpNormal;

    bool FConnected = false;
    bool FStoredConnected = false;
    int FUpdateCount = 0;
    TSerialDevice FDevice;
    TLineCounters FLineCounters;
    std::unique_ptr<TComThread> FThread;
    // Threads stopped from inside their own dispatch, joined once that dispatch has returned.
    std::vector<std::unique_ptr<TComThread>> FRetiredThreads;
    // Lives while the port is open; hand-overs that no one waits for run only while it does.
    std::shared_ptr<int> FSession;
    // Counts the opens, so that a step of Open or Close sees when a handler closed or reopened.
    std::uint64_t FOpenCount = 0;
    int FDispatchDepth = 0;
    // Expires with the port: a dispatch learns that a handler destroyed the port.
    const std::shared_ptr<int> FAlive = std::make_shared<int>(0);
};
