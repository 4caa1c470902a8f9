#pragma once

#include <QEvent>

#include <cstdint>

// A numbered application message, posted to the application object (the device posts one for
// every repeated console enter key). All messages share one registered event type; the number
// tells them apart, so a number never collides with one of Qt's own event types.
class TApplicationMessageEvent final : public QEvent {
public:
    explicit TApplicationMessageEvent(std::uint32_t Message) : QEvent(EventType()), FMessage(Message) {}

    std::uint32_t GetMessage() const { return FMessage; }

    static QEvent::Type EventType() {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }

private:
    std::uint32_t FMessage;
};
