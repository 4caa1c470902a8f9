// Roller geometry, speed, distance and cadence, and the statistics tick.
#include "device/KelvoDevice.h"

#include "device/KelvoProtocol.h"
#include "device_link/TickClock.h"

#include <cmath>
#include <algorithm>
#include <numeric>

bool TKelvoDevice::StatsTickBusy = false;

namespace {
constexpr long double Pi = 3.1415926535897932385L;
constexpr long double RoundingResidue = 0.00000001L;
constexpr std::int32_t DriftCorrectionLimit = 100;

std::int32_t RoundedInt(long double value) { return static_cast<std::int32_t>(std::nearbyint(value)); }

template <typename Array, typename Value> void ShiftIn(Array& array, Value value) {
    if (array.empty()) return;
    std::rotate(array.begin(), array.begin() + 1, array.end());
    array.back() = value;
}
} // namespace

long double TKelvoDevice::RoundDecimals(std::int32_t Decimals, long double X) {
    std::int32_t power = 1;
    for (std::int32_t i = 0; i < Decimals; ++i) power *= 10;
    const long double rounded =
        X >= 0 ? std::trunc(X * power + 0.5L) / power : std::trunc(X * power - 0.5L) / power;
    return rounded >= -RoundingResidue && rounded <= RoundingResidue ? 0.0L : rounded;
}

long double TKelvoDevice::MetresPerUnit() const { return FUnitMeasure == umKm ? MetresPerKm : MetresPerMile; }

void TKelvoDevice::UpdateDistancePerRollEvent() {
    FDistancePerRollEvent = RoundDecimals(4, FRollDiameter * Pi * FNumberOfRoundPerRollEvent / 1000.0L);
}

void TKelvoDevice::SetRollDiameter(long double Value) {
    if (Value == FRollDiameter) return;
    FRollDiameter = Value;
    UpdateDistancePerRollEvent();
}

void TKelvoDevice::SetNumberOfRoundPerRollEvent(long double Value) {
    if (Value == FNumberOfRoundPerRollEvent) return;
    FNumberOfRoundPerRollEvent = Value;
    UpdateDistancePerRollEvent();
}

void TKelvoDevice::SetUnitMeasure(TUnitMeasure Value) {
    if (Value == FUnitMeasure) return;
    FUnitMeasure = Value;
    UpdateDistancePerRollEvent();
}

void TKelvoDevice::SetPrecisionSpeed(std::int32_t Value) { FPrecisionSpeed = Value; }
void TKelvoDevice::SetPrecisionDistance(std::int32_t Value) { FPrecisionDistance = Value; }

void TKelvoDevice::SetStatsInterval(std::int32_t Value) {
    FStatsInterval = Value;
    FStatsTimer->SetInterval(Value);
}

void TKelvoDevice::SetSpeedArrayLength(std::int32_t Value) {
    FSpeedArray.resize(static_cast<std::size_t>(std::max(Value, 1)), 0.0);
}

void TKelvoDevice::SetCadenceArrayLength(std::int32_t Value) {
    FCadenceArray.resize(static_cast<std::size_t>(std::max(Value, 1)), 0);
}

void TKelvoDevice::AddRollEvents(long double Count) {
    if (Count < 0) return;
    FRollIncrement = Count;
    FRollCount += Count;
    UpdateDistance(FDistancePerRollEvent * FRollCount);
}

void TKelvoDevice::UpdateDistance(long double Metres) {
    if (FCourseFinished) return;
    FDistance = FUnitMeasure == umKm ? RoundDecimals(FPrecisionDistance, Metres / MetresPerKm) : Metres / MetresPerMile;
    if (FDistance >= CourseDistance && FDistance > 0 && CourseDistance > 0) {
        FCourseFinished = true;
        FStoppedByComponent = true;
    }
}

