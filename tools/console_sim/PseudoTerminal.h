#pragma once

#include "device_link/ByteString.h"

#include <string>

// The console's end of a pseudo-terminal: the master side, with the slave kept open as well so
// that the line stays up while the PC has its port closed, as a plugged-in adapter does.
// Optionally a symbolic link names the slave, for a stable port name across hang-ups.
class TPseudoTerminal {
public:
    TPseudoTerminal() = default;
    TPseudoTerminal(const TPseudoTerminal&) = delete;
    TPseudoTerminal& operator=(const TPseudoTerminal&) = delete;
    ~TPseudoTerminal();

    // Opens a new pair in raw mode and points `linkPath` (if not empty) at its slave. Throws
    // std::runtime_error with the reason when the system refuses, when `linkPath` exists and is
    // not a symbolic link, or when it leads to a device, another console's line still open or a
    // port (neither is overwritten).
    void Open(const std::string& linkPath);
    // Closes both sides, so that the PC's descriptor sees the hang-up, and removes the link.
    void Close();

    bool IsOpen() const { return FMaster >= 0; }
    int GetMasterFd() const { return FMaster; }
    const std::string& GetSlavePath() const { return FSlavePath; }

    // What the PC wrote, without waiting; empty when nothing is there.
    ByteString ReadAvailable();
    // Writes without blocking; bytes that do not fit in a full line buffer are lost, as on a
    // serial line that nobody reads. Returns what went out.
    ByteString Write(const ByteString& bytes);

private:
    void OpenMaster();
    void OpenHeldSlave();
    void PointLink(const std::string& linkPath);

    int FMaster = -1;
    int FHeldSlave = -1;
    std::string FSlavePath;
    std::string FLinkPath;
};
