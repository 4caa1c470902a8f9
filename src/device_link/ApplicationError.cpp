#include "device_link/ApplicationError.h"

#include <QtGlobal>

#include <utility>

namespace {
TErrorDisplay& Display() {
    static TErrorDisplay display;
    return display;
}

void LogError(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& caught) {
        qWarning("%s", caught.what());
    } catch (...) {
        qWarning("unknown error");
    }
}
} // namespace

void SetApplicationErrorDisplay(TErrorDisplay display) { Display() = std::move(display); }

void ShowApplicationError(const std::exception_ptr& error) {
    if (!error) return;
    if (Display()) {
        Display()(error);
    } else {
        LogError(error);
    }
}
