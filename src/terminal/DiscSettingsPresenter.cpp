#include "terminal/DiscSettingsPresenter.h"

#include "device/KelvoDevice.h"

#include "terminal/IntegerText.h"

TDiscSettings TDiscSettings::FromDevice(const TKelvoDevice& device) {
    return {device.GetConnectionSurveyInterval(), device.GetDisconUseCloseOpenPort(),
            device.GetDisconDelayBetweenCloseOpenPort(), device.GetDisconMaxTry()};
}

void TDiscSettings::ApplyTo(TKelvoDevice& device) const {
    device.SetConnectionSurveyInterval(ConnectionSurveyInterval);
    device.SetDisconUseCloseOpenPort(DisconUseCloseOpenPort);
    device.SetDisconDelayBetweenCloseOpenPort(DisconDelayBetweenCloseOpenPort);
    device.SetDisconMaxTry(DisconMaxTry);
}

std::string TDiscSettings::MaxTryRefusal(const std::string& text) {
    const std::optional<std::int32_t> value = IntegerOfText(text);
    if (!value) return "\"Max commands\" needs a number of attempts.";
    if (*value < 0) return "\"Max commands\" cannot be negative.";
    return {};
}
