#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

// The speed, cadence and heart windows: a new value moves every entry one place towards index 0
// (the oldest falls out) and goes into the last place.
template <typename Value> void ShiftIn(std::vector<Value>& window, Value value) {
    if (window.empty()) return;
    std::rotate(window.begin(), window.begin() + 1, window.end());
    window.back() = value;
}

// Keeps the entries and fills new ones with 0. A window always keeps one entry at least, since
// the newest value goes into its last place.
template <typename Value> void ResizeWindow(std::vector<Value>& window, std::int32_t length) {
    window.resize(static_cast<std::size_t>(std::max<std::int32_t>(length, 1)), Value{});
}
