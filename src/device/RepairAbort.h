#pragma once

#include <exception>

// Ends a repair attempt early once its failure has been reported (report 710). The survey tick
// catches it and goes on with its checks; it never reaches a user.
class ERepairAbort final : public std::exception {
public:
    const char* what() const noexcept override { return "repair attempt aborted"; }
};
