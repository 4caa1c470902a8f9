#pragma once

#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <stdexcept>
#include <string>

// The far end of a pseudo-terminal whose slave the device opens as its port. The test holds the
// master: closing it hangs the line up and makes the path impossible to open again. A link name
// may stand for the slave, as a stable port name.
class PseudoTerminalLine {
public:
    explicit PseudoTerminalLine(const std::string& linkPath = {}) : FLinkPath(linkPath) {
        int slave = -1;
        char name[256] = {};
        if (openpty(&FMaster, &slave, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty failed");
        close(slave);
        FSlavePath = name;
        if (!FLinkPath.empty() && symlink(name, FLinkPath.c_str()) != 0) throw std::runtime_error("symlink failed");
    }
    PseudoTerminalLine(const PseudoTerminalLine&) = delete;
    PseudoTerminalLine& operator=(const PseudoTerminalLine&) = delete;
    ~PseudoTerminalLine() {
        CloseMaster();
        if (!FLinkPath.empty()) unlink(FLinkPath.c_str());
    }

    // The name the device opens: the link when there is one.
    const std::string& PortName() const { return FLinkPath.empty() ? FSlavePath : FLinkPath; }

    void CloseMaster() {
        if (FMaster >= 0) close(FMaster);
        FMaster = -1;
    }

    // What the device wrote, read until the line has been quiet for a moment (a pseudo-terminal
    // passes written bytes on asynchronously).
    std::string Drain() {
        std::string bytes;
        pollfd ready{FMaster, POLLIN, 0};
        char buffer[256];
        while (poll(&ready, 1, QuietMs) > 0 && (ready.revents & POLLIN) != 0) {
            const ssize_t count = read(FMaster, buffer, sizeof buffer);
            if (count <= 0) break;
            bytes.append(buffer, static_cast<std::size_t>(count));
        }
        return bytes;
    }

private:
    static constexpr int QuietMs = 50;
    int FMaster = -1;
    std::string FSlavePath;
    std::string FLinkPath;
};
