#include "PcSide.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

TPcSide::TPcSide(const std::string& path) {
    FFd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (FFd < 0) throw std::runtime_error("cannot open " + path);
    termios settings{};
    ::tcgetattr(FFd, &settings);
    ::cfmakeraw(&settings);
    ::tcsetattr(FFd, TCSANOW, &settings);
}

TPcSide::~TPcSide() {
    if (FFd >= 0) ::close(FFd);
}

void TPcSide::Send(const ByteString& bytes) {
    if (::write(FFd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        throw std::runtime_error("the PC side could not write");
}

ByteString TPcSide::Read(std::size_t count, int timeoutMs) {
    const double deadline = SteadyMs() + timeoutMs;
    ByteString bytes;
    while (bytes.size() < count) {
        const int left = static_cast<int>(deadline - SteadyMs());
        pollfd fd{FFd, POLLIN, 0};
        if (left <= 0 || ::poll(&fd, 1, left) <= 0 || !(fd.revents & POLLIN)) break;
        char buffer[256];
        const ssize_t size = ::read(FFd, buffer, std::min(sizeof buffer, count - bytes.size()));
        if (size <= 0) break;
        bytes.append(buffer, static_cast<std::size_t>(size));
    }
    return bytes;
}

ByteString TPcSide::ReadFor(int ms) { return Read(SIZE_MAX, ms); }

bool TPcSide::SeesHangUp(int timeoutMs) {
    const double deadline = SteadyMs() + timeoutMs;
    for (;;) {
        const int left = static_cast<int>(deadline - SteadyMs());
        pollfd fd{FFd, POLLIN, 0};
        if (left <= 0 || ::poll(&fd, 1, left) <= 0) return false;
        if (fd.revents & (POLLHUP | POLLERR)) return true;
        char buffer[256];
        // Bytes still queued before the hang-up are read away; a read of 0 or EIO is the hang-up.
        const ssize_t size = ::read(FFd, buffer, sizeof buffer);
        if (size == 0 || (size < 0 && errno == EIO)) return true;
    }
}

ByteString Hex(const std::string& text) {
    std::istringstream words(text);
    ByteString bytes;
    for (std::string word; words >> word;) bytes += static_cast<char>(std::stoi(word, nullptr, 16));
    return bytes;
}

double SteadyMs() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
