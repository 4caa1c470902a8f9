#include "terminal/GapHistogram.h"

#include <algorithm>
#include <bit>

namespace {
constexpr int ExactBits = 12; // 4096 exact bins
constexpr std::uint32_t ExactBins = 1u << ExactBits;
constexpr int SubBinBits = 6; // 64 bins per doubling above them
constexpr std::uint32_t SubBins = 1u << SubBinBits;
constexpr std::size_t Doublings = 32 - ExactBits;
constexpr std::size_t BinCount = ExactBins + Doublings * SubBins;
} // namespace

std::size_t TGapHistogram::BinOf(std::uint32_t gapMs) {
    if (gapMs < ExactBins) return gapMs;
    const int doubling = std::bit_width(gapMs) - 1 - ExactBits;
    const std::uint32_t sub = (gapMs >> (doubling + ExactBits - SubBinBits)) & (SubBins - 1);
    return ExactBins + static_cast<std::size_t>(doubling) * SubBins + sub;
}

std::uint32_t TGapHistogram::LastGapOf(std::size_t bin) {
    if (bin < ExactBins) return static_cast<std::uint32_t>(bin);
    const std::size_t doubling = (bin - ExactBins) / SubBins;
    const std::uint64_t sub = (bin - ExactBins) % SubBins;
    const int width = static_cast<int>(doubling) + ExactBits - SubBinBits;
    const std::uint64_t first = (std::uint64_t{SubBins} + sub) << width;
    return static_cast<std::uint32_t>(first + (std::uint64_t{1} << width) - 1);
}

void TGapHistogram::Add(std::uint32_t gapMs) {
    if (FBins.empty()) FBins.assign(BinCount, 0);
    ++FBins[BinOf(gapMs)];
    ++FCount;
    FLargest = std::max(FLargest, gapMs);
}

void TGapHistogram::Clear() {
    FBins.clear();
    FCount = 0;
    FLargest = 0;
}

std::uint32_t TGapHistogram::Percentile(unsigned percent) const {
    if (FCount == 0) return 0;
    // Whole numbers: 99 % of 100 gaps is rank 99, never 100 through a rounding error.
    const std::uint64_t rank = std::max<std::uint64_t>(1, (FCount * percent + 99) / 100);
    std::uint64_t seen = 0;
    for (std::size_t bin = 0; bin < FBins.size(); ++bin) {
        seen += FBins[bin];
        if (seen >= rank) return std::min(LastGapOf(bin), FLargest);
    }
    return FLargest;
}
