#include "monitor/CaptureDecode.h"

#include "console_sim/ConsoleFrames.h"
#include "device/KelvoProtocol.h"
#include "device/SurveyReports.h"
#include "device_link/MainThreadHandOver.h"
#include "device_link/VirtualTime.h"
#include "device_link/WaitWithMessages.h"
#include "monitor/MonitorOutput.h"
#include "terminal/HandlerChain.h"
#include "terminal/TerminalSession.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <utility>

namespace {

constexpr std::string_view StartedComment = "# started ";
constexpr std::string_view PortComment = "# port ";
constexpr std::string_view ConsoleComment = "# console version ";
// How long the port may take, in real time, to read what the decode gave it.
constexpr int ReadBackMs = 1000;
// Console bytes within this of a PC's write may be its answer; they wait this long at most for
// the session to make the write (a user's set-point, say, is not made again).
constexpr TVirtualTime::TDuration AnswerWindow = std::chrono::milliseconds(100);
// A live wait ends up to about a millisecond late (the tick counter's and the event loop's
// granularity).
constexpr TVirtualTime::TDuration LateWakeUp = std::chrono::milliseconds(2);
// How much later than the session's own wait a repair's reopen may have come live (a loaded
// machine's waits run late).
constexpr TVirtualTime::TDuration ReopenLateness = std::chrono::seconds(5);
// How much of the capture's time plays between two looks at a quit signal.
constexpr TVirtualTime::TDuration PlaySlice = std::chrono::milliseconds(100);
// How far ahead of its time the session's write may be found in the capture.
constexpr TVirtualTime::TDuration WriteMatchWindow = std::chrono::seconds(1);

// The header's line that begins with `start`, without it; empty when there is none.
std::string HeaderLine(const std::string& text, std::string_view start) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (line.starts_with(start)) return QString::fromStdString(line.substr(start.size())).trimmed().toStdString();
    return {};
}

TVirtualTime::TDuration CaptureTime(const TRecordEntry& entry) {
    return std::chrono::round<TVirtualTime::TDuration>(std::chrono::duration<double, std::milli>(entry.TimeMs));
}

// Empty for a version that is not known (the header had none: the capture began unconnected).
ByteString IdentificationAnswerOf(const std::string& version) {
    try {
        const TConsoleVersion console = ConsoleVersionOf(version);
        return ConsoleFrames::IdentificationAnswerBytes(console.Family, console.IdentificationAnswer);
    } catch (const std::invalid_argument&) {
        return {};
    }
}

bool IsPcWrite(const TRecordEntry& entry) { return entry.Direction == TRecordDirection::rdIn; }

// For each console entry, the PC's write just before it when that came within the answer window.
std::vector<std::size_t> PcWritesAnswered(const std::vector<TRecordEntry>& entries) {
    std::vector<std::size_t> answered(entries.size(), std::string::npos);
    std::size_t lastWrite = std::string::npos;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (IsPcWrite(entries[i])) lastWrite = i;
        const bool answers = entries[i].Direction == TRecordDirection::rdOut && lastWrite != std::string::npos &&
                             CaptureTime(entries[i]) - CaptureTime(entries[lastWrite]) <= AnswerWindow;
        if (answers) answered[i] = lastWrite;
    }
    return answered;
}

std::string FirstWord(const std::string& note) { return note.substr(0, note.find(' ')); }

} // namespace

TCaptureDecode::TCapture TCaptureDecode::Read(const std::string& path) {
    const QFileInfo file(QString::fromStdString(path));
    if (file.isDir()) throw std::runtime_error(path + " is a folder, not a capture");
    // (A device such as a serial port or /dev/zero would be read for ever.)
    if (file.exists() && !file.isFile()) throw std::runtime_error(path + " is not a file, so not a capture");
    std::ifstream input(path, std::ios::binary);
    if (!input) throw std::runtime_error("cannot read the capture " + path);
    std::ostringstream text;
    text << input.rdbuf();
    std::istringstream entries(text.str());
    TCapture capture;
    try {
        capture = {ParseRecord(entries),
                   QDateTime::fromString(QString::fromStdString(HeaderLine(text.str(), StartedComment)),
                                         Qt::ISODateWithMs),
                   HeaderLine(text.str(), PortComment).ends_with(" open"),
                   HeaderLine(text.str(), ConsoleComment)};
    } catch (const std::invalid_argument& fault) {
        throw std::runtime_error("the capture " + path + " is not a capture: " + fault.what());
    }
    // (What a capture stopped in its first second leaves.)
    if (capture.Entries.empty()) throw std::runtime_error("the capture " + path + " holds no traffic");
    return capture;
}

