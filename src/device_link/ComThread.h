#pragma once

#include "device_link/ComPortTypes.h"
#include "device_link/LineCounters.h"
#include "device_link/ThreadPriority.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

// The event thread of an open port. It waits for line events on the device and hands each set
// of events to `dispatch`: on the main thread, looking at the line again only once that dispatch
// has ended, or itself (where `dispatch` runs the port's own hand-over). What `dispatch` throws
// ends the thread. A hang-up (the device went away) is handed over once, as an empty set; after
// it the thread delivers nothing more and waits, without using the processor, to be stopped. Once stopped it never touches the device.
class TComThread {
public:
    using TDispatch = std::function<void(TComEvents Events)>;

    struct TConfig {
        int Handle = -1;
        TComEvents Events;
        std::int32_t InputSize = 1024;
        TThreadPriority Priority = tpNormal;
        // smThreadSync: each set is dispatched on the main thread while the line waits.
        bool DispatchOnMainThread = false;
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
    // What a dispatch handed to the main thread shares with the thread, which it may outlive.
    struct TShared;

    void Run();
    void HandOver(TComEvents events);
    // False while the dispatch handed over last still runs: the thread is then woken at its end.
    // Rethrows what that dispatch threw.
    bool DispatchEnded();
    bool WaitForDevice();
    int WaitTimeout() const;
    TComEvents Collect(bool bytesArrived);
    void CollectReceived(TComEvents& events) const;
    void CollectCounted(TComEvents& events);
    void Wake();

    const int FHandle;
    const TComEvents FEvents;
    const TThreadPriority FPriority;
    const bool FDispatchOnMainThread;
    std::shared_ptr<TShared> FShared;
    std::atomic<std::int32_t> FInputSize;
    std::atomic<bool> FStop{false};
    std::atomic<bool> FOutputQueued{false};
    int FPoll = -1;

    // The thread's own state.
    bool FWatchingDevice = true;
    // Bytes came while a dispatch still ran: they are looked at once it has ended.
    bool FBytesArrived = false;
    bool FHangUpToTell = false;
    bool FWatchingOutput = false;
    TLineCounters FCounters;

    std::thread FThread;
};
