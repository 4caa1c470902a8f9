#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Gaps in milliseconds, counted in fixed bins so that a night of frames takes no more memory
// than a minute: one bin per millisecond below 4096 ms (exact), and above that 64 bins per
// doubling (within 1.6 %). The bins are allocated with the first gap, about 21 kB; the
// largest gap is kept exactly.
class TGapHistogram {
public:
    void Add(std::uint32_t gapMs);
    void Clear();

    std::uint64_t GetCount() const { return FCount; }
    std::uint32_t GetLargest() const { return FLargest; }
    // The nearest-rank percentile (the smallest gap that at least `percent` % of the gaps do
    // not exceed), 0 without gaps. Above 4096 ms it is the end of its bin, at most the largest.
    std::uint32_t Percentile(unsigned percent) const;

private:
    static std::size_t BinOf(std::uint32_t gapMs);
    static std::uint32_t LastGapOf(std::size_t bin);

    std::vector<std::uint32_t> FBins;
    std::uint64_t FCount = 0;
    std::uint32_t FLargest = 0;
};
