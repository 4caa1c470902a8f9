#include "device_link/ManualClock.h"

TManualClock::TManualClock(std::uint32_t start) : FNow(start), FPrevious(InstallTickSource(this)) {}

TManualClock::~TManualClock() { InstallTickSource(FPrevious); }

TManualClock* TManualClock::Installed() { return dynamic_cast<TManualClock*>(InstalledTickSource()); }
