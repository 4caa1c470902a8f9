#pragma once

#include "device_link/ComLink.h"
#include "device_link/TrafficRecord.h"

#include <QFile>
#include <QTimer>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class TComLinkHost;

// A capture of the serial line's traffic: every byte string the port read (as the port delivered
// them, ahead of the splitter, so cut frames and garbage show as they came) and wrote, with its
// time in milliseconds since the capture began, and a note for each event the terminal marks.
// The file is in the emulator's record form seen from the console ("in" from the PC, "out" from
// the console), so `kelvo-console-sim --replay` plays a capture of a real console.
// Lines are kept in memory and appended to the file once a second, so a crash loses at most the
// last second; a write that fails stops the capture and says why, and the ride goes on.
class TTrafficCapture {
public:
    // Milliseconds from a steady clock.
    using TClock = std::function<double()>;

    explicit TTrafficCapture(TClock clock = {});
    ~TTrafficCapture();
    TTrafficCapture(const TTrafficCapture&) = delete;
    TTrafficCapture& operator=(const TTrafficCapture&) = delete;

    // Starts appending to `path`, after the header's lines (each written as a '#' comment).
    // Returns the system's reason when the file cannot be opened or takes no header (the
    // capture stays stopped), else an empty text.
    std::string Start(const std::string& path, const std::vector<std::string>& header);
    // Writes what is kept and closes the file.
    void Stop();
    bool IsRunning() const { return FFile.isOpen(); }
    const std::string& GetFileName() const { return FFileName; }

    // Records the port's traffic from now on (each read before anything acts on it); Detach
    // before the port goes.
    void Attach(TComLinkHost& port);
    void Detach();

    void Received(std::string_view bytes);
    void Sent(std::string_view bytes);
    void Note(std::string_view text);
    void Flush();

    // The capture stopped on a failed write: the sentence to show the user.
    std::function<void(const std::string& message)> OnFailed;
    // The note for the port's opening (true) or closing, e.g. "open /dev/ttyUSB0 9600 8E1".
    std::function<std::string(bool open)> DescribePort;

    // Kept lines beyond this are written at once rather than at the next second.
    static constexpr std::size_t FlushBytes = 1 << 20;

private:
    void Keep(TRecordDirection direction, std::string_view bytes);
    // Keeps the system's words for `systemError`.
    void SetWriteError(int systemError);
    // Writes what is kept; false when the file took less than all of it.
    bool WritePending();
    void Fail();

    TClock FClock;
    double FStartMs = 0;
    QFile FFile;
    std::string FFileName;
    std::string FPending;
    // Why the last write failed, in the system's words.
    std::string FWriteError;
    QTimer FFlushTimer;
    TComLink FLink;
    TComLinkHost* FPort = nullptr;
};
