#pragma once

#include "device_link/ApplicationError.h"

#include <exception>
#include <string>
#include <vector>

// Collects the messages that reach the application's error display while it lives.
class TShownErrors {
public:
    TShownErrors() {
        SetApplicationErrorDisplay([this](const std::exception_ptr& error) {
            try {
                std::rethrow_exception(error);
            } catch (const std::exception& caught) {
                Messages.emplace_back(caught.what());
            }
        });
    }
    ~TShownErrors() { SetApplicationErrorDisplay(nullptr); }
    TShownErrors(const TShownErrors&) = delete;
    TShownErrors& operator=(const TShownErrors&) = delete;

    std::vector<std::string> Messages;
};
