#pragma once

#include <functional>

class TComponent;

// Notifications a port sends to a component linked to it. Each one is optional; a port calls
// only those that are set. The packet splitter sets the received-bytes one alone.
struct TComLink {
    std::function<void(bool OnOff)> OnConn;
    std::function<void(TComponent* Sender, const char* Buffer, int Count)> OnRxBuf;
    std::function<void(const char* Buffer, int Count)> OnTxBuf;
    // Bytes the port read, by either road (its receiving links, or a handler's ReadString), told
    // before anything acts on them: for an observer such as a capture. A link with only this set
    // takes no received bytes, so it changes nothing in how the port delivers them.
    std::function<void(const char* Buffer, int Count)> OnRead;
    // The line went away (an unplugged adapter, a closed pseudo-terminal master): told once.
    std::function<void()> OnHangUp;
    std::function<void(bool OnOff)> OnCTSChange;
    std::function<void(bool OnOff)> OnDSRChange;
    std::function<void(bool OnOff)> OnRLSDChange;
    std::function<void()> OnRing;
    std::function<void()> OnTxEmpty;
    std::function<void()> OnRxFlag;
    std::function<void(bool OnOff)> OnRxStatus;
    std::function<void(bool OnOff)> OnTxStatus;
};