long double TKelvoDevice::AddSpeedSample(double Rolls) {
    ShiftIn(FSpeedArray, 0.0);
    const long double length = FDistancePerRollEvent * Rolls / MetresPerUnit();
    const long double sampleTime = FVersion >= 4 ? 100.0L : FStatusByteCount * 10.0L;
    const long double sample = RoundDecimals(FPrecisionSpeed, length / sampleTime * 3600000.0L);
    FSpeedArray.back() = static_cast<double>(sample);
    const long double sum = std::accumulate(FSpeedArray.begin(), FSpeedArray.end(), 0.0L);
    FRealSpeed = RoundDecimals(FPrecisionSpeed, sum / static_cast<long double>(FSpeedArray.size()));
    const std::size_t newest = std::min<std::size_t>(FSpeedArray.size(), FVersion >= 4.5 ? 3 : 6);
    const long double newestSum = std::accumulate(FSpeedArray.end() - static_cast<std::ptrdiff_t>(newest),
                                                  FSpeedArray.end(), 0.0L);
    long double shortAverage = RoundDecimals(FPrecisionSpeed, newestSum / static_cast<long double>(newest));
    long double result = FRealSpeed;
    if (FVirtualSpeedEnabled && !FSimulationMode) {
        shortAverage += FVirtualSpeedDelta;
        result = FRealSpeed + FVirtualSpeedDelta;
        const long double step = FVersion > 3 ? 0.1L : 0.01L;
        AddRollEvents(FVirtualDistanceStep * MetresPerUnit() * step / FDistancePerRollEvent);
    }
    FInstantSpeed = shortAverage < 0 ? 0 : shortAverage;
    DoInstantSpeed();
    return result;
}

void TKelvoDevice::AddCadenceSample(std::int32_t Value) {
    std::int32_t cadence = Value;
    const std::uint32_t now = TickCount();
    if (FVersion <= 4) {
        const std::uint32_t elapsed = now - FCadenceLastTick;
        if (elapsed < 300) return;
        cadence = RoundedInt(static_cast<long double>(Value) / elapsed * 60000.0L);
    }
    ShiftIn(FCadenceArray, cadence);
    if (FVersion <= 4) FCadenceLastTick = now;
    if (FCadenceArray.front() == 0) {
        FCadence = 0;
    } else {
        const long double sum = std::accumulate(FCadenceArray.begin(), FCadenceArray.end(), 0.0L);
        FCadence = RoundedInt(sum / static_cast<long double>(FCadenceArray.size()));
    }
    FCadenceSum += Value;
}

void TKelvoDevice::ClearSpeeds() {
    FSpeed = 0;
    FRealSpeed = 0;
    FInstantSpeed = 0;
}

void TKelvoDevice::ResetStats() {
    if (FStatus != dsRunning) {
        ClearSpeeds();
        ResetVirtualSpeed();
    }
    FStatusRollSum = 0;
    FStatusByteCount = 0;
    std::fill(FCadenceArray.begin(), FCadenceArray.end(), 0);
    std::fill(FSpeedArray.begin(), FSpeedArray.end(), 0.0);
    FHeartRate = 0;
    FCadence = 0;
    FMessageCount = 0;
    FRollCount = 0;
    FRollCountAtPause = 0;
    FRollIncrement = 0;
    FRollCountAtTick = 0;
    FDistance = 0;
    FLapDistance = 0;
    FCadenceSum = 0;
    FEnergyTotal = 0;
    FPeakCadence = 0;
    FPeakHeartRate = 0;
    FPower = 0;
    FPeakSpeed = 0;
    FAverageCadence = 0;
    FAverageHeartRate = 0;
    FAverageSpeed = 0;
    FCurrentSlope = 0;
    FCurrentElevation = 0;
    FEnergy = 0;
}

void TKelvoDevice::UpdatePeaks(std::int32_t Cadence, std::int32_t HeartRate, std::int32_t, long double Speed) {
    FPeakCadence = std::max(FPeakCadence, Cadence);
    FPeakHeartRate = std::max(FPeakHeartRate, HeartRate);
    if (Speed > FPeakSpeed) FPeakSpeed = Speed;
}

