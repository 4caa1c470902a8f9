#include "device_link/MainThreadHandOver.h"

#include "device_link/ApplicationError.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

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
    request->Waiting = true;
    Enqueue(request);
    // The failure changes hands under the lock: from then on only this thread owns it, so the
    // exception is freed where it was last used, whichever thread drops the request last.
    std::exception_ptr error;
    {
        std::unique_lock lock(FMutex);
        FChanged.wait(lock, [&] { return request->Done; });
        error = std::move(request->Error);
    }
    if (error) std::rethrow_exception(error);
}

void TMainThreadHandOver::post(std::function<void()> fn) {
    auto request = std::make_shared<TRequest>();
    request->Fn = std::move(fn);
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
    ++FRunningCalls;
    try {
        request.Fn();
    } catch (...) {
        error = std::current_exception();
    }
    --FRunningCalls;
    if (!request.Waiting) {
        ShowApplicationError(error);
        return;
    }
    {
        std::lock_guard lock(FMutex);
        request.Error = std::move(error);
        request.Done = true;
    }
    FChanged.notify_all();
}

void TMainThreadHandOver::joinServing(std::thread& worker) {
    if (!worker.joinable()) return;
    if (IsMainThread()) {
        // A helper joins, so that the main thread can keep serving until the worker has ended.
        bool ended = false;
        std::thread joiner([&] {
            worker.join();
            std::lock_guard lock(FMutex);
            ended = true;
            FChanged.notify_all();
        });
        for (;;) {
            {
                std::unique_lock lock(FMutex);
                FChanged.wait(lock, [&] { return ended || !FQueue.empty(); });
                if (ended && FQueue.empty()) break;
            }
            serve();
        }
        joiner.join();
    } else {
        worker.join();
    }
}
