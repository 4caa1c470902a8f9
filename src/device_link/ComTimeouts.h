#pragma once

#include "device_link/ComPersistent.h"

#include <cstdint>

// Read and write time-outs in milliseconds, with the system's meaning: ReadInterval -1 (all bits
// set) with both read totals 0 makes a read return at once with what has arrived; a write of n
// bytes may take WriteTotalMultiplier * n + WriteTotalConstant ms; a total of 0 waits without limit.
class TComTimeouts : public TComPersistent {
public:
    using TComPersistent::TComPersistent;

    std::int32_t GetReadInterval() const { return FReadInterval; }
    void SetReadInterval(std::int32_t value) { Store(FReadInterval, value); }
    std::int32_t GetReadTotalMultiplier() const { return FReadTotalMultiplier; }
    void SetReadTotalMultiplier(std::int32_t value) { Store(FReadTotalMultiplier, value); }
    std::int32_t GetReadTotalConstant() const { return FReadTotalConstant; }
    void SetReadTotalConstant(std::int32_t value) { Store(FReadTotalConstant, value); }
    std::int32_t GetWriteTotalMultiplier() const { return FWriteTotalMultiplier; }
    void SetWriteTotalMultiplier(std::int32_t value) { Store(FWriteTotalMultiplier, value); }
    std::int32_t GetWriteTotalConstant() const { return FWriteTotalConstant; }
    void SetWriteTotalConstant(std::int32_t value) { Store(FWriteTotalConstant, value); }

    // Copies every field and applies once.
    void Assign(const TComTimeouts& source) {
        *this = source;
        Changed();
    }

private:
    std::int32_t FReadInterval = -1;
    std::int32_t FReadTotalMultiplier = 0;
    std::int32_t FReadTotalConstant = 0;
    std::int32_t FWriteTotalMultiplier = 100;
    std::int32_t FWriteTotalConstant = 1000;
};
