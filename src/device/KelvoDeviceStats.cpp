// Roller geometry, speed, distance and cadence, and the statistics tick.
#include "device/KelvoDevice.h"

#include "device/SampleWindow.h"
#include "device_link/TickClock.h"

#include <algorithm>
#include <cmath>
#include <numeric>

bool TKelvoDevice::StatsTickBusy = false;

namespace {
constexpr long double Pi = 3.1415926535897932385L;
constexpr long double RoundingResidue = 0.00000001L;
constexpr std::int32_t DriftCorrectionLimit = 100;
constexpr std::int32_t HighestPrecision = 9;
// A pedal impulse closer than this to the previous one is a bounce of the sensor.
constexpr std::uint32_t ShortestPedalInterval = 300;
constexpr long double MsPerHour = 3600000;
constexpr long double MsPerMinute = 60000;
// One message of the framed consoles stands for 100 ms of riding, one status byte for 10 ms.
constexpr long double MsPerMessage = 100;
constexpr long double MsPerStatusByte = 10;
// The short speed average: 3 samples from version 4.5 on, 6 before.
constexpr std::size_t ShortAverageLongFrames = 3;
constexpr std::size_t ShortAverageOlder = 6;

std::int32_t RoundedInt(long double value) { return static_cast<std::int32_t>(std::nearbyint(value)); }

template <typename Iterator> long double MeanOf(Iterator first, Iterator last) {
    return std::accumulate(first, last, 0.0L) / static_cast<long double>(std::distance(first, last));
}
} // namespace

// ---- Rounding, geometry and units ----

std::int32_t TKelvoDevice::BoundedPrecision(std::int32_t Value) { return std::clamp(Value, 0, HighestPrecision); }