// A byte-stream console cannot announce itself, so a capture of one was made assuming it, and
// one of a framed console was not: the capture's own version decides the family.
double TCaptureDecode::StartupVersion(const TCapture& capture, double asked) {
    std::string known = capture.ConsoleVersion;
    for (const TRecordEntry& entry : capture.Entries) {
        if (!known.empty()) break;
        if (entry.Direction == TRecordDirection::rdNote && FirstWord(entry.Bytes) == "version")
            known = entry.Bytes.substr(8);
    }
    bool numeric = false;
    const double version = QString::fromStdString(known).toDouble(&numeric);
    if (!numeric || (version <= 3) == (asked <= 3)) return asked;
    return version <= 3 ? version : TTerminalSession::StartupVersion;
}

TCaptureDecode::TCaptureDecode(TTerminalSession& session, TVirtualTime& time) : FSession(session), FTime(time) {
    if (!FLinkFolder.isValid()) throw std::runtime_error("no folder for the decode's line: " + FLinkFolder.errorString().toStdString());
    FLinkPath = FLinkFolder.filePath(QStringLiteral("console")).toStdString();
    FLine.Open(FLinkPath);
    FSession.Device().SetComPortPort(FLinkPath);
    FReadCounter.OnRead = [this](const char*, int count) { FBytesRead += static_cast<std::uint64_t>(count); };
    FReadCounter.OnConn = [this](bool open) { FReopenAwaited = FReopenAwaited && !open; };
    FReadCounter.OnTxBuf = [this](const char* buffer, int count) { MatchPcWrite(ByteString(buffer, count)); };
    FSession.Device().GetComPort()->RegisterLink(&FReadCounter);
    FTime.WakeUp = [this](TVirtualTime::TDuration due) { return WakeUpBeforeTheSessionsNote(due); };
    // The device outlives the decode: its handler finds the decode gone.
    FReopenFailed = std::make_shared<std::function<void()>>([this] { SessionReopenFailed(); });
    RunAfterHandler(FSession.Device().OnKvdErrorInfo, [hook = std::weak_ptr(FReopenFailed)](TComponent*, int,
                                                                                            int code, int) {
        if (const auto reopenFailed = hook.lock(); reopenFailed && code == SurveyReport::PortNotOpen)
            (*reopenFailed)();
    });
}

TCaptureDecode::~TCaptureDecode() {
    FTime.WakeUp = nullptr;
    FSession.Device().GetComPort()->UnregisterLink(&FReadCounter);
}

void TCaptureDecode::Play(const TCapture& capture) {
    const std::vector<TRecordEntry>& entries = capture.Entries;
    FEntries = &entries;
    FNext = 0;
    FAfterPcWrite = PcWritesAnswered(entries);
    FPcWritesMatched = 0;
    // Begun on a port already open: the session opens it as the capture begins (its hand-shake
    // is not in the capture, so the console's bytes come to a port that has not connected).
    ScheduleNext();
    if (capture.PortOpenAtStart) {
        FIdentificationAnswer = IdentificationAnswerOf(capture.ConsoleVersion);
        OpenOrClosePort();
    }
    // The entries run as the virtual time's actions, so that a wait of the session's (the
    // handshake's, a repair's) plays those that come while it waits.
    // Not beyond the last entry's time (unless it waits for the PC's write), where the ride ended.
    // In slices, so that a quit signal ends the decode where it came.
    const TVirtualTime::TDuration end = CaptureTime(entries.back());
    while (FNext < entries.size() && !WaitsAborted())
        FTime.Pass(std::clamp(end - FTime.Elapsed(), TVirtualTime::TDuration(std::chrono::milliseconds(1)),
                              PlaySlice));
}

