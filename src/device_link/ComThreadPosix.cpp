#include "device_link/ComThread.h"

#include "device_link/EComPort.h"
#include "device_link/MainThreadHandOver.h"
#include "device_link/SerialDevice.h"

#include <cerrno>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {
// While a write drains, the output queue is looked at this often for the empty event.
constexpr int OutputWatchMs = 5;
// Modem line changes leave only counts behind, which are looked at this often.
constexpr int ModemWatchMs = 50;

constexpr TComEvents ModemEvents = {evRing, evCTS, evDSR, evRLSD};

bool Changed(std::uint32_t before, std::uint32_t after) { return before != after; }
} // namespace

TComThread::TComThread(const TConfig& config, TDispatch dispatch)
    : FHandle(config.Handle), FEvents(config.Events), FPriority(config.Priority), FDispatch(std::move(dispatch)),
      FInputSize(config.InputSize) {
    FWakeEvent = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    FPoll = ::epoll_create1(EPOLL_CLOEXEC);
    if (FWakeEvent < 0 || FPoll < 0) {
        const int error = errno;
        ::close(FWakeEvent);
        ::close(FPoll);
        throw EComPort(ComError::OpenPort, error);
    }
    epoll_event wake{};
    wake.events = EPOLLIN;
    wake.data.fd = FWakeEvent;
    ::epoll_ctl(FPoll, EPOLL_CTL_ADD, FWakeEvent, &wake);
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
    ::close(FWakeEvent);
}

void TComThread::Stop() {
    FStop.store(true, std::memory_order_release);
    Wake();
}

void TComThread::Join() { TMainThreadHandOver::Instance().joinServing(FThread); }

void TComThread::OutputQueued() {
    FOutputQueued.store(true, std::memory_order_release);
    Wake();
}

void TComThread::Wake() { (void)::eventfd_write(FWakeEvent, 1); }

void TComThread::Run() {
    ApplyThreadPriority(CurrentThreadId(), FPriority);
    try {
        while (!StopRequested()) {
            const bool bytesArrived = WaitForDevice();
            if (StopRequested()) break;
            const TComEvents events = Collect(bytesArrived) & FEvents;
            if (!events.Empty()) FDispatch(events);
        }
    } catch (...) {
        // A failed dispatch ends the thread: the port stays open and delivers nothing more
        // until it is closed and opened again.
    }
}

// True when the device reported new bytes. A hang-up takes the device out of the wait for
// good, so the thread then sleeps until it is stopped.
bool TComThread::WaitForDevice() {
    epoll_event ready[2];
    const int count = ::epoll_wait(FPoll, ready, 2, WaitTimeout());
    if (count < 0 && errno != EINTR) throw EComPort(ComError::WaitForEvent, errno);
    bool arrived = false;
    for (int i = 0; i < count; ++i) {
        if (ready[i].data.fd == FWakeEvent) {
            eventfd_t ignored = 0;
            (void)::eventfd_read(FWakeEvent, &ignored);
        } else if ((ready[i].events & (EPOLLHUP | EPOLLERR)) != 0) {
            ::epoll_ctl(FPoll, EPOLL_CTL_DEL, FHandle, nullptr);
            FWatchingDevice = false;
            return false;
        } else {
            arrived = (ready[i].events & EPOLLIN) != 0;
        }
    }
    return arrived;
}

int TComThread::WaitTimeout() const {
    if (!FWatchingDevice) return -1;
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
