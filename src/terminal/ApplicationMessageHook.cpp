#include "terminal/ApplicationMessageHook.h"

#include "device/ApplicationMessageEvent.h"

#include <QCoreApplication>

namespace {
// Lower numbers belong to the system's own messages.
constexpr std::uint32_t FirstApplicationMessage = 1024;
} // namespace

TApplicationMessageHook::TApplicationMessageHook(std::function<void(std::uint32_t Message)> OnMessage)
    : FOnMessage(std::move(OnMessage)) {
    if (QCoreApplication* application = QCoreApplication::instance()) application->installEventFilter(this);
}

TApplicationMessageHook::~TApplicationMessageHook() {
    if (QCoreApplication* application = QCoreApplication::instance()) application->removeEventFilter(this);
}

bool TApplicationMessageHook::eventFilter(QObject* target, QEvent* event) {
    if (target != QCoreApplication::instance() || event->type() != TApplicationMessageEvent::EventType()) return false;
    const std::uint32_t message = static_cast<TApplicationMessageEvent*>(event)->GetMessage();
    if (message < FirstApplicationMessage) return false;
    try {
        FOnMessage(message);
    } catch (...) {
        // A message's handling may fail; the event loop must go on all the same.
    }
    return true;
}
