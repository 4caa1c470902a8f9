// Heart rate: impulses, filters, heart survey and alarms.
#include "device/KelvoDevice.h"

#include "device/SampleWindow.h"
#include "device_link/TickClock.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <span>

namespace {
// One impulse never counts as more than 250 bpm.
constexpr std::int32_t ShortestHeartInterval = 240;
// A filtered impulse rate above this is shown as it and restarts the heart state.
constexpr std::int32_t HighestImpulseHeartRate = 230;
constexpr std::int32_t HeartStepLimit = 60;
// Below this the heart signal counts as lost.
constexpr std::int32_t LowestLiveHeartRate = 35;
constexpr double MsPerMinute = 60000;

std::int32_t Rounded(long double value) { return static_cast<std::int32_t>(std::nearbyint(value)); }

std::string InstantHeartText(long long periodMs) {
    char text[48];
    std::snprintf(text, sizeof text, "%lld\t%d\t%s", periodMs, 0, "");
    return text;
}
} // namespace

// ---- Properties ----

void TKelvoDevice::SetHeartEnabled(bool Value) {
    if (Value == FHeartEnabled) return;
    FHeartEnabled = Value;
    SetHeartConnectionSurvey(Value);
    SetHeartConnectionActive(Value);
}

void TKelvoDevice::SetHeartConnectionSurvey(bool Value) {
    if (Value == FHeartConnectionSurvey) return;
    FHeartConnectionSurvey = Value;
    FHeartSurveyTimer->SetEnabled(FConnected && FHeartConnectionSurvey && FHeartEnabled);
}

void TKelvoDevice::SetHeartConnectionActive(bool Value) {
    if (Value == FHeartConnectionActive) return;
    FHeartConnectionActive = Value;
    if (Value) return;
    FHeartRate = 0;
    FAverageHeartRate = 0;
}

void TKelvoDevice::SetHeartArrayLength(std::int32_t Value) { ResizeWindow(FHeartArray, Value); }

void TKelvoDevice::SetHrDelayBeforeReset(std::int32_t Value) {
    if (Value == FHrDelayBeforeReset) return;
    FHrDelayBeforeReset = Value;
    FHeartSurveyTimer->SetInterval(static_cast<std::uint32_t>(std::max(Value, 0)));
}

// ---- Heart values ----

void TKelvoDevice::DeviceHeartValue(long double Value) {
    // A repeated value is the console holding its last reading: no sample, no sign of life.
    if (Value == FLastDeviceHeartRate) return;
    if (Value > 0) {
        FHeartImpulseSeen = true;
        const double value = static_cast<double>(Value);
        FHeartRate = FHrFilter2Active ? FilterHeart2(value) : FilterHeart(value);
        // The value came from a whole period: truncating 60000 / Value would make it one short
        // whenever the division lands just below it.
        if (OnInstantHeart) DoInstantHeart(InstantHeartText(std::llround(MsPerMinute / Value)));
    }
    FLastDeviceHeartRate = Value;
}

void TKelvoDevice::HeartImpulse() {
    if (IsDestroying()) return;
    const std::uint32_t now = FMessageTick;
    if (FHeartFirstBeatSeen) {
        FHeartInterval = std::max(static_cast<std::int32_t>(TickElapsed(FLastHeartBeatTick, now)), ShortestHeartInterval);
    } else {
        FHeartFirstBeatSeen = true;
    }
    FLastHeartBeatTick = now;
    if (FHeartInterval != 0) {
        const double beat = Rounded(MsPerMinute / FHeartInterval);
        const std::int32_t filtered = FHrFilter2Active ? FilterHeart2(beat) : FilterHeart(beat);
        if (filtered > HighestImpulseHeartRate || filtered < 0) {
            FHeartRate = filtered > HighestImpulseHeartRate ? HighestImpulseHeartRate : 0;
            ResetHeartCounters();
        } else {
            FHeartRate = filtered;
        }
        if (FHeartRate > 0) CountHeartValue(FHeartRate);
    } else {
        FHeartRate = 0;
    }
    if (OnInstantHeart) DoInstantHeart(InstantHeartText(FHeartInterval));
}

void TKelvoDevice::CountHeartValue(std::int32_t Value) {
    FHeartSum += Value;
    FHeartCount += 1;
}

std::optional<std::int32_t> TKelvoDevice::PushHeartValue(double Value) {
    ShiftIn(FHeartArray, Value);
    // No value until the window is full.
    if (FHeartArray.front() == 0) return std::nullopt;
    const long double sum = std::accumulate(FHeartArray.begin(), FHeartArray.end(), 0.0L);
    return Rounded(sum / static_cast<long double>(FHeartArray.size()));
}

std::int32_t TKelvoDevice::FilterHeart(double Value) {
    const std::optional<std::int32_t> mean = PushHeartValue(Value);
    if (!mean) return 0;
    // The consoles before 4.5 report one beat per minute too many.
    const std::int32_t result = FVersion < 4.5 ? *mean - 1 : *mean;
    if (FVersion >= 4.5) CountHeartValue(result);
    return result;
}

