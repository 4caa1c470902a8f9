#pragma once

#include "device/ApplicationMessageEvent.h"

#include <QCoreApplication>

#include <cstdint>
#include <vector>

// Records the numbers of the application messages that reach the application object: sent ones
// at once, posted ones once the event loop has delivered them.
class ApplicationMessageRecorder : public QObject {
public:
    ApplicationMessageRecorder() { QCoreApplication::instance()->installEventFilter(this); }
    ~ApplicationMessageRecorder() override { QCoreApplication::instance()->removeEventFilter(this); }

    bool eventFilter(QObject* target, QEvent* event) override {
        if (target == QCoreApplication::instance() && event->type() == TApplicationMessageEvent::EventType())
            FMessages.push_back(static_cast<TApplicationMessageEvent*>(event)->GetMessage());
        return false;
    }

    const std::vector<std::uint32_t>& Seen() const { return FMessages; }
    // Delivers what was posted first.
    const std::vector<std::uint32_t>& Delivered() {
        QCoreApplication::sendPostedEvents();
        return FMessages;
    }

private:
    std::vector<std::uint32_t> FMessages;
};