void TCaptureDecode::ScheduleNext() {
    if (FNext < FEntries->size()) FTime.After(CaptureTime((*FEntries)[FNext]) - FTime.Elapsed(), [this] { PlayNext(); });
}

void TCaptureDecode::PlayNext() {
    if (WaitsAborted()) return;
    if (AwaitsThePcsWrite(FNext)) {
        Hold(FNext);
        return;
    }
    const TRecordEntry& entry = (*FEntries)[FNext++];
    ScheduleNext();
    Act(entry);
}

bool TCaptureDecode::AwaitsThePcsWrite(std::size_t index) const {
    const std::size_t write = FAfterPcWrite[index];
    return write != std::string::npos && write >= FPcWritesMatched;
}

// Until the session makes the write, or the answer window ends: then the write is given up.
void TCaptureDecode::Hold(std::size_t index) {
    const TVirtualTime::TDuration end = CaptureTime((*FEntries)[index]) + AnswerWindow;
    FHoldExpiry = FTime.After(end - FTime.Elapsed(), [this, index] {
        FHoldExpiry = 0;
        FPcWritesMatched = std::max(FPcWritesMatched, FAfterPcWrite[index] + 1);
        PlayNext();
    });
}

// Begun on a connected port, the capture has no hand-shake: the console's answer is given once,
// as the console of the header's version gives it, so that the session connects as it had.
void TCaptureDecode::AnswerIdentification(const ByteString& written) {
    const bool asked = written == KelvoProtocol::BuildRequest(KelvoProtocol::rqIdentification, KelvoProtocol::IdentificationCode, 0) ||
                       written == ByteString(1, static_cast<char>(KelvoProtocol::IdentificationCode));
    if (FIdentificationAnswer.empty() || !asked) return;
    FTime.After(TVirtualTime::TDuration(0), [this, answer = std::exchange(FIdentificationAnswer, {})] { Deliver(answer); });
}

// A wait that the capture shows ended late: the session's next note (a request it sent, the
// port it opened) came just after the wait's due time; it ends just before that note, after
// what the console sent meanwhile. (The PC's writes cannot show it: a byte-stream console's
// polls follow its bytes whatever the session waits for.)
// The wait before a repair's reopen that succeeded live ends just before that reopen, however
// late it came.
TVirtualTime::TDuration TCaptureDecode::WakeUpBeforeTheSessionsNote(TVirtualTime::TDuration due) const {
    if (FEntries == nullptr) return due;
    const std::vector<TRecordEntry>& entries = *FEntries;
    const TVirtualTime::TDuration lateness = FReopenAwaited ? ReopenLateness : LateWakeUp;
    for (std::size_t i = FNext; i < entries.size() && CaptureTime(entries[i]) <= due + lateness; ++i) {
        if (entries[i].Direction != TRecordDirection::rdNote || CaptureTime(entries[i]) < due) continue;
        if (!FReopenAwaited || FirstWord(entries[i].Bytes) == "open")
            return CaptureTime(entries[i]) - std::chrono::microseconds(1);
    }
    return due;
}

// The session wrote: the capture's next write of the same bytes is made; an entry held for it
// plays at once (from the virtual time, not from inside the session's write).
void TCaptureDecode::MatchPcWrite(const ByteString& bytes) {
    if (FEntries == nullptr) return;
    AnswerIdentification(bytes);
    const std::vector<TRecordEntry>& entries = *FEntries;
    const TVirtualTime::TDuration horizon = FTime.Elapsed() + WriteMatchWindow;
    for (std::size_t i = FPcWritesMatched; i < entries.size() && CaptureTime(entries[i]) <= horizon; ++i) {
        if (!IsPcWrite(entries[i]) || entries[i].Bytes != bytes) continue;
        FPcWritesMatched = i + 1;
        break;
    }
    if (FHoldExpiry == 0 || AwaitsThePcsWrite(FNext)) return;
    FTime.Cancel(std::exchange(FHoldExpiry, 0));
    FTime.After(TVirtualTime::TDuration(0), [this] { PlayNext(); });
}

