#include "device_link/PtyPair.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

TPtyPair::TPtyPair() {
    int slave = -1;
    char name[256] = {};
    if (::openpty(&FMaster, &slave, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty failed");
    // Raw from the start, so nothing the test sends is echoed or edited before the port opens.
    termios raw{};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);
    ::close(slave);
    ::fcntl(FMaster, F_SETFL, ::fcntl(FMaster, F_GETFL) | O_NONBLOCK);
    FSlavePath = name;
}

TPtyPair::~TPtyPair() { CloseMaster(); }

void TPtyPair::Send(const ByteString& bytes) const {
    if (::write(FMaster, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        throw std::runtime_error("pseudo-terminal write failed");
}

ByteString TPtyPair::Receive(std::size_t count, std::chrono::milliseconds limit) const {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    ByteString received;
    while (received.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd master{FMaster, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&master, 1, static_cast<int>(left.count())) <= 0) break;
        char buffer[256];
        const ssize_t got = ::read(FMaster, buffer, sizeof buffer);
        if (got <= 0) break;
        received.append(buffer, static_cast<std::size_t>(got));
    }
    return received;
}

void TPtyPair::CloseMaster() {
    if (FMaster >= 0) ::close(FMaster);
    FMaster = -1;
}
