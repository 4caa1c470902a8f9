#pragma once

#include "device_link/ComPersistent.h"
#include "device_link/ComPortTypes.h"

#include <cstdint>

// Parity of the line: the parity bit, whether received bytes are checked, and the replacement
// of bytes that fail the check.
class TComParity : public TComPersistent {
public:
    using TComPersistent::TComPersistent;

    TParityBits GetBits() const { return FBits; }
    void SetBits(TParityBits value) { Store(FBits, value); }
    bool GetCheck() const { return FCheck; }
    void SetCheck(bool value) { Store(FCheck, value); }
    bool GetReplace() const { return FReplace; }
    void SetReplace(bool value) { Store(FReplace, value); }
    std::uint8_t GetReplaceChar() const { return FReplaceChar; }
    void SetReplaceChar(std::uint8_t value) { Store(FReplaceChar, value); }

    // Copies every field and applies once.
    void Assign(const TComParity& source) {
        *this = source;
        Changed();
    }

private:
    TParityBits FBits = prNone;
    bool FCheck = false;
    bool FReplace = false;
    std::uint8_t FReplaceChar = 0;
};
