#pragma once

#include "device_link/CustomComPort.h"

#include <exception>

// One settings update of a port for the life of a scope: the settings are applied once, when
// it ends, whether the scope finished or failed. While a failure is already on its way, a
// failure of the applying is dropped so that it cannot hide the first.
class TSettingsUpdate {
public:
    explicit TSettingsUpdate(TCustomComPort& port) : FPort(port) { FPort.BeginSettingsUpdate(); }
    TSettingsUpdate(const TSettingsUpdate&) = delete;
    TSettingsUpdate& operator=(const TSettingsUpdate&) = delete;

    ~TSettingsUpdate() noexcept(false) {
        if (std::uncaught_exceptions() == FFailuresAtStart) {
            FPort.EndSettingsUpdate();
            return;
        }
        try {
            FPort.EndSettingsUpdate();
        } catch (...) {
        }
    }

private:
    TCustomComPort& FPort;
    const int FFailuresAtStart = std::uncaught_exceptions();
};
