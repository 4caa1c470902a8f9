#pragma once

#include "device_link/ComPortTypes.h"
#include "device_link/ComTimeouts.h"
#include "device_link/LineCounters.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

struct TTermiosSettings;

// The operating system's serial device behind a port: one open descriptor and the calls the
// port makes on it. Every failure throws EComPort with the port's code and errno. The static
// calls take a descriptor, for the event thread, which never owns one.
class TSerialDevice {
public:
    TSerialDevice() = default;
    ~TSerialDevice();
    TSerialDevice(const TSerialDevice&) = delete;
    TSerialDevice& operator=(const TSerialDevice&) = delete;

    // A name without '/' opens /dev/<name>; a path opens as given. Exclusive (error 1).
    void Open(const std::string& portName);
    void Close();
    bool IsOpen() const { return FHandle >= 0; }
    int Handle() const { return FHandle; }
    bool IsPseudoTerminal() const;

    void ApplyLineSettings(const TTermiosSettings& settings);
    // Both wait within the time-outs; an AbortIo from another thread ends the wait early. A read
    // of a hung-up device that got nothing fails (error 3).
    int Write(const char* buffer, int count, const TComTimeouts& timeouts);
    int Read(char* buffer, int count, const TComTimeouts& timeouts);
    void Purge(bool input, bool output);
    void AbortIo();
    TComSignals ModemSignals() const;

    // What a user can do about an open that failed with `systemError`, in a sentence; empty
    // when the system's own words say it all.
    static std::string OpenFailureHint(const std::string& portName, int systemError);

    static int InputCount(int handle);
    static int OutputCount(int handle);
    // Supported is false where the driver keeps no counts (pseudo-terminals).
    static TLineCounters Counters(int handle);

private:
    using TDeadline = std::optional<std::chrono::steady_clock::time_point>;

    // The other side went away (an unplugged adapter, a closed pseudo-terminal master).
    bool HungUp() const;
    // True when the device is ready for `events`; false when the deadline passed or AbortIo came.
    bool WaitReady(short events, const TDeadline& deadline) const;
    // Forgets an abort that came when no wait was running, so that it cannot end a later one.
    void DrainAbort();
    void DriveModemLine(int line, bool on) const;
    // Speeds without a termios constant go through termios2 (SerialDeviceSpeedPosix.cpp).
    static void ApplyCustomSpeed(int handle, std::uint32_t speed);

    int FHandle = -1;
    // The open set the terminal's exclusive mode; the close clears it.
    bool FExclusive = false;
    int FAbortEvent = -1;
    // Set after each signal of FAbortEvent: draining costs a system call only after an abort.
    std::atomic<bool> FAbortSignalled{false};
};
