#pragma once

#include <QtGlobal>

// Held while the application object is made. The toolkit aborts when no display can be reached,
// after several lines about plug-ins that mean nothing to a user; the guard turns that into one
// line on standard error and exit status 1. Messages of a start that succeeds are passed on.
class TToolkitStartGuard {
public:
    explicit TToolkitStartGuard(const char* program);
    ~TToolkitStartGuard();
    TToolkitStartGuard(const TToolkitStartGuard&) = delete;
    TToolkitStartGuard& operator=(const TToolkitStartGuard&) = delete;

private:
    static void Collect(QtMsgType type, const QMessageLogContext& context, const QString& message);

    QtMessageHandler FPrevious;
};
