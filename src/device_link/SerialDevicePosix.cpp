#include "device_link/SerialDevice.h"

#include "device_link/EComPort.h"
#include "device_link/TermiosMapping.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <linux/serial.h>
#include <poll.h>
#include <pwd.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

// Pseudo-terminals and other drivers without modem lines or counters answer these.
bool Unsupported(int error) { return error == ENOTTY || error == EINVAL; }

std::string DevicePath(const std::string& portName) {
    return portName.find('/') == std::string::npos ? "/dev/" + portName : portName;
}

// Unix 98 pseudo-terminal slaves have majors 136 to 143.
bool IsPseudoTerminalMajor(unsigned int deviceMajor) { return deviceMajor >= 136 && deviceMajor <= 143; }

std::optional<Clock::time_point> After(std::int64_t ms) { return Clock::now() + std::chrono::milliseconds(ms); }

int PollTimeout(const std::optional<Clock::time_point>& deadline) {
    if (!deadline) return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
    return static_cast<int>(std::max<std::int64_t>(left, 0));
}

// A total time-out of multiplier * count + constant; none when both are 0.
std::optional<Clock::time_point> TotalDeadline(std::int32_t multiplier, int count, std::int32_t constant) {
    const auto total = static_cast<std::int64_t>(static_cast<std::uint32_t>(multiplier)) * count +
                       static_cast<std::uint32_t>(constant);
    if (multiplier == 0 && constant == 0) return std::nullopt;
    return After(total);
}

std::string GroupName(gid_t group) {
    const struct group* entry = ::getgrgid(group);
    return entry ? entry->gr_name : std::to_string(group);
}

std::string UserName(uid_t user) {
    const struct passwd* entry = ::getpwuid(user);
    return entry ? entry->pw_name : std::to_string(user);
}

bool InGroup(gid_t group) {
    if (::getegid() == group) return true;
    std::vector<gid_t> groups(static_cast<std::size_t>(std::max(::getgroups(0, nullptr), 0)));
    groups.resize(static_cast<std::size_t>(std::max(::getgroups(static_cast<int>(groups.size()), groups.data()), 0)));
    return std::ranges::find(groups, group) != groups.end();
}

// Serial devices are opened through their group (dialout, uucp...): name it, or say that the
// device lets its owner alone in.
std::string PermissionHint(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return {};
    const std::string user = UserName(::geteuid());
    if ((status.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP) && !InGroup(status.st_gid))
        return "the user " + user + " is not in the group " + GroupName(status.st_gid) + " that owns " + path +
               ": add the user to that group and log in again";
    if ((status.st_mode & (S_IRWXG | S_IRWXO)) == 0 && status.st_uid != ::geteuid())
        return path + " lets only its owner " + UserName(status.st_uid) + " open it, not the user " + user;
    return {};
}

void ClosePosixHandle(int& handle) {
    if (handle >= 0) ::close(handle);
    handle = -1;
}
} // namespace

TSerialDevice::~TSerialDevice() { Close(); }

void TSerialDevice::Open(const std::string& portName) {
    const std::string path = DevicePath(portName);
    const int handle = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (handle < 0) throw EComPort(ComError::OpenPort, errno);
    FHandle = handle;
    // No sharing: the lock keeps out other programs of this kind (root too), the terminal's
    // exclusive mode every other user. The lock comes first, so a port that another holder has
    // locked keeps the exclusive mode that our close would clear.
    if (::flock(handle, LOCK_EX | LOCK_NB) != 0 || ::ioctl(handle, TIOCEXCL) != 0) {
        const int error = errno;
        Close();
        throw EComPort(ComError::OpenPort, error);
    }
    FExclusive = true;
    FAbortEvent = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (FAbortEvent < 0) {
        const int error = errno;
        Close();
        throw EComPort(ComError::OpenPort, error);
    }
}

