#pragma once

#include "device_link/WaitWithMessages.h"

#include <chrono>
#include <functional>

// Serves the main thread (Qt events and hand-overs) until `done` holds or `limit` passed; the
// limit only guards against a hang, the wait ends as soon as the awaited event has run.
inline bool ServeUntil(const std::function<bool()>& done,
                       std::chrono::milliseconds limit = std::chrono::milliseconds(3000)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        WaitWithMessages(2);
    }
    return true;
}
