#pragma once

// The connection survey's report codes (OnKvdErrorInfo), the numbers its log lines carry.
namespace SurveyReport {
constexpr int RepairAttempt = 720;
constexpr int PortNotOpen = 710;
constexpr int IdentificationSent = 611;
constexpr int Restored = 614;
constexpr int GivenUp = 711;
} // namespace SurveyReport