void TKelvoDevice::StatsTick(TComponent*) {
    if (IsDestroying() || StatsTickBusy) return;
    StatsTickBusy = true;
    try {
        RunStatsTick();
    } catch (...) {
        EndStatsTick();
        throw;
    }
    EndStatsTick();
}

void TKelvoDevice::RunStatsTick() {
    SendKeepAliveSetPoints();
    TQorinThreadTimer& timer = *FStatsTimer;
    timer.SetElapsedTime(static_cast<std::int32_t>(TickCount() - FTickAtStart));
    timer.SetLapTime(timer.GetElapsedTime() - timer.GetLapTime());
    const long double rollsAtTick = FRollCount;
    const std::int32_t lapEventCount = FMessageCount;
    FRollCountAtTick = FRollCount - FRollCountAtTick;
    FLapDistance = RoundDecimals(FPrecisionDistance, FDistancePerRollEvent * FRollCountAtTick) / MetresPerUnit();
    const long double distanceAtTick = FDistance;
    HeartStatsStep();
    UpdateAverageCadence();
    const long double oldSpeed = FSpeed;
    if (FSpeed < 0) {
        FSpeed = 0;
        FRealSpeed = 0;
    }
    const bool speedChanged = oldSpeed != FSpeed;
    EnergyStep(oldSpeed);
    if (FVirtualSpeedEnabled && !FSimulationMode) UpdateVirtualSpeed(static_cast<double>(FRealSpeed));
    const std::int32_t elapsed = timer.GetElapsedTime();
    FAverageSpeed = elapsed >= 1 ? RoundDecimals(FPrecisionSpeed, distanceAtTick / elapsed * 3600000.0L) : 0;
    if (FAverageSpeed < 0) FAverageSpeed = 0;
    PowerStep();
    UpdatePeaks(FCadence, FHeartRate, FPower, FSpeed);
    DoStats(timer.GetLapTime(), lapEventCount, FRollCountAtTick, FLapDistance, oldSpeed, speedChanged);
    CorrectStatsDrift();
    FLapDistance = distanceAtTick;
    timer.SetLapTime(timer.GetElapsedTime());
    FRollCountAtTick = rollsAtTick;
}

void TKelvoDevice::UpdateAverageCadence() {
    const std::int32_t elapsed = FStatsTimer->GetElapsedTime();
    if (FCadence <= 0 || elapsed <= 0) return;
    FAverageCadence = FVersion > 4 ? RoundedInt(FCadenceSum / (elapsed / 100.0L))
                                   : RoundedInt(static_cast<long double>(FCadenceSum) / elapsed * 60000.0L);
}

void TKelvoDevice::CorrectStatsDrift() {
    TQorinThreadTimer& timer = *FStatsTimer;
    std::int32_t drift = timer.GetInterval() - timer.GetLapTime();
    if (drift < -DriftCorrectionLimit || drift > DriftCorrectionLimit) drift = 0;
    timer.SetInterval(FStatsInterval + drift);
}

void TKelvoDevice::EndStatsTick() {
    StatsTickBusy = false;
    if (!FCourseFinished) return;
    Stop();
    DoCourseFinished();
}

void TKelvoDevice::DoStats(std::int32_t LapTime, std::int32_t LapEventCount, long double LapRollCount,
                           long double LapDistance, long double OldSpeed, bool SpeedChanged) {
    if (IsDestroying()) return;
    Raise(OnStats, this, LapTime, LapEventCount, LapRollCount, LapDistance, OldSpeed, SpeedChanged);
}

void TKelvoDevice::DoInstantSpeed() { Raise(OnInstantSpeed, this); }
void TKelvoDevice::DoCourseFinished() { Raise(OnCourseFinished, this); }
