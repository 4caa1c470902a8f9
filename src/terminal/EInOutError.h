#pragma once

#include <stdexcept>
#include <string>

// A file that could not be opened or written; the message names the file and the cause.
class EInOutError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
