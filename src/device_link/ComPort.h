#pragma once

#include "device_link/CustomComPort.h"

// The serial port as components use it.
class TComPort : public TCustomComPort {
public:
    using TCustomComPort::TCustomComPort;
};