void TSerialDevice::Close() {
    ClosePosixHandle(FAbortEvent);
    // The exclusive mode is the terminal's, not the descriptor's: a pseudo-terminal keeps it after
    // the close, and every later open by a user other than root would fail (EBUSY). A hung-up
    // terminal refuses the call, and goes away with its mode.
    if (FExclusive) ::ioctl(FHandle, TIOCNXCL);
    FExclusive = false;
    ClosePosixHandle(FHandle);
}

std::string TSerialDevice::OpenFailureHint(const std::string& portName, int systemError) {
    switch (systemError) {
    case EACCES: return PermissionHint(DevicePath(portName));
    // EBUSY: another user's exclusive mode; EWOULDBLOCK: another holder's lock.
    case EBUSY:
    case EWOULDBLOCK: return "another program has the port open";
    default: return {};
    }
}

bool TSerialDevice::IsPseudoTerminal() const {
    struct stat status {};
    return ::fstat(FHandle, &status) == 0 && S_ISCHR(status.st_mode) && IsPseudoTerminalMajor(major(status.st_rdev));
}

void TSerialDevice::ApplyLineSettings(const TTermiosSettings& settings) {
    if (::tcsetattr(FHandle, TCSANOW, &settings.Value) != 0) throw EComPort(ComError::SetCommState, errno);
    if (settings.CustomSpeed) ApplyCustomSpeed(FHandle, settings.Speed);
    DriveModemLine(TIOCM_DTR, settings.DTR);
    if (settings.DriveRTS) DriveModemLine(TIOCM_RTS, settings.RTS);
}

void TSerialDevice::DriveModemLine(int line, bool on) const {
    if (::ioctl(FHandle, on ? TIOCMBIS : TIOCMBIC, &line) != 0 && !Unsupported(errno))
        throw EComPort(ComError::SetCommState, errno);
}

int TSerialDevice::Write(const char* buffer, int count, const TComTimeouts& timeouts) {
    DrainAbort();
    const auto deadline = TotalDeadline(timeouts.GetWriteTotalMultiplier(), count, timeouts.GetWriteTotalConstant());
    int written = 0;
    while (written < count) {
        const ssize_t result = ::write(FHandle, buffer + written, static_cast<std::size_t>(count - written));
        if (result > 0) {
            written += static_cast<int>(result);
        } else if (result < 0 && errno != EAGAIN && errno != EINTR) {
            throw EComPort(ComError::WriteFile, errno);
        } else if (result < 0 && errno == EAGAIN && !WaitReady(POLLOUT, deadline)) {
            break;
        }
    }
    return written;
}

// ReadInterval -1 with both totals 0 returns at once with what has arrived. Otherwise the read
// ends at the total time-out, or when the gap after a byte exceeds ReadInterval (-1: no gap at
// all; 0: gaps are not timed).
int TSerialDevice::Read(char* buffer, int count, const TComTimeouts& timeouts) {
    DrainAbort();
    const std::int32_t interval = timeouts.GetReadInterval();
    const bool immediate = interval == -1 && timeouts.GetReadTotalMultiplier() == 0 && timeouts.GetReadTotalConstant() == 0;
    const auto total = immediate ? After(0)
                                 : TotalDeadline(timeouts.GetReadTotalMultiplier(), count, timeouts.GetReadTotalConstant());
    int got = 0;
    while (got < count) {
        const ssize_t result = ::read(FHandle, buffer + got, static_cast<std::size_t>(count - got));
        if (result > 0) {
            got += static_cast<int>(result);
            continue;
        }
        // In raw mode an empty queue reads as 0 bytes rather than EAGAIN.
        if (result < 0 && errno == EINTR) continue;
        if (result < 0 && errno != EAGAIN) throw EComPort(ComError::ReadFile, errno);
        auto deadline = total;
        if (got > 0 && interval != 0) {
            const auto gapEnd = After(interval == -1 ? 0 : interval);
            if (!deadline || *gapEnd < *deadline) deadline = gapEnd;
        }
        if (!WaitReady(POLLIN, deadline)) break;
    }
    // A device that went away reads as a failed read, once what came before it was returned.
    if (got == 0 && HungUp()) throw EComPort(ComError::ReadFile, EIO);
    return got;
}

