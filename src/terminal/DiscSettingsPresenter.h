#pragma once

#include <cstdint>
#include <string>

class TKelvoDevice;

// The four settings of the connection survey and repair that the disconnection settings
// dialog edits, read from the device and written back through its setters (which apply their
// own limits).
struct TDiscSettings {
    std::int32_t ConnectionSurveyInterval = 400;
    bool DisconUseCloseOpenPort = true;
    std::int32_t DisconDelayBetweenCloseOpenPort = 300;
    std::int32_t DisconMaxTry = 30;

    static TDiscSettings Defaults() { return {}; }
    static TDiscSettings FromDevice(const TKelvoDevice& device);
    // In the order the dialog lists them.
    void ApplyTo(TKelvoDevice& device) const;
    // Why "Max commands" cannot be taken (empty or negative); empty when it can.
    static std::string MaxTryRefusal(const std::string& text);
};
