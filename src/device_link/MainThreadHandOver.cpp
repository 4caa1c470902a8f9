#include "device_link/MainThreadHandOver.h"

#include "device_link/ApplicationError.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <algorithm>
#include <utility>

TMainThreadHandOver& TMainThreadHandOver::Instance() {
    static TMainThreadHandOver instance;
    return instance;
}

TMainThreadHandOver::TMainThreadHandOver() : FMainThread(std::this_thread::get_id()) {}

bool TMainThreadHandOver::IsMainThread() const {
    if (const QCoreApplication* application = QCoreApplication::instance())
        return application->thread() == QThread::currentThread();
    return std::this_thread::get_id() == FMainThread;
}

void TMainThreadHandOver::call(std::function<void()> fn) {
    if (IsMainThread()) {
        fn();
        return;
    }
    auto request = std::make_shared<TRequest>();
    request->Fn = std::move(fn);
    request->Worker = std::this_thread::get_id();
    request->Waiting = true;
    Enqueue(request);
    // The failure changes hands under the lock: from then on only this thread owns it, so the
    // exception is freed where it was last used, whichever thread drops the request last.
    std::exception_ptr error;
    bool abandoned = false;
    {
        std::unique_lock lock(FMutex);
        FChanged.wait(lock, [&] { return request->Done; });
        error = std::move(request->Error);
        abandoned = request->Abandoned;
    }
    if (abandoned) throw TWorkerAbandoned{};
    if (error) std::rethrow_exception(error);
}

void TMainThreadHandOver::post(std::function<void()> fn) {
    auto request = std::make_shared<TRequest>();
    request->Fn = std::move(fn);
    request->Worker = std::this_thread::get_id();
    Enqueue(request);
}

void TMainThreadHandOver::Enqueue(const std::shared_ptr<TRequest>& request) {
    std::lock_guard lock(FMutex);
    FQueue.push_back(request);
    WakeMainThreadLocked();
    FChanged.notify_all();
}

// Posted while the lock is held, so that the main thread's serve() (which takes the lock before
// anything else) is ordered after the creation of the event for the thread sanitizer too.
void TMainThreadHandOver::WakeMainThreadLocked() {
    QCoreApplication* application = QCoreApplication::instance();
    if (FWakePending || application == nullptr) return;
    FWakePending = true;
    QMetaObject::invokeMethod(
        application, [] { TMainThreadHandOver::Instance().serve(); }, Qt::QueuedConnection);
}

std::shared_ptr<TMainThreadHandOver::TRequest> TMainThreadHandOver::TakeRequest() {
    std::lock_guard lock(FMutex);
    FWakePending = false;
    if (FQueue.empty()) return nullptr;
    std::shared_ptr<TRequest> request = std::move(FQueue.front());
    FQueue.pop_front();
    return request;
}

void TMainThreadHandOver::serve() {
    while (const std::shared_ptr<TRequest> request = TakeRequest()) Run(*request);
}

void TMainThreadHandOver::Run(TRequest& request) {
    std::exception_ptr error;
    FRunning.push_back(&request);
    try {
        request.Fn();
    } catch (...) {
        error = std::current_exception();
    }
    FRunning.pop_back();
    Complete(request, std::move(error));
    // Once the worker has its answer.
    if (FRunning.empty()) {
        for (const std::function<void()>& after : std::exchange(FAfterCalls, {})) after();
    }
}

void TMainThreadHandOver::Complete(TRequest& request, std::exception_ptr error) {
    if (!request.Waiting) {
        ShowApplicationError(error);
        return;
    }
    bool abandoned = false;
    {
        std::lock_guard lock(FMutex);
        request.Error = std::move(error);
        request.Done = true;
        abandoned = request.Abandoned;
    }
    FChanged.notify_all();
    if (abandoned) JoinAbandoned(request.Worker);
}

void TMainThreadHandOver::AfterRunningCalls(std::function<void()> fn) {
    if (IsRunningCall()) {
        FAfterCalls.push_back(std::move(fn));
    } else {
        fn();
    }
}

std::deque<std::shared_ptr<TMainThreadHandOver::TRequest>>::iterator
TMainThreadHandOver::QueuedCallOf(std::thread::id worker) {
    return std::find_if(FQueue.begin(), FQueue.end(),
                        [&](const std::shared_ptr<TRequest>& request) { return request->Worker == worker; });
}

bool TMainThreadHandOver::AbandonIfRunning(std::thread& worker) {
    const auto running = std::find_if(FRunning.begin(), FRunning.end(),
                                      [&](const TRequest* request) {
                                          // Only a call blocks its worker; a post's worker goes on.
                                          return request->Waiting && request->Worker == worker.get_id();
                                      });
    if (running == FRunning.end()) return false;
    {
        std::lock_guard lock(FMutex);
        (*running)->Abandoned = true;
    }
    FAbandoned.push_back(std::move(worker));
    return true;
}

// The worker leaves at once once its call has returned, so this join is short.
void TMainThreadHandOver::JoinAbandoned(std::thread::id worker) {
    const auto abandoned = std::find_if(FAbandoned.begin(), FAbandoned.end(),
                                        [&](const std::thread& thread) { return thread.get_id() == worker; });
    if (abandoned == FAbandoned.end()) return;
    abandoned->join();
    FAbandoned.erase(abandoned);
}

void TMainThreadHandOver::joinServing(std::thread& worker) {
    if (!worker.joinable()) return;
    if (IsMainThread()) {
        if (AbandonIfRunning(worker)) return;
        // Only the worker's own calls: another worker's (a timer tick that closes the same port)
        // would run a nested close or destruction; it waits until this join is over. The id is
        // taken before the helper's join forgets it.
        const std::thread::id id = worker.get_id();
        // A helper joins, so that the main thread can keep serving until the worker has ended.
        bool ended = false;
        std::thread joiner([&] {
            worker.join();
            std::lock_guard lock(FMutex);
            ended = true;
            FChanged.notify_all();
        });
        for (;;) {
            std::shared_ptr<TRequest> request;
            {
                std::unique_lock lock(FMutex);
                FChanged.wait(lock, [&] { return ended || QueuedCallOf(id) != FQueue.end(); });
                const auto queued = QueuedCallOf(id);
                if (queued == FQueue.end()) break;
                request = std::move(*queued);
                FQueue.erase(queued);
            }
            Run(*request);
        }
        joiner.join();
    } else {
        worker.join();
    }
}
