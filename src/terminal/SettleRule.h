#pragma once

#include <cstdint>
#include <vector>

// When a series of readings has settled: over its last span every reading lies within a
// tolerance (a fraction) of their mean; it settled at the first reading from which it stayed
// there. The resistance ramp's report and a test plan's "settle" step judge by this one rule.
class TSettleRule {
public:
    struct TSample {
        std::uint32_t Ms; // since the series began
        double Value;
    };
    struct TSettled {
        bool Found = false;
        std::uint32_t AfterMs = 0;
        double Value = 0;
    };

    TSettleRule(std::uint32_t spanMs, double tolerance) : FSpanMs(spanMs), FTolerance(tolerance) {}
    TSettled Judge(const std::vector<TSample>& samples) const;

private:
    std::uint32_t FSpanMs;
    double FTolerance;
};
