// Console keys and orientation.
#include "device/KelvoDevice.h"

void TKelvoDevice::SetKeyRepeatInterval(std::int32_t Value) {
    FKeyRepeatInterval = Value;
    FKeyRepeatTimer->SetInterval(Value);
}

void TKelvoDevice::SetEnterKeyMessage(std::uint32_t Value) { FEnterKeyMessage = Value; }

void TKelvoDevice::ConsoleKeyDown(TConsoleKey Key) {
    if (FConsoleKeysEnabled) Raise(OnConsoleKeyDown, this, Key);
}

void TKelvoDevice::KeyRepeatTick(TComponent*) {
    if (!IsDestroying()) FKeyRepeatTimer->SetEnabled(false);
}
