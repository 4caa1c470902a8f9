#pragma once

#include <functional>
#include <utility>

// Base of the settings objects a port owns (parity, flow control, buffer, time-outs): a real
// change of a field tells the owner, which applies it to the device. A copy carries the values
// only, never the owner, so a standalone object can be filled and assigned to a port whole.
class TComPersistent {
public:
    using TChanged = std::function<void()>;

    TComPersistent() = default;
    explicit TComPersistent(TChanged onChange) : FOnChange(std::move(onChange)) {}
    TComPersistent(const TComPersistent&) {}
    TComPersistent& operator=(const TComPersistent&) { return *this; }
    virtual ~TComPersistent() = default;

protected:
    template <typename T> void Store(T& field, const T& value) {
        if (field == value) return;
        field = value;
        Changed();
    }
    void Changed() const {
        if (FOnChange) FOnChange();
    }

private:
    TChanged FOnChange;
};