bool TSerialDevice::HungUp() const {
    pollfd handle{FHandle, POLLIN, 0};
    return ::poll(&handle, 1, 0) > 0 && (handle.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

bool TSerialDevice::WaitReady(short events, const TDeadline& deadline) const {
    for (;;) {
        pollfd handles[2] = {{FHandle, events, 0}, {FAbortEvent, POLLIN, 0}};
        const int ready = ::poll(handles, 2, PollTimeout(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0 || handles[1].revents != 0) return false;
        // A hung-up device stays "ready" for ever without anything to read or write.
        return (handles[0].revents & events) != 0 && (handles[0].revents & (POLLHUP | POLLERR | POLLNVAL)) == 0;
    }
}

void TSerialDevice::DrainAbort() {
    if (!FAbortSignalled.exchange(false, std::memory_order_acquire)) return;
    eventfd_t ignored = 0;
    if (FAbortEvent >= 0) (void)::eventfd_read(FAbortEvent, &ignored);
}

void TSerialDevice::Purge(bool input, bool output) {
    if (!input && !output) return;
    const int queues = input && output ? TCIOFLUSH : (input ? TCIFLUSH : TCOFLUSH);
    if (::tcflush(FHandle, queues) != 0) throw EComPort(ComError::PurgeComm, errno);
}

void TSerialDevice::AbortIo() {
    if (FAbortEvent < 0) throw EComPort(ComError::PurgeComm, EBADF);
    if (::eventfd_write(FAbortEvent, 1) != 0) throw EComPort(ComError::PurgeComm, errno);
    // After the signal: a drain that sees the flag finds the signal to take.
    FAbortSignalled.store(true, std::memory_order_release);
}

TComSignals TSerialDevice::ModemSignals() const {
    int lines = 0;
    if (::ioctl(FHandle, TIOCMGET, &lines) != 0) {
        if (Unsupported(errno)) return {};
        throw EComPort(ComError::ModemStatus, errno);
    }
    TComSignals signals;
    if ((lines & TIOCM_CTS) != 0) signals.Include(csCTS);
    if ((lines & TIOCM_DSR) != 0) signals.Include(csDSR);
    if ((lines & TIOCM_RNG) != 0) signals.Include(csRing);
    if ((lines & TIOCM_CD) != 0) signals.Include(csRLSD);
    return signals;
}

int TSerialDevice::InputCount(int handle) {
    int count = 0;
    if (::ioctl(handle, FIONREAD, &count) != 0) throw EComPort(ComError::ClearCommError, errno);
    return count;
}

int TSerialDevice::OutputCount(int handle) {
    int count = 0;
    return ::ioctl(handle, TIOCOUTQ, &count) == 0 ? count : 0;
}

TLineCounters TSerialDevice::Counters(int handle) {
    serial_icounter_struct counts{};
    if (::ioctl(handle, TIOCGICOUNT, &counts) != 0) {
        if (Unsupported(errno)) return {};
        throw EComPort(ComError::ClearCommError, errno);
    }
    TLineCounters result;
    result.Supported = true;
    result.Frame = static_cast<std::uint32_t>(counts.frame);
    result.Parity = static_cast<std::uint32_t>(counts.parity);
    result.Overrun = static_cast<std::uint32_t>(counts.overrun);
    result.BufferOverrun = static_cast<std::uint32_t>(counts.buf_overrun);
    result.Break = static_cast<std::uint32_t>(counts.brk);
    result.CTS = static_cast<std::uint32_t>(counts.cts);
    result.DSR = static_cast<std::uint32_t>(counts.dsr);
    result.Ring = static_cast<std::uint32_t>(counts.rng);
    result.RLSD = static_cast<std::uint32_t>(counts.dcd);
    return result;
}
