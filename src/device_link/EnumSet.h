#pragma once

#include <initializer_list>

// A set of enumeration values held as bits, bit n for the n-th value, as the stored layouts and
// the line events carry them (TComEvents is 16 bits, TComErrors 8).
template <typename TEnum, typename TBits> class TEnumSet {
public:
    constexpr TEnumSet() = default;
    constexpr TEnumSet(std::initializer_list<TEnum> values) {
        for (TEnum value : values) Include(value);
    }
    static constexpr TEnumSet FromBits(TBits bits) {
        TEnumSet set;
        set.FBits = bits;
        return set;
    }

    constexpr TBits Bits() const { return FBits; }
    constexpr bool Contains(TEnum value) const { return (FBits & Bit(value)) != 0; }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr void Include(TEnum value) { FBits = static_cast<TBits>(FBits | Bit(value)); }
    constexpr void Exclude(TEnum value) { FBits = static_cast<TBits>(FBits & ~Bit(value)); }

    constexpr TEnumSet operator&(TEnumSet other) const { return FromBits(static_cast<TBits>(FBits & other.FBits)); }
    constexpr TEnumSet operator|(TEnumSet other) const { return FromBits(static_cast<TBits>(FBits | other.FBits)); }
    friend constexpr bool operator==(TEnumSet, TEnumSet) = default;

private:
    static constexpr TBits Bit(TEnum value) { return static_cast<TBits>(1u << static_cast<unsigned>(value)); }

    TBits FBits = 0;
};
