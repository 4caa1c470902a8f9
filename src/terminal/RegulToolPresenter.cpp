#include "terminal/RegulToolPresenter.h"

#include "device/KelvoDevice.h"

#include "terminal/IntegerText.h"

std::optional<std::array<std::int32_t, TRegulToolPresenter::FieldCount>> TRegulToolPresenter::Activated() {
    if (!FFirstActivation || FDevice == nullptr) return std::nullopt;
    FFirstActivation = false;
    return Values();
}

std::array<std::int32_t, TRegulToolPresenter::FieldCount> TRegulToolPresenter::Values() const {
    return {FDevice->GetSpeedArrayLength(),   FDevice->GetHeartArrayLength(),
            FDevice->GetCadenceArrayLength(), FDevice->GetHrDelayBeforeReset(),
            FDevice->GetHrDeltaVariationLimit(), FDevice->GetHeartCalcDelay(),
            FDevice->GetCadenceCalcDelay()};
}

std::int32_t TRegulToolPresenter::InForce(TField field) const {
    return FDevice == nullptr ? 0 : Values()[field];
}

std::string TRegulToolPresenter::Commit(TField field, const std::string& text) {
    const std::optional<std::int32_t> value = IntegerOfText(text);
    if (FDevice == nullptr || !value) return {};
    const bool isLength = field <= rfCadenceArrayLength;
    if (isLength && (*value < 1 || *value > MaxArrayLength))
        return "An array length lies between 1 and " + std::to_string(MaxArrayLength) + ".";
    if (!isLength && field != rfHrDeltaVariationLimit && *value < 0) return NegativeDelayText;
    Apply(field, *value);
    return {};
}

void TRegulToolPresenter::Apply(TField field, std::int32_t value) {
    switch (field) {
    case rfSpeedArrayLength: FDevice->SetSpeedArrayLength(value); break;
    case rfHeartArrayLength: FDevice->SetHeartArrayLength(value); break;
    case rfCadenceArrayLength: FDevice->SetCadenceArrayLength(value); break;
    case rfHrDelayBeforeReset: FDevice->SetHrDelayBeforeReset(value); break;
    case rfHrDeltaVariationLimit: FDevice->SetHrDeltaVariationLimit(value); break;
    case rfHeartCalcDelay: FDevice->SetHeartCalcDelay(value); break;
    case rfCadenceCalcDelay: FDevice->SetCadenceCalcDelay(value); break;
    }
}

void TRegulToolPresenter::ResetHeartCounters() {
    if (FDevice != nullptr) FDevice->ResetHeartCounters();
}
