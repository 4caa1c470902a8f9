#pragma once

#include <QObject>

#include <cstdint>
#include <functional>

// The application's message receiver: passes every application message numbered 1024 or above
// that is delivered to the application object on to OnMessage. A failure of the handler ends
// with the handler: it never reaches the event loop.
class TApplicationMessageHook final : public QObject {
public:
    explicit TApplicationMessageHook(std::function<void(std::uint32_t Message)> OnMessage);
    ~TApplicationMessageHook() override;
    TApplicationMessageHook(const TApplicationMessageHook&) = delete;
    TApplicationMessageHook& operator=(const TApplicationMessageHook&) = delete;

    bool eventFilter(QObject* target, QEvent* event) override;

private:
    std::function<void(std::uint32_t Message)> FOnMessage;
};