void TCaptureDecode::Act(const TRecordEntry& entry) {
    // What the PC wrote is the session's own now; the line only has to stay empty.
    FLine.ReadAvailable();
    if (entry.Direction == TRecordDirection::rdOut) Deliver(entry.Bytes);
    if (entry.Direction == TRecordDirection::rdNote) ActOnNote(entry.Bytes);
}

void TCaptureDecode::ActOnNote(const std::string& note) {
    const std::string word = FirstWord(note);
    if (word == "repairing") FRepairing = true;
    if (word == "version" || word == "repaired" || word == "connection-lost") FRepairing = false;
    if (word == "hangup") TakeLineAway();
    const bool userOpened = word == "open" && !FRepairing && !PortOpen();
    const bool userClosed = word == "close" && !FRepairing && PortOpen();
    if (userOpened || userClosed) OpenOrClosePort();
    RepeatUserCommand(word, note);
}

// What the user set in the window is set again, so that the figures that follow agree.
void TCaptureDecode::RepeatUserCommand(const std::string& word, const std::string& note) {
    TKelvoDevice& device = FSession.Device();
    const std::string value = note.substr(note.rfind(' ') + 1);
    if (word == "version-selected") device.SetVersion(QString::fromStdString(value).toDouble());
    if (word == "setpoint")
        FSession.RunUserWrite([&] { device.SetKelvoResistance(QString::fromStdString(value).toInt()); });
}

void TCaptureDecode::OpenOrClosePort() {
    const std::string failure = FSession.OpenOrClosePort();
    if (!failure.empty()) MonitorOutput::PrintLine("!!! " + MonitorOutput::OneLine(failure));
}

// From the line's hang-up until the session's reopens have failed as often as the capture's
// did before its next open (none: for good). Counted, not timed, so that a repair whose waits ran
// late live fails and succeeds at the same attempts again.
void TCaptureDecode::TakeLineAway() {
    const std::vector<TRecordEntry>& entries = *FEntries;
    const auto isNote = [](const std::string& word) {
        return [word](const TRecordEntry& entry) {
            return entry.Direction == TRecordDirection::rdNote && FirstWord(entry.Bytes) == word;
        };
    };
    const auto from = entries.begin() + static_cast<std::ptrdiff_t>(FNext);
    const auto reopen = std::find_if(from, entries.end(), isNote("open"));
    FLine.Close();
    FReopensToFail = 0;
    if (reopen == entries.end()) return;
    FReopensToFail = static_cast<std::size_t>(std::count_if(from, reopen, isNote("reopen-failed")));
    if (FReopensToFail == 0) BringLineBack();
}

void TCaptureDecode::SessionReopenFailed() {
    if (FReopensToFail > 0 && --FReopensToFail == 0) BringLineBack();
}

void TCaptureDecode::BringLineBack() {
    FReopenAwaited = true;
    FLine.Open(FLinkPath);
}

// The console's bytes, read by the port before the next entry's time comes.
void TCaptureDecode::Deliver(const ByteString& bytes) {
    if (!PortOpen() || !FLine.IsOpen()) {
        ++FUnreadEntries;
        return;
    }
    FBytesDelivered = std::max(FBytesDelivered, FBytesRead) + bytes.size();
    FLine.Write(bytes);
    // A port that stopped reading is not waited for again until it reads (a second for each of
    // a night's entries would never end).
    const QDeadlineTimer deadline(FPortStalled ? 0 : ReadBackMs);
    do {
        QCoreApplication::processEvents();
        TMainThreadHandOver::Instance().serve();
        if (FBytesRead < FBytesDelivered) std::this_thread::yield();
    } while (FBytesRead < FBytesDelivered && !deadline.hasExpired() && !WaitsAborted());
    FPortStalled = FBytesRead < FBytesDelivered;
    if (FPortStalled && !WaitsAborted()) ++FUnreadEntries;
}

bool TCaptureDecode::PortOpen() const { return FSession.Device().GetComPortConnected(); }
