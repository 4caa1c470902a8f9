#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

class TKelvoDevice;

// The regulation tool's own logic: the fields are filled from the device at the first
// activation only, and a committed edit goes to the device: the array lengths within 1..300,
// the delays never negative, an empty field changes nothing.
class TRegulToolPresenter {
public:
    enum TField {
        rfSpeedArrayLength,
        rfHeartArrayLength,
        rfCadenceArrayLength,
        rfHrDelayBeforeReset,
        rfHrDeltaVariationLimit,
        rfHeartCalcDelay,
        rfCadenceCalcDelay,
    };
    static constexpr std::size_t FieldCount = 7;
    static constexpr std::int32_t MaxArrayLength = 300;
    static constexpr const char* NegativeDelayText = "A delay cannot be negative.";

    explicit TRegulToolPresenter(TKelvoDevice* device) : FDevice(device) {}

    // The fields' values at the first activation with a device; nothing afterwards.
    std::optional<std::array<std::int32_t, FieldCount>> Activated();
    // A committed edit: the refusal's message, or empty when applied or when nothing changes.
    std::string Commit(TField field, const std::string& text);
    // The value the device runs with, which a refused field shows again.
    std::int32_t InForce(TField field) const;
    void ResetHeartCounters();

private:
    std::array<std::int32_t, FieldCount> Values() const;
    void Apply(TField field, std::int32_t value);

    TKelvoDevice* FDevice;
    bool FFirstActivation = true;
};
