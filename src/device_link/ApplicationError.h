#pragma once

#include <exception>
#include <functional>

// The application's error display: where failures go that no caller is waiting for (a posted
// hand-over that threw, a port that could not open when a stored layout finished loading).
// The window layer installs a message box; without one the message goes to Qt's warning log.
using TErrorDisplay = std::function<void(const std::exception_ptr& error)>;

void SetApplicationErrorDisplay(TErrorDisplay display);
void ShowApplicationError(const std::exception_ptr& error);
