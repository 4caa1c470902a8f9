#include "terminal/QuitSignals.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace {

int SignalPipe[2] = {-1, -1};

void OnSignal(int) {
    // The interrupted code may be about to read errno.
    const int interruptedErrno = errno;
    const char byte = 1;
    // A full pipe already holds a request that has not been read: losing this one loses nothing.
    [[maybe_unused]] const ssize_t written = write(SignalPipe[1], &byte, 1);
    errno = interruptedErrno;
}

void Handle(void (*handler)(int)) {
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    // A hang-up (the terminal or the session went away) ends the program as a quit does.
    for (const int quitSignal : {SIGINT, SIGTERM, SIGHUP}) sigaction(quitSignal, &action, nullptr);
}

} // namespace

TQuitSignals::TQuitSignals(std::function<void()> onQuit) : FOnQuit(std::move(onQuit)) {
    if (SignalPipe[0] >= 0) throw std::logic_error("TQuitSignals: one lives already");
    if (pipe2(SignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error("TQuitSignals: no pipe");
    FNotifier = std::make_unique<QSocketNotifier>(SignalPipe[0], QSocketNotifier::Read);
    QObject::connect(FNotifier.get(), &QSocketNotifier::activated, [this] { Drain(); });
    Handle(OnSignal);
}

TQuitSignals::~TQuitSignals() {
    Handle(SIG_DFL);
    FNotifier.reset();
    for (int& end : SignalPipe) {
        close(end);
        end = -1;
    }
}

void TQuitSignals::Drain() {
    char bytes[16];
    while (read(SignalPipe[0], bytes, sizeof bytes) > 0) {
    }
    FOnQuit();
}
