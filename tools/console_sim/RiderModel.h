#pragma once

#include <cstdint>

// The rider on the emulated trainer. The rider keeps a steady effort: the speed, cadence and
// heart rate typed by the user are those ridden with no resistance on the flat, and the
// set-points sent by the PC change them:
//   load    = resistance + 8 x elevation (elevation as a signed byte), at least -64
//   speed   = base speed   x 128 / (128 + load)
//   cadence = base cadence x 128 / (128 + load)      (a fixed gear: cadence follows speed)
//   heart   = base heart + load / 4 for a positive load, at most 220; 0 stays 0 (no belt)
class TRiderModel {
public:
    void SetBaseSpeed(double kmh) { FBaseSpeed = kmh; }
    void SetBaseCadence(double rpm) { FBaseCadence = rpm; }
    void SetBaseHeart(double bpm) { FBaseHeart = bpm; }
    void SetSetPoints(std::uint8_t resistance, std::uint8_t elevation);
    // A fault: the brake no longer bites, so the set-points leave the rider's effort as it is.
    void SetBrakeFailed(bool failed) { FBrakeFailed = failed; }

    double GetSpeed() const { return FBaseSpeed * EffortFactor(); }
    double GetCadence() const { return FBaseCadence * EffortFactor(); }
    double GetHeart() const;
    double GetLoad() const;

private:
    double EffortFactor() const;

    double FBaseSpeed = 0;
    double FBaseCadence = 0;
    double FBaseHeart = 0;
    std::uint8_t FResistance = 0;
    std::int8_t FElevation = 0;
    bool FBrakeFailed = false;
};
