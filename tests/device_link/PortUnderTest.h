#pragma once

#include "device_link/ComPort.h"
#include "device_link/PtyPair.h"

#include <gtest/gtest.h>

#include <string>

// A port set up as the device sets its own (9600 baud, 8 data bits, even parity, one stop bit,
// no flow control), counting how often the whole settings are applied and how often it opens.
class TCountingComPort : public TComPort {
public:
    TCountingComPort() {
        GetParity().SetBits(prEven);
        GetFlowControl().SetFlowControl(fcNone);
        OnBeforeOpen = [this](TComponent*) { ++Opens; };
    }

    void ApplySettings() override {
        ++Applies;
        BaudRateWhenApplied = GetBaudRate();
        TComPort::ApplySettings();
    }

    // Opens on `path`; counting starts afterwards.
    void OpenCounting(const std::string& path) {
        SetPort(path);
        Open();
        Applies = 0;
        Opens = 0;
    }

    int Applies = 0;
    int Opens = 0;
    TBaudRate BaudRateWhenApplied = brCustom;
};

// The open port stayed open on its name and took its settings once, with `rate` already set.
inline void ExpectAppliedOnceWithoutReopen(const TCountingComPort& port, TBaudRate rate) {
    EXPECT_EQ(port.GetBaudRate(), rate);
    EXPECT_EQ(port.Applies, 1);
    EXPECT_EQ(port.BaudRateWhenApplied, rate);
    EXPECT_EQ(port.Opens, 0);
    EXPECT_TRUE(port.GetConnected());
}
