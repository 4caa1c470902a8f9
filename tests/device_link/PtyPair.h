#pragma once

#include "device_link/ByteString.h"

#include <chrono>
#include <string>

// A pseudo-terminal pair for port tests: the port opens the slave path, the test plays the
// other end through the master.
class TPtyPair {
public:
    TPtyPair();
    ~TPtyPair();
    TPtyPair(const TPtyPair&) = delete;
    TPtyPair& operator=(const TPtyPair&) = delete;

    const std::string& SlavePath() const { return FSlavePath; }
    void Send(const ByteString& bytes) const;
    // What the port wrote, once `count` bytes came or `limit` passed.
    ByteString Receive(std::size_t count, std::chrono::milliseconds limit = std::chrono::milliseconds(2000)) const;
    // The far end goes away, as an unplugged adapter does.
    void CloseMaster();

private:
    int FMaster = -1;
    std::string FSlavePath;
};
