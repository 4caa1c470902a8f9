#pragma once

#include "device_link/ByteString.h"

#include <chrono>
#include <string>

// The PC's end of the emulator's line in tests: the slave opened raw, with reads that wait on
// the descriptor up to a bounded deadline instead of sleeping.
class TPcSide {
public:
    explicit TPcSide(const std::string& path);
    ~TPcSide();
    TPcSide(const TPcSide&) = delete;
    TPcSide& operator=(const TPcSide&) = delete;

    void Send(const ByteString& bytes);
    // Exactly `count` bytes, or fewer if the deadline passes first.
    ByteString Read(std::size_t count, int timeoutMs = 2000);
    // Everything that arrives within `ms`.
    ByteString ReadFor(int ms);
    // Whether the descriptor reports the line hung up within `timeoutMs`.
    bool SeesHangUp(int timeoutMs);

    int GetFd() const { return FFd; }

private:
    int FFd = -1;
};

// The bytes of a console frame or request, written as in the protocol tables.
ByteString Hex(const std::string& text);

// Time in milliseconds on the steady clock, for the few rate measurements.
double SteadyMs();
