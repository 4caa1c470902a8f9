#include "console_sim/PseudoTerminal.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

[[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

void CloseDescriptor(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

bool IsSymbolicLink(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

bool Exists(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0;
}

bool NamesADevice(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISCHR(status.st_mode);
}

std::string LinkTarget(const std::string& path) {
    char target[4096];
    const ssize_t size = ::readlink(path.c_str(), target, sizeof target - 1);
    return size < 0 ? std::string() : std::string(target, static_cast<std::size_t>(size));
}

} // namespace

TPseudoTerminal::~TPseudoTerminal() { Close(); }

void TPseudoTerminal::Open(const std::string& linkPath) {
    Close();
    try {
        OpenMaster();
        OpenHeldSlave();
        PointLink(linkPath);
    } catch (...) {
        Close();
        throw;
    }
}

void TPseudoTerminal::OpenMaster() {
    FMaster = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (FMaster < 0) Fail("cannot open a pseudo-terminal");
    if (::grantpt(FMaster) != 0 || ::unlockpt(FMaster) != 0) Fail("cannot unlock the pseudo-terminal");
    char path[256];
    if (::ptsname_r(FMaster, path, sizeof path) != 0) Fail("cannot name the pseudo-terminal");
    FSlavePath = path;
}

// Raw mode on the slave: no echo, no line editing, no byte translation, so every byte value
// passes both ways unchanged before the PC sets its own mode.
void TPseudoTerminal::OpenHeldSlave() {
    FHeldSlave = ::open(FSlavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (FHeldSlave < 0) Fail("cannot open " + FSlavePath);
    termios settings{};
    if (::tcgetattr(FHeldSlave, &settings) != 0) Fail("cannot read the line settings of " + FSlavePath);
    ::cfmakeraw(&settings);
    if (::tcsetattr(FHeldSlave, TCSANOW, &settings) != 0) Fail("cannot set raw mode on " + FSlavePath);
}

// The link is swapped in one rename, so a PC polling for the name never sees it half made.
void TPseudoTerminal::PointLink(const std::string& linkPath) {
    if (linkPath.empty()) return;
    if (Exists(linkPath) && !IsSymbolicLink(linkPath))
        throw std::runtime_error(linkPath + " exists and is not a symbolic link; it is left alone");
    // A line's node lasts as long as its master side: a link to one that exists belongs to a
    // console still running, and taking it would hand that console's PC our line.
    if (NamesADevice(linkPath))
        throw std::runtime_error(
            linkPath + " leads to " + std::filesystem::canonical(linkPath).string() +
            ", a device in use (another console emulator's line?); it is left alone: remove " +
            "the link if nothing uses it");
    const std::string fresh = linkPath + ".new";
    ::unlink(fresh.c_str());
    if (::symlink(FSlavePath.c_str(), fresh.c_str()) != 0) Fail("cannot create the link " + fresh);
    if (::rename(fresh.c_str(), linkPath.c_str()) != 0) Fail("cannot create the link " + linkPath);
    FLinkPath = linkPath;
}

void TPseudoTerminal::Close() {
    // Only a link that still names this line is ours to remove.
    if (!FLinkPath.empty() && LinkTarget(FLinkPath) == FSlavePath) ::unlink(FLinkPath.c_str());
    FLinkPath.clear();
    CloseDescriptor(FHeldSlave);
    CloseDescriptor(FMaster);
}

ByteString TPseudoTerminal::ReadAvailable() {
    ByteString bytes;
    char buffer[1024];
    for (;;) {
        const ssize_t size = ::read(FMaster, buffer, sizeof buffer);
        if (size <= 0) break;
        bytes.append(buffer, static_cast<std::size_t>(size));
    }
    return bytes;
}

ByteString TPseudoTerminal::Write(const ByteString& bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t size = ::write(FMaster, bytes.data() + written, bytes.size() - written);
        if (size < 0 && errno == EINTR) continue;
        if (size <= 0) break;
        written += static_cast<std::size_t>(size);
    }
    return bytes.substr(0, written);
}
