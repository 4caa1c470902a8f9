#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

// The one way work crosses from a worker thread (a port's event thread, a timer's thread) to the
// main thread, the thread that created QCoreApplication. Workers only wait and hand calls over;
// all logic runs on the main thread. There is one per process.
class TMainThreadHandOver {
public:
    static TMainThreadHandOver& Instance();

    TMainThreadHandOver(const TMainThreadHandOver&) = delete;
    TMainThreadHandOver& operator=(const TMainThreadHandOver&) = delete;

    // Worker side: runs `fn` on the main thread and blocks until it has run; an exception that
    // `fn` threw is rethrown here. Called on the main thread, it simply runs `fn`.
    void call(std::function<void()> fn);
    // Worker side: queues `fn` for the main thread and returns at once. What `fn` throws goes
    // to the application's error display.
    void post(std::function<void()> fn);

    // Main side: runs every queued call, also those queued while it runs. The Qt event loop
    // drives it through a queued event; WaitWithMessages and joinServing drive it too.
    void serve();
    // Main side: waits until `worker` has ended, serving the calls it (or any worker) queues
    // meanwhile, so that a worker blocked in call() can finish. Afterwards `worker` is joined.
    void joinServing(std::thread& worker);

    // The thread of QCoreApplication; without one, the thread that first used the hand-over.
    bool IsMainThread() const;
    // Whether a worker's call is running on the main thread now (main thread only).
    bool IsRunningCall() const { return FRunningCalls > 0; }

private:
    struct TRequest {
        std::function<void()> Fn;
        bool Waiting = false;
        bool Done = false;
        std::exception_ptr Error;
    };

    TMainThreadHandOver();
    void Enqueue(const std::shared_ptr<TRequest>& request);
    std::shared_ptr<TRequest> TakeRequest();
    void Run(TRequest& request);
    void WakeMainThreadLocked();

    const std::thread::id FMainThread;
    std::mutex FMutex;
    std::condition_variable FChanged;
    std::deque<std::shared_ptr<TRequest>> FQueue;
    bool FWakePending = false;
    int FRunningCalls = 0;
};
