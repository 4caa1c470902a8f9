#include "device_link/ComThread.h"

#include "device_link/EComPort.h"
#include "device_link/MainThreadHandOver.h"
#include "device_link/SerialDevice.h"

#include <cerrno>
#include <exception>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <utility>

namespace {
// While a write drains, the output queue is looked at this often for the empty event.
constexpr int OutputWatchMs = 5;
// Modem line changes leave only counts behind, which are looked at this often.
constexpr int ModemWatchMs = 50;

constexpr TComEvents ModemEvents = {evRing, evCTS, evDSR, evRLSD};

bool Changed(std::uint32_t before, std::uint32_t after) { return before != after; }

// Where the dispatch handed to the main thread last stands.
enum TDispatchPhase : int { dpEnded, dpRunning, dpAwaited };
} // namespace

// A dispatch queued for the main thread holds this, so the wake event stays valid for it even
// when the port was closed meanwhile.
struct TComThread::TShared {
    TDispatch Dispatch;
    int WakeEvent = -1;
    std::atomic<int> Phase{dpEnded};
    // Written on the main thread before the phase becomes dpEnded.
    std::exception_ptr Failure;

    TShared(TDispatch dispatch, int wakeEvent) : Dispatch(std::move(dispatch)), WakeEvent(wakeEvent) {}
    ~TShared() { ::close(WakeEvent); }
    TShared(const TShared&) = delete;
    TShared& operator=(const TShared&) = delete;

    void Wake() const { (void)::eventfd_write(WakeEvent, 1); }

    // On the main thread. The thread is woken only when it found the dispatch running: at the
    // line's full rate the next bytes come long after the dispatch's end, and they wake it anyway.
    void RunDispatch(TComEvents events) {
        try {
            Dispatch(events);
        } catch (...) {
            Failure = std::current_exception();
        }
        if (Phase.exchange(dpEnded, std::memory_order_acq_rel) == dpAwaited) Wake();
    }
};

TComThread::TComThread(const TConfig& config, TDispatch dispatch)
    : FHandle(config.Handle), FEvents(config.Events), FPriority(config.Priority),
      FDispatchOnMainThread(config.DispatchOnMainThread), FInputSize(config.InputSize) {
    const int wakeEvent = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    FPoll = ::epoll_create1(EPOLL_CLOEXEC);
    if (wakeEvent < 0 || FPoll < 0) {
        const int error = errno;
        ::close(wakeEvent);
        ::close(FPoll);
        throw EComPort(ComError::OpenPort, error);
    }
    FShared = std::make_shared<TShared>(std::move(dispatch), wakeEvent);
    epoll_event wake{};
    wake.events = EPOLLIN;
    wake.data.fd = wakeEvent;
    ::epoll_ctl(FPoll, EPOLL_CTL_ADD, wakeEvent, &wake);
    // Edge-triggered: bytes that stay unread raise no second event until more bytes arrive.
    epoll_event device{};
    device.events = EPOLLIN | EPOLLET;
    device.data.fd = FHandle;
    FWatchingDevice = ::epoll_ctl(FPoll, EPOLL_CTL_ADD, FHandle, &device) == 0;
    FCounters = TSerialDevice::Counters(FHandle);
    FThread = std::thread([this] { Run(); });
}

TComThread::~TComThread() {
    Stop();
    Join();
    ::close(FPoll);
}

void TComThread::Stop() {
    FStop.store(true, std::memory_order_release);
    Wake();
}

void TComThread::Join() { TMainThreadHandOver::Instance().joinServing(FThread); }

void TComThread::OutputQueued() {
    if (!FEvents.Contains(evTxEmpty)) return;
    FOutputQueued.store(true, std::memory_order_release);
    Wake();
}

void TComThread::Wake() { FShared->Wake(); }

void TComThread::Run() {
    ApplyThreadPriority(CurrentThreadId(), FPriority);
    try {
        while (!StopRequested()) {
            if (WaitForDevice()) FBytesArrived = true;
            // The dispatch may have closed the port: the stop is looked at after its end.
            if (!DispatchEnded() || StopRequested()) continue;
            const TComEvents events = Collect(std::exchange(FBytesArrived, false)) & FEvents;
            if (!events.Empty() || std::exchange(FHangUpToTell, false)) HandOver(events);
        }
    } catch (...) {
        // A failed dispatch ends the thread: the port stays open and delivers nothing more
        // until it is closed and opened again.
    }
}

