// Console keys and orientation.
#include "device/KelvoDevice.h"

#include "device/ApplicationMessageEvent.h"
#include "device_link/TickClock.h"

#include <QCoreApplication>

bool TKelvoDevice::KeyHandlerBusy = false;
std::uint32_t TKelvoDevice::LastKeyTick = 0;

namespace {
// Holds the program-wide key flag for one key, and frees it however the key's handling ends.
class TKeyHandlerScope {
public:
    explicit TKeyHandlerScope(bool& busy) : FBusy(busy) { FBusy = true; }
    ~TKeyHandlerScope() { FBusy = false; }
    TKeyHandlerScope(const TKeyHandlerScope&) = delete;
    TKeyHandlerScope& operator=(const TKeyHandlerScope&) = delete;

private:
    bool& FBusy;
};
} // namespace

void TKelvoDevice::SetKeyRepeatInterval(std::int32_t Value) {
    FKeyRepeatInterval = Value;
    FKeyRepeatTimer->SetInterval(static_cast<std::uint32_t>(Value));
}

void TKelvoDevice::SetEnterKeyMessage(std::uint32_t Value) {
    if (Value != FEnterKeyMessage) FEnterKeyMessage = Value;
}

void TKelvoDevice::ConsoleKeyDown(TConsoleKey Key) {
    // Without a handler nobody listens: the repeat state is left as it is.
    if (IsDestroying() || !OnConsoleKeyDown || KeyHandlerBusy) return;
    TKeyHandlerScope busy(KeyHandlerBusy);
    if (Key != FLastConsoleKey) FKeyRepeatTimer->SetEnabled(false);
    // The same key still held within the repeat delay.
    if (FKeyRepeatTimer->GetEnabled()) return;
    FLastConsoleKey = Key;
    FKeyRepeatTimer->SetEnabled(true);
    if (FConsoleKeysEnabled) DeliverConsoleKey(Key);
}

void TKelvoDevice::DeliverConsoleKey(TConsoleKey Key) {
    const std::uint32_t now = TickCount();
    if (LastKeyTick == 0) {
        LastKeyTick = now;
        Raise(OnConsoleKeyDown, this, Key);
        return;
    }
    const auto elapsed = static_cast<std::int32_t>(now - LastKeyTick);
    if (elapsed < 0 || elapsed < static_cast<std::int64_t>(FKeyRepeatTimer->GetInterval())) return;
    LastKeyTick = now;
    // A repeated enter goes to the application, which handles it outside the key handler.
    if (Key == ckEnter) PostEnterKeyMessage();
    else Raise(OnConsoleKeyDown, this, Key);
}

void TKelvoDevice::PostEnterKeyMessage() {
    if (QCoreApplication* application = QCoreApplication::instance())
        QCoreApplication::postEvent(application, new TApplicationMessageEvent(FEnterKeyMessage));
}

void TKelvoDevice::KeyRepeatTick(TComponent*) {
    if (!IsDestroying()) FKeyRepeatTimer->SetEnabled(false);
}
