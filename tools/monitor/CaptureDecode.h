#pragma once

#include "console_sim/PseudoTerminal.h"
#include "device_link/ComLink.h"
#include "device_link/TrafficRecord.h"
#include "device_link/VirtualTime.h"

#include <QDateTime>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TTerminalSession;

// kelvo-monitor --decode: a capture played through the terminal's own session, offline and in
// virtual time, so that the session shows again what it showed when the capture was made. The
// console's bytes reach the session's port through a pseudo-terminal at their captured times,
// each read as the port read it live (cut frames and garbage included); the PC's side is the
// session's own: its requests, timers and connection survey run again on the virtual clock. The
// user's opening and closing of the port come from the capture's notes; a repair's are the
// session's own; a hang-up takes the line away until the session's reopens have failed as often
// as they failed live (the capture's "reopen-failed" notes), so that the next one succeeds as it
// did. The PC's writes in the capture order what came after them: console bytes captured after a
// write of the PC's are held back (a moment at most) until the session has made that write too,
// so that an answer never comes before its request; and a wait of the session's that the capture
// shows ended late ends as late.
class TCaptureDecode {
public:
    struct TCapture {
        std::vector<TRecordEntry> Entries;
        // The wall-clock start in the header; invalid when the header has none.
        QDateTime Started;
        bool PortOpenAtStart = false;
        // The console's version when the capture began on a connected port, else empty.
        std::string ConsoleVersion;
    };

    // Throws std::runtime_error naming the file and what is wrong with it.
    static TCapture Read(const std::string& path);
    // The version the session assumes before the console answers: `asked`, unless the capture's
    // console is of the other family (byte stream, version 3 or less, or framed).
    static double StartupVersion(const TCapture& capture, double asked);

    // `time` must be installed before the session was made, so that its timers run on it.
    TCaptureDecode(TTerminalSession& session, TVirtualTime& time);
    ~TCaptureDecode();
    TCaptureDecode(const TCaptureDecode&) = delete;
    TCaptureDecode& operator=(const TCaptureDecode&) = delete;

    // Plays every entry at its time; returns after the last one, or at once when the program ends.
    void Play(const TCapture& capture);
    // Console bytes the port did not read back within a second, or that came while the decode's
    // port was closed: 0 for a decode that showed everything.
    std::size_t GetUnreadEntries() const { return FUnreadEntries; }

private:
    void ScheduleNext();
    void PlayNext();
    bool AwaitsThePcsWrite(std::size_t index) const;
    void Hold(std::size_t index);
    void MatchPcWrite(const ByteString& bytes);
    TVirtualTime::TDuration WakeUpBeforeTheSessionsNote(TVirtualTime::TDuration due) const;
    void Act(const TRecordEntry& entry);
    void ActOnNote(const std::string& note);
    void RepeatUserCommand(const std::string& word, const std::string& note);
    void TakeLineAway();
    void SessionReopenFailed();
    void BringLineBack();
    void OpenOrClosePort();
    void AnswerIdentification(const ByteString& written);
    void Deliver(const ByteString& bytes);
    bool PortOpen() const;

    TTerminalSession& FSession;
    TVirtualTime& FTime;
    // The line is named by a link in a folder of its own, so that it can go away and come back
    // under the same name, as an unplugged adapter does.
    QTemporaryDir FLinkFolder;
    std::string FLinkPath;
    TPseudoTerminal FLine;
    TComLink FReadCounter;
    std::uint64_t FBytesRead = 0;
    std::uint64_t FBytesDelivered = 0;
    std::size_t FUnreadEntries = 0;
    bool FPortStalled = false;
    const std::vector<TRecordEntry>* FEntries = nullptr;
    std::size_t FNext = 0;
    // For each entry, the PC's write it came after (the capture's index), or npos.
    std::vector<std::size_t> FAfterPcWrite;
    // The PC's writes in the capture before this index are made by the session, or given up.
    std::size_t FPcWritesMatched = 0;
    std::uint64_t FHoldExpiry = 0;
    // The console's answer to give the session's first identification request, or empty.
    ByteString FIdentificationAnswer;
    // Between a "repairing" note and the end of that repair: the port's closes and opens are the
    // session's own.
    bool FRepairing = false;
    // After a hang-up: the line is away until the session's reopens failed this many more times.
    std::size_t FReopensToFail = 0;
    // The line is back, and the repair's reopen that succeeded live is still to come.
    bool FReopenAwaited = false;
    std::shared_ptr<std::function<void()>> FReopenFailed;
};
