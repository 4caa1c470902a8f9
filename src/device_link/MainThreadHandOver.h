#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// Thrown by call() in a worker whose owner was destroyed while the worker's call ran: the
// worker must end at once, touching nothing of its owner.
struct TWorkerAbandoned {};

// The one way work crosses from a worker thread (a port's event thread, a timer's thread) to the
// main thread, the thread that created QCoreApplication. Workers only wait and hand calls over;
// all logic runs on the main thread. There is one per process.
class TMainThreadHandOver {
public:
    static TMainThreadHandOver& Instance();

    TMainThreadHandOver(const TMainThreadHandOver&) = delete;
    TMainThreadHandOver& operator=(const TMainThreadHandOver&) = delete;

    // Worker side: runs `fn` on the main thread and blocks until it has run; an exception that
    // `fn` threw is rethrown here, TWorkerAbandoned when the worker was given up meanwhile.
    // Called on the main thread, it simply runs `fn`.
    void call(std::function<void()> fn);
    // Worker side: queues `fn` for the main thread and returns at once. What `fn` throws goes
    // to the application's error display.
    void post(std::function<void()> fn);

    // Main side: runs every queued call, also those queued while it runs. The Qt event loop
    // drives it through a queued event; WaitWithMessages and joinServing drive it too.
    void serve();
    // Main side: waits until `worker` has ended, serving the calls it queues meanwhile, so that
    // a worker blocked in call() can finish. Afterwards `worker` is joined.
    // A worker whose own call runs further down this stack (its owner is destroyed from inside
    // its own tick or dispatch) cannot end before that call returns: it is given up instead
    // (its call() throws TWorkerAbandoned) and joined as soon as that call has returned.
    void joinServing(std::thread& worker);

    // The thread of QCoreApplication; without one, the thread that first used the hand-over.
    bool IsMainThread() const;
    // Whether a worker's call is running on the main thread now (main thread only).
    bool IsRunningCall() const { return !FRunning.empty(); }
    // Runs `fn` once no worker's call is running any more: at once, or when the outermost one
    // has returned (main thread only).
    void AfterRunningCalls(std::function<void()> fn);

private:
    struct TRequest {
        std::function<void()> Fn;
        std::thread::id Worker;
        bool Waiting = false;
        bool Done = false;
        bool Abandoned = false;
        std::exception_ptr Error;
    };

    TMainThreadHandOver();
    void Enqueue(const std::shared_ptr<TRequest>& request);
    std::shared_ptr<TRequest> TakeRequest();
    void Run(TRequest& request);
    void Complete(TRequest& request, std::exception_ptr error);
    void WakeMainThreadLocked();
    // Under FMutex.
    std::deque<std::shared_ptr<TRequest>>::iterator QueuedCallOf(std::thread::id worker);
    bool AbandonIfRunning(std::thread& worker);
    void JoinAbandoned(std::thread::id worker);

    const std::thread::id FMainThread;
    std::mutex FMutex;
    std::condition_variable FChanged;
    std::deque<std::shared_ptr<TRequest>> FQueue;
    bool FWakePending = false;
    // Main thread only: the calls running now, innermost last, the workers given up, and what
    // runs once the outermost call has returned.
    std::vector<TRequest*> FRunning;
    std::vector<std::thread> FAbandoned;
    std::vector<std::function<void()>> FAfterCalls;
};
