#pragma once

#include "device_link/ComPortTypes.h"
#include "device_link/LineCounters.h"
#include "device_link/ThreadPriority.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

// The event thread of an open port. It waits for line events on the device and hands each set
// of events to `dispatch`, which runs the hand-over of the port's sync method. What `dispatch`
// throws ends the thread. After a hang-up (the device went away) it delivers nothing more and
// waits, without using the processor, to be stopped. Once stopped it never touches the device.
class TComThread {
public:
    using TDispatch = std::function<void(TComEvents Events)>;

    struct TConfig {
        int Handle = -1;
        TComEvents Events;
        std::int32_t InputSize = 1024;
        TThreadPriority Priority = tpNormal;
    };

    TComThread(const TConfig& config, TDispatch dispatch);
    ~TComThread();
    TComThread(const TComThread&) = delete;
    TComThread& operator=(const TComThread&) = delete;

    // Asks the thread to end and wakes its wait.
    void Stop();
    bool StopRequested() const { return FStop.load(std::memory_order_acquire); }
    // Waits for the end while serving the thread's hand-overs (on the main thread).
    void Join();
    bool IsCurrent() const { return std::this_thread::get_id() == FThread.get_id(); }

    // Bytes were written: the thread watches for the output queue to become empty.
    void OutputQueued();
    // The 80 % mark follows the port's input size.
    void SetInputSize(std::int32_t size) { FInputSize.store(size, std::memory_order_release); }

private:
    void Run();
    bool WaitForDevice();
    int WaitTimeout() const;
    TComEvents Collect(bool bytesArrived);
    void CollectReceived(TComEvents& events) const;
    void CollectCounted(TComEvents& events);
    void Wake();

    const int FHandle;
    const TComEvents FEvents;
    const TThreadPriority FPriority;
    TDispatch FDispatch;
    std::atomic<std::int32_t> FInputSize;
    std::atomic<bool> FStop{false};
    std::atomic<bool> FOutputQueued{false};
    int FWakeEvent = -1;
    int FPoll = -1;

    // The thread's own state.
    bool FWatchingDevice = true;
    bool FWatchingOutput = false;
    TLineCounters FCounters;

    std::thread FThread;
};
