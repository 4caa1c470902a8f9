#pragma once

#include "device_link/ComPersistent.h"

#include <cstdint>

// Sizes of the driver's input and output queues. Sizes are kept even: an odd positive size
// is stored less one.
class TComBuffer : public TComPersistent {
public:
    using TComPersistent::TComPersistent;

    std::int32_t GetInputSize() const { return FInputSize; }
    void SetInputSize(std::int32_t value) { Store(FInputSize, Even(value)); }
    std::int32_t GetOutputSize() const { return FOutputSize; }
    void SetOutputSize(std::int32_t value) { Store(FOutputSize, Even(value)); }

    // Copies every field and applies once.
    void Assign(const TComBuffer& source) {
        *this = source;
        Changed();
    }

private:
    static std::int32_t Even(std::int32_t value) { return value > 0 && value % 2 != 0 ? value - 1 : value; }

    std::int32_t FInputSize = 1024;
    std::int32_t FOutputSize = 1024;
};