// The line waits for the dispatch's end in the thread's own wait for the device, so a frame
// costs one wake-up of this thread and one of the main thread.
void TComThread::HandOver(TComEvents events) {
    if (!FDispatchOnMainThread) {
        FShared->Dispatch(events);
        return;
    }
    FShared->Phase.store(dpRunning, std::memory_order_relaxed);
    TMainThreadHandOver::Instance().post([shared = FShared, events] { shared->RunDispatch(events); });
}

bool TComThread::DispatchEnded() {
    int phase = dpRunning;
    if (FShared->Phase.compare_exchange_strong(phase, dpAwaited, std::memory_order_acq_rel,
                                               std::memory_order_acquire) ||
        phase == dpAwaited)
        return false;
    if (FShared->Failure) std::rethrow_exception(std::exchange(FShared->Failure, nullptr));
    return true;
}

// True when the device reported new bytes. A hang-up takes the device out of the wait for
// good, so the thread then sleeps until it is stopped.
bool TComThread::WaitForDevice() {
    epoll_event ready[2];
    const int count = ::epoll_wait(FPoll, ready, 2, WaitTimeout());
    if (count < 0 && errno != EINTR) throw EComPort(ComError::WaitForEvent, errno);
    bool arrived = false;
    for (int i = 0; i < count; ++i) {
        if (ready[i].data.fd == FShared->WakeEvent) {
            eventfd_t ignored = 0;
            (void)::eventfd_read(FShared->WakeEvent, &ignored);
        } else if ((ready[i].events & (EPOLLHUP | EPOLLERR)) != 0) {
            ::epoll_ctl(FPoll, EPOLL_CTL_DEL, FHandle, nullptr);
            FWatchingDevice = false;
            FHangUpToTell = true;
            return false;
        } else {
            arrived = (ready[i].events & EPOLLIN) != 0;
        }
    }
    return arrived;
}

int TComThread::WaitTimeout() const {
    // Nothing is looked at before the running dispatch's end, which wakes an awaiting thread.
    if (!FWatchingDevice || FShared->Phase.load(std::memory_order_relaxed) == dpAwaited) return -1;
    if (FWatchingOutput || FOutputQueued.load(std::memory_order_acquire)) return OutputWatchMs;
    if (FCounters.Supported && !(FEvents & ModemEvents).Empty()) return ModemWatchMs;
    return -1;
}

TComEvents TComThread::Collect(bool bytesArrived) {
    TComEvents events;
    if (!FWatchingDevice) return events;
    if (FOutputQueued.exchange(false, std::memory_order_acq_rel) && FEvents.Contains(evTxEmpty))
        FWatchingOutput = true;
    if (bytesArrived) CollectReceived(events);
    if (FWatchingOutput && TSerialDevice::OutputCount(FHandle) == 0) {
        events.Include(evTxEmpty);
        FWatchingOutput = false;
    }
    if (FCounters.Supported) CollectCounted(events);
    return events;
}

void TComThread::CollectReceived(TComEvents& events) const {
    const int waiting = TSerialDevice::InputCount(FHandle);
    if (waiting > 0) events.Include(evRxChar);
    const std::int64_t size = FInputSize.load(std::memory_order_acquire);
    if (size > 0 && static_cast<std::int64_t>(waiting) * 10 >= size * 8) events.Include(evRx80Full);
}

void TComThread::CollectCounted(TComEvents& events) {
    const TLineCounters now = TSerialDevice::Counters(FHandle);
    TComErrors errors = ErrorsBetween(FCounters, now, true);
    if (errors.Contains(leBreak)) events.Include(evBreak);
    errors.Exclude(leBreak);
    if (!errors.Empty()) events.Include(evError);
    if (Changed(FCounters.Ring, now.Ring)) events.Include(evRing);
    if (Changed(FCounters.CTS, now.CTS)) events.Include(evCTS);
    if (Changed(FCounters.DSR, now.DSR)) events.Include(evDSR);
    if (Changed(FCounters.RLSD, now.RLSD)) events.Include(evRLSD);
    FCounters = now;
}
