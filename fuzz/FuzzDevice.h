#pragma once

#include "device/KelvoDevice.h"

// The device as the fuzzers drive it: without a port, with the handshake's 6-byte framing at
// hand, and in a process that has the application object the device's hand-overs expect.
class TFuzzDevice : public TKelvoDevice {
public:
    // The framing TryConnect sets up before it sends the identification.
    using TKelvoDevice::UseShortFraming;

    // Creates the application object once per process; call before any device exists.
    static void PrepareProcess();
};
