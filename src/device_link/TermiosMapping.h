#pragma once

#include "device_link/ComFlowControl.h"
#include "device_link/ComParity.h"
#include "device_link/ComPortTypes.h"

#include <cstdint>
#include <termios.h>

// The port properties that make up the line settings.
struct TLineSettings {
    TBaudRate BaudRate = br9600;
    std::int32_t CustomBaudRate = 9600;
    TDataBits DataBits = dbEight;
    TStopBits StopBits = sbOneStopBit;
    TComParity Parity;
    TComFlowControl FlowControl;
};

// What a port applies to the device: a raw-mode termios value, the speed (through termios2 when
// no standard speed constant exists for it) and the levels the port drives DTR and RTS to.
struct TTermiosSettings {
    termios Value{};
    std::uint32_t Speed = 0;
    bool CustomSpeed = false;
    bool DTR = false;
    bool RTS = false;
    // False when the driver drives RTS for the hardware handshake.
    bool DriveRTS = true;
};

TTermiosSettings TermiosFor(const TLineSettings& settings);

// Pseudo-terminals keep no parity bit and refuse a change of it alone, so it is left out.
TTermiosSettings WithoutParity(TTermiosSettings settings);
