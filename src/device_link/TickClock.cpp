#include "device_link/TickClock.h"

#include <atomic>
#include <chrono>

namespace {
std::atomic<TTickSource*> Installed{nullptr};

std::uint32_t SystemTickCount() {
    const auto sinceBoot = std::chrono::steady_clock::now().time_since_epoch();
    // Truncation to 32 bits is the wrap of the counter.
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(sinceBoot).count());
}
} // namespace

std::uint32_t TickCount() {
    const TTickSource* source = Installed.load(std::memory_order_acquire);
    return source != nullptr ? source->Now() : SystemTickCount();
}

TTickSource* InstallTickSource(TTickSource* source) { return Installed.exchange(source, std::memory_order_acq_rel); }

TTickSource* InstalledTickSource() { return Installed.load(std::memory_order_acquire); }
