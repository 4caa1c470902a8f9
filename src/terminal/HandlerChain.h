#pragma once

#include <utility>

// An event holds one handler; these add a second one to the handler already assigned (the
// terminal session's), running before or after it with the same arguments.
template <typename Event, typename Handler> void RunBeforeHandler(Event& event, Handler handler) {
    event = [next = event, handler = std::move(handler)](auto&&... args) {
        handler(args...);
        if (next) next(args...);
    };
}

template <typename Event, typename Handler> void RunAfterHandler(Event& event, Handler handler) {
    event = [previous = event, handler = std::move(handler)](auto&&... args) {
        if (previous) previous(args...);
        handler(args...);
    };
}