std::int32_t TKelvoDevice::FilterHeart2(double Value) {
    THeartFilter2& filter = FHrFilter2;
    for (bool& warmup : filter.Warmup) {
        if (!warmup) continue;
        warmup = false;
        filter.History = {Value, filter.History[0], filter.History[1]};
        return 0;
    }
    if (HeartStepAccepted(Value)) {
        filter.History = {Value, filter.History[0], filter.History[1]};
        filter.RejectedCount = 0;
    } else if (!HeartLevelMoved(Value)) {
        return static_cast<std::int32_t>(std::trunc(filter.FallbackHeart));
    }
    filter.FallbackHeart = FHeartRate;
    const std::optional<std::int32_t> mean = PushHeartValue(Value);
    if (!mean) return 0;
    if (FVersion > 4) CountHeartValue(*mean);
    return *mean;
}

bool TKelvoDevice::HeartStepAccepted(double Value) const {
    const auto& [p1, p2, p3] = FHrFilter2.History;
    const double limit = FHrFilter2.StepLimit;
    // A jump is taken only as the third of three like steps in a row: a real change, not a glitch.
    if (Value - p1 < -limit) return p1 - p2 < -limit && p2 - p3 < -limit;
    if (Value - p1 > limit) return p1 - p2 > limit && p2 - p3 > limit;
    return true;
}

// A rejected value never enters the history, so a real step (a rider going from 120 to 190) would
// be held off for ever: three rejected values in a row within the step limit of each other are the
// new level, and the history restarts from them. (Each lies beyond the limit from P1, so values
// within the limit of each other lie on the same side of it.)
bool TKelvoDevice::HeartLevelMoved(double Value) {
    THeartFilter2& filter = FHrFilter2;
    const auto run = std::span(filter.Rejected).first(filter.RejectedCount);
    const bool joinsRun =
        std::ranges::all_of(run, [&](double rejected) { return std::abs(Value - rejected) <= filter.StepLimit; });
    if (!joinsRun) filter.RejectedCount = 0;
    if (filter.RejectedCount < filter.Rejected.size()) {
        filter.Rejected[filter.RejectedCount++] = Value;
        return false;
    }
    filter.History = {Value, filter.Rejected[1], filter.Rejected[0]};
    filter.RejectedCount = 0;
    return true;
}

void TKelvoDevice::ResetHeartCounters() {
    // The heart window keeps its values: after a gap the first filter gives values again at once.
    FHeartInterval = 0;
    FHrFilter2.StepLimit = HeartStepLimit;
    FHeartFirstBeatSeen = false;
    FLastHeartBeatTick = TickCount();
    FHrFilter2.Warmup = {true, true, true};
    FHrFilter2.RejectedCount = 0;
}

// ---- Survey and alarms ----

void TKelvoDevice::HeartSurveyTick(TComponent*) {
    if (IsDestroying()) return;
    if (FHeartImpulseSeen) {
        SetHeartConnectionActive(true);
    } else {
        ResetHeartCounters();
        SetHeartConnectionActive(false);
        DoHeartConnectionLost();
    }
    FHeartImpulseSeen = false;
}

void TKelvoDevice::HeartStatsStep() {
    if (!FHeartEnabled) {
        FHeartRate = 0;
        FAverageHeartRate = 0;
        return;
    }
    if (FHeartConnectionActive && FHeartRate < LowestLiveHeartRate) SetHeartConnectionActive(false);
    if (FHeartConnectionActive) CheckHeartAlarm();
}

std::int32_t TKelvoDevice::HeartAlarmPercent(bool isHigherLimit) const {
    const std::int32_t limit = isHigherLimit ? FAlarmHeartHighLimit : FAlarmHeartLowLimit;
    // A limit of 0 leaves nothing to take a percentage of.
    if (FAlarmHeartLowLimit <= 0 || limit <= 0) return 0;
    const std::int32_t beyond = isHigherLimit ? FHeartRate - limit : limit - FHeartRate;
    return Rounded(static_cast<long double>(beyond) / limit * 100);
}

void TKelvoDevice::CheckHeartAlarm() {
    if (FHeartRate >= FAlarmHeartHighLimit || FHeartRate <= FAlarmHeartLowLimit) {
        const bool isHigherLimit = FHeartRate >= FAlarmHeartHighLimit;
        bool doStop = true;
        const std::int32_t percent = HeartAlarmPercent(isHigherLimit);
        if (FHeartRate > FAlarmHeartAbsoluteLimit) {
            // Beyond the absolute limit the load goes at once, whatever the handler wants.
            ZeroSetPoints();
            DoAlarmHeart(percent, isHigherLimit, false, doStop);
        } else {
            DoAlarmHeart(percent, isHigherLimit, false, doStop);
            if (doStop) {
                ZeroSetPoints();
                FStoppedByComponent = true;
                Stop();
            }
        }
    }
    if (FHeartCount > 0 && FHeartSum > 0)
        FAverageHeartRate = Rounded(static_cast<long double>(FHeartSum) / FHeartCount);
}

void TKelvoDevice::DoAlarmHeart(std::int32_t PercentDelta, bool isHigherLimit, bool AbortedByComponent,
                                bool& doStop) {
    Raise(OnAlarmHeart, this, PercentDelta, isHigherLimit, AbortedByComponent, doStop);
}

void TKelvoDevice::DoInstantHeart(const std::string& aText) { Raise(OnInstantHeart, this, aText); }
void TKelvoDevice::DoHeartConnectionLost() { Raise(OnHeartConnectionLost, this); }
