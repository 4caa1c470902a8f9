#pragma once

#include <QSocketNotifier>
#include <functional>
#include <memory>

// SIGINT, SIGTERM and SIGHUP turned into a call on the main thread: the handler only writes a
// byte into a pipe, and the event loop (a modal box's too) reads it and calls `onQuit`, so that a
// program ends the way its user would end it (its closing writes included), never inside the
// signal handler. One lives at a time; while it lives it owns the three signals, and its end
// gives them back their default.
class TQuitSignals {
public:
    explicit TQuitSignals(std::function<void()> onQuit);
    ~TQuitSignals();
    TQuitSignals(const TQuitSignals&) = delete;
    TQuitSignals& operator=(const TQuitSignals&) = delete;

private:
    void Drain();

    std::function<void()> FOnQuit;
    std::unique_ptr<QSocketNotifier> FNotifier;
};
