#include "device_link/WaitWithMessages.h"

#include "device_link/MainThreadHandOver.h"
#include "device_link/ManualClock.h"
#include "device_link/TickClock.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <thread>

namespace {
void ProcessPending() {
    if (QCoreApplication::instance() != nullptr) QCoreApplication::processEvents();
    TMainThreadHandOver::Instance().serve();
}

// Runs the event loop (which also serves hand-overs through their queued events) for `ms`.
void ProcessFor(std::uint32_t ms) {
    if (QCoreApplication::instance() == nullptr) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(std::chrono::milliseconds(ms), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

bool WaitIsOver(std::uint32_t start, std::uint32_t now, std::uint32_t Ms) {
    return now < start || TickElapsed(start, now) >= Ms;
}
} // namespace

void WaitWithMessages(std::uint32_t Ms) {
    const std::uint32_t start = TickCount();
    ProcessPending();
    if (TManualClock* manual = TManualClock::Installed()) {
        const std::uint32_t now = manual->Now();
        if (!WaitIsOver(start, now, Ms)) manual->Advance(Ms - TickElapsed(start, now));
        return;
    }
    for (std::uint32_t now = TickCount(); !WaitIsOver(start, now, Ms); now = TickCount()) {
        ProcessFor(Ms - TickElapsed(start, now));
        ProcessPending();
    }
}
