// Heart rate: impulses, filters, heart survey and alarms.
#include "device/KelvoDevice.h"

#include <cmath>

void TKelvoDevice::HeartImpulse() {}

std::int32_t TKelvoDevice::FilterHeart(double Value) { return static_cast<std::int32_t>(std::nearbyint(Value)); }

std::int32_t TKelvoDevice::FilterHeart2(double Value) { return FilterHeart(Value); }

void TKelvoDevice::ResetHeartCounters() { FHeartImpulseSeen = false; }

void TKelvoDevice::HeartSurveyTick(TComponent*) {}

void TKelvoDevice::HeartStatsStep() {
    if (!FHeartEnabled) {
        FHeartRate = 0;
        FAverageHeartRate = 0;
    }
}

void TKelvoDevice::DoInstantHeart(const std::string& aText) { Raise(OnInstantHeart, this, aText); }
void TKelvoDevice::DoHeartConnectionLost() { Raise(OnHeartConnectionLost, this); }
