#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

// The speed, cadence and heart windows: a new value moves every entry one place towards index 0
// (the oldest falls out) and goes into the last place.
template <typename Value> void ShiftIn(std::vector<Value>& window, Value value) {
    if (window.empty()) return;
    std::rotate(window.begin(), window.begin() + 1, window.end());
    window.back() = value;
}

// Keeps the newest entries: a grown window gets its new zeros at the oldest end, so it warms up
// like a fresh one instead of averaging zeros in as the newest values; a shrunk one drops its
// oldest entries. A window always keeps one entry at least, since the newest value goes into its
// last place.
template <typename Value> void ResizeWindow(std::vector<Value>& window, std::int32_t length) {
    const auto wanted = static_cast<std::size_t>(std::max<std::int32_t>(length, 1));
    if (wanted > window.size()) window.insert(window.begin(), wanted - window.size(), Value{});
    else window.erase(window.begin(), window.begin() + static_cast<std::ptrdiff_t>(window.size() - wanted));
}