long double TKelvoDevice::RoundDecimals(std::int32_t Decimals, long double X) {
    std::int32_t power = 1;
    for (std::int32_t i = 0; i < BoundedPrecision(Decimals); ++i) power *= 10;
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

void TKelvoDevice::SetPrecisionSpeed(std::int32_t Value) { FPrecisionSpeed = BoundedPrecision(Value); }
void TKelvoDevice::SetPrecisionDistance(std::int32_t Value) { FPrecisionDistance = BoundedPrecision(Value); }

void TKelvoDevice::SetStatsInterval(std::int32_t Value) {
    if (Value == FStatsInterval) return;
    FStatsInterval = Value;
    FStatsTimer->SetInterval(static_cast<std::uint32_t>(std::max(Value, 0)));
}

void TKelvoDevice::SetSpeedArrayLength(std::int32_t Value) { ResizeWindow(FSpeedArray, Value); }
void TKelvoDevice::SetCadenceArrayLength(std::int32_t Value) { ResizeWindow(FCadenceArray, Value); }

// ---- Distance ----

void TKelvoDevice::AddRollEvents(long double Count) {
    if (Count < 0) return;
    FRollIncrement = Count;
    FRollCount += Count;
    UpdateDistance(FDistancePerRollEvent * FRollCount);
}

void TKelvoDevice::UpdateDistance(long double Metres) {
    // The distance that reached the course stays on show until the next ride.
    if (FCourseFinished) return;
    FDistance = RoundDecimals(FPrecisionDistance, Metres / MetresPerUnit());
    if (FDistance >= CourseDistance && FDistance > 0 && CourseDistance > 0) {
        FCourseFinished = true;
        FStoppedByComponent = true;
    }
}

// ---- Speed and cadence samples ----

long double TKelvoDevice::AddSpeedSample(double Rolls) {
    ShiftIn(FSpeedArray, 0.0);
    const long double length = FDistancePerRollEvent * Rolls / MetresPerUnit();
    const long double sampleMs = FVersion >= 4 ? MsPerMessage : FStatusByteCount * MsPerStatusByte;
    // A byte-stream sample taken before any status byte has no time to divide by.
    const long double sample = sampleMs > 0 ? RoundDecimals(FPrecisionSpeed, length / sampleMs * MsPerHour) : 0;
    FSpeedArray.back() = static_cast<double>(sample);
    // Zero entries count: after a reset the speed climbs as the array fills.
    FRealSpeed = RoundDecimals(FPrecisionSpeed, MeanOf(FSpeedArray.begin(), FSpeedArray.end()));
    const std::size_t newest =
        std::min(FSpeedArray.size(), FVersion >= 4.5 ? ShortAverageLongFrames : ShortAverageOlder);
    long double shortAverage =
        RoundDecimals(FPrecisionSpeed, MeanOf(FSpeedArray.end() - static_cast<std::ptrdiff_t>(newest), FSpeedArray.end()));
    long double result = FRealSpeed;
    if (VirtualSpeedActive()) {
        shortAverage += FVirtualSpeedDelta;
        result = FRealSpeed + FVirtualSpeedDelta;
        const long double messageSeconds = FVersion > 3 ? 0.1L : 0.01L;
        AddRollEvents(FVirtualDistanceStep * MetresPerUnit() * messageSeconds / FDistancePerRollEvent);
    }
    FInstantSpeed = shortAverage < 0 ? 0 : shortAverage;
    DoInstantSpeed();
    return result;
}

void TKelvoDevice::AddCadenceSample(std::int32_t Value) {
    // Up to version 4 the value is a count of pedal impulses, timed here; later consoles send rpm.
    const bool impulses = FVersion <= 4;
    std::int32_t cadence = Value;
    const std::uint32_t now = FMessageTick;
    if (impulses) {
        const std::uint32_t elapsed = TickElapsed(FCadenceLastTick, now);
        if (elapsed < ShortestPedalInterval) return;
        cadence = RoundedInt(Value / static_cast<long double>(elapsed) * MsPerMinute);
    }
    ShiftIn(FCadenceArray, cadence);
    if (impulses) FCadenceLastTick = now;
    // No cadence until the window is full.
    FCadence = FCadenceArray.front() == 0 ? 0 : RoundedInt(MeanOf(FCadenceArray.begin(), FCadenceArray.end()));
    FCadenceSum += Value;
}

void TKelvoDevice::UpdatePeaks(std::int32_t Cadence, std::int32_t HeartRate, std::int32_t /*Power*/,
                               long double Speed) {
    FPeakCadence = std::max(FPeakCadence, Cadence);
    FPeakHeartRate = std::max(FPeakHeartRate, HeartRate);
    if (Speed > FPeakSpeed) FPeakSpeed = Speed;
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
    // Written directly: the elevation set-point keeps its value until the next assignment.
    FCurrentElevation = 0;
    FEnergy = 0;
}

void TKelvoDevice::SimulateValues(std::int32_t HeartRate, std::int32_t Cadence, long double Speed) {
    if (!FSimulationMode) return;
    FSpeed = Speed;
    FInstantSpeed = Speed;
    // One call per second: the distance of one second at this speed.
    AddRollEvents(std::nearbyint(Speed * MetresPerUnit() / FDistancePerRollEvent / 3600));
    if (HeartRate > 0) {
        FHeartImpulseSeen = true;
        FHeartRate = HeartRate;
        CountHeartValue(HeartRate);
    }
    if (Cadence > 0) FCadence = Cadence;
}

// ---- The statistics tick ----

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
    timer.SetElapsedTime(TickElapsed(FTickAtStart, TickCount()));
    timer.SetLapTime(timer.GetElapsedTime() - timer.GetLapTime());
    const long double rollsAtTick = FRollCount;
    const std::int32_t lapEventCount = FMessageCount;
    FRollCountAtTick = FRollCount - FRollCountAtTick;
    // The metres are rounded, then turned into km or miles.
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
    VirtualSpeedStep();
    const auto elapsed = static_cast<long double>(timer.GetElapsedTime());
    FAverageSpeed = elapsed >= 1 ? RoundDecimals(FPrecisionSpeed, distanceAtTick / elapsed * MsPerHour) : 0;
    if (FAverageSpeed < 0) FAverageSpeed = 0;
    PowerStep();
    UpdatePeaks(FCadence, FHeartRate, FPower, FSpeed);
    DoStats(static_cast<std::int32_t>(timer.GetLapTime()), lapEventCount, FRollCountAtTick, FLapDistance, oldSpeed,
            speedChanged);
    CorrectStatsDrift();
    FLapDistance = distanceAtTick;
    timer.SetLapTime(timer.GetElapsedTime());
    FRollCountAtTick = rollsAtTick;
}

void TKelvoDevice::UpdateAverageCadence() {
    const auto elapsed = static_cast<long double>(FStatsTimer->GetElapsedTime());
    // Without cadence now, or before any ride time, the average stays as it was.
    if (FCadence <= 0 || elapsed <= 0) return;
    // Version 5 sums one rpm value per 100 ms message; older consoles count pedal impulses.
    FAverageCadence = FVersion > 4 ? RoundedInt(FCadenceSum / (elapsed / MsPerMessage))
                                   : RoundedInt(FCadenceSum / elapsed * MsPerMinute);
}

void TKelvoDevice::CorrectStatsDrift() {
    TQorinThreadTimer& timer = *FStatsTimer;
    auto drift = static_cast<std::int64_t>(timer.GetInterval()) - timer.GetLapTime();
    if (drift < -DriftCorrectionLimit || drift > DriftCorrectionLimit) drift = 0;
    timer.SetInterval(static_cast<std::uint32_t>(std::max<std::int64_t>(FStatsInterval + drift, 0)));
}

void TKelvoDevice::EndStatsTick() {
    StatsTickBusy = false;
    if (!FCourseFinished) return;
    // A refused stop leaves the timer running: the next tick tries again.
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
