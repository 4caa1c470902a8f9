#include "device_link/WaitWithMessages.h"

#include "device_link/Component.h"
#include "device_link/MainThreadHandOver.h"
#include "device_link/ManualClock.h"
#include "device_link/TickClock.h"
#include "device_link/VirtualTime.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <thread>
#include <utility>
#include <vector>

namespace {
// Main thread only, like every wait.
struct TWaitState {
    std::int32_t Depth = 0;
    bool Aborted = false;
    std::int32_t PendingDestructions = 0;
    QEventLoop* InnermostLoop = nullptr;
    std::vector<std::function<void()>> Deferred;
    bool RunPosted = false;
    bool QuitHooked = false;
};

TWaitState& State() {
    static TWaitState state;
    return state;
}

bool WaitsMustEnd() { return State().Aborted || State().PendingDestructions > 0; }

void EndInnermostLoop() {
    if (State().InnermostLoop != nullptr) State().InnermostLoop->quit();
}

bool NothingOnTheStack() { return State().Depth == 0 && !TMainThreadHandOver::Instance().IsRunningCall(); }

void PostDeferredRun();

void RunDeferred() {
    State().RunPosted = false;
    while (NothingOnTheStack() && !State().Deferred.empty()) {
        std::function<void()> fn = std::move(State().Deferred.front());
        State().Deferred.erase(State().Deferred.begin());
        fn();
    }
    // Still under a worker's call: try again once it has returned (an event loop of its own, a
    // message box, would otherwise run this again and again meanwhile).
    if (State().Depth == 0) TMainThreadHandOver::Instance().AfterRunningCalls(PostDeferredRun);
}

// The event loop runs what was deferred once the callers of the outermost wait have returned to
// it; the application's quit runs what the loop no longer got to.
void PostDeferredRun() {
    TWaitState& state = State();
    if (state.Deferred.empty() || state.RunPosted) return;
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr) {
        RunDeferred();
        return;
    }
    if (!state.QuitHooked) {
        state.QuitHooked = true;
        QObject::connect(application, &QCoreApplication::aboutToQuit, application, RunDeferred);
    }
    state.RunPosted = true;
    QMetaObject::invokeMethod(application, RunDeferred, Qt::QueuedConnection);
}

void ProcessPending() {
    if (QCoreApplication::instance() != nullptr) QCoreApplication::processEvents();
    TMainThreadHandOver::Instance().serve();
}

// Runs the event loop (which also serves hand-overs through their queued events) for `ms`. A
// loop that ends before its time without AbortWaits was ended by the application's quit.
void ProcessFor(std::uint32_t ms) {
    if (QCoreApplication::instance() == nullptr) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        return;
    }
    QEventLoop loop;
    bool timeUp = false;
    QTimer::singleShot(std::chrono::milliseconds(ms), Qt::PreciseTimer, &loop, [&] {
        timeUp = true;
        loop.quit();
    });
    QEventLoop* const outer = std::exchange(State().InnermostLoop, &loop);
    loop.exec();
    State().InnermostLoop = outer;
    if (!timeUp && !WaitsMustEnd()) State().Aborted = true;
    // The wait this one ran inside must end too, and its loop runs on once our caller returns.
    if (WaitsMustEnd()) EndInnermostLoop();
}

bool WaitIsOver(std::uint32_t start, std::uint32_t now, std::uint32_t Ms) {
    return WaitsMustEnd() || now < start || TickElapsed(start, now) >= Ms;
}

void WaitFor(std::uint32_t Ms) {
    const std::uint32_t start = TickCount();
    ProcessPending();
    if (TVirtualTime* time = TVirtualTime::Installed()) {
        time->PassUntil(time->WakeUpTime(time->Elapsed() + std::chrono::milliseconds(Ms)));
        return;
    }
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

struct TWaitScope {
    TWaitScope() { ++State().Depth; }
    ~TWaitScope() {
        if (--State().Depth == 0) PostDeferredRun();
    }
    TWaitScope(const TWaitScope&) = delete;
    TWaitScope& operator=(const TWaitScope&) = delete;
};
} // namespace

void WaitWithMessages(std::uint32_t Ms) {
    if (WaitsMustEnd()) return;
    const TWaitScope scope;
    WaitFor(Ms);
}

std::int32_t WaitDepth() { return State().Depth; }

void RunAfterWaits(std::function<void()> fn) {
    if (NothingOnTheStack() && State().Deferred.empty()) {
        fn();
        return;
    }
    State().Deferred.push_back(std::move(fn));
    if (State().Depth == 0) PostDeferredRun();
}

void AbortWaits() {
    State().Aborted = true;
    EndInnermostLoop();
}

bool WaitsAborted() { return State().Aborted; }

void DestroyAfterWaits(std::unique_ptr<TComponent> component) {
    if (component == nullptr) return;
    component->BeginDestruction();
    ++State().PendingDestructions;
    EndInnermostLoop();
    RunAfterWaits([doomed = std::shared_ptr<TComponent>(std::move(component))]() mutable {
        doomed.reset();
        --State().PendingDestructions;
    });
}
