#include "terminal/TrafficCapture.h"

#include "device_link/ComLinkHost.h"

#include <QFileInfo>

#include <cerrno>
#include <chrono>
#include <cstring>

#include <unistd.h>

namespace {
constexpr int FlushIntervalMs = 1000;

double SteadyMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}
} // namespace

TTrafficCapture::TTrafficCapture(TClock clock) : FClock(clock ? std::move(clock) : TClock(SteadyMs)) {
    FFlushTimer.setInterval(FlushIntervalMs);
    QObject::connect(&FFlushTimer, &QTimer::timeout, [this] { Flush(); });
    FLink.OnRead = [this](const char* buffer, int count) {
        Received(std::string_view(buffer, static_cast<std::size_t>(count)));
    };
    FLink.OnTxBuf = [this](const char* buffer, int count) {
        Sent(std::string_view(buffer, static_cast<std::size_t>(count)));
    };
    FLink.OnConn = [this](bool open) {
        if (DescribePort) Note(DescribePort(open));
    };
    // The emulator's own word for it, so that a decode can take the line away at the same time.
    FLink.OnHangUp = [this] { Note("hangup"); };
}

TTrafficCapture::~TTrafficCapture() {
    Detach();
    Stop();
}

std::string TTrafficCapture::Start(const std::string& path, const std::vector<std::string>& header) {
    Stop();
    // The user chose the file (a dialog asked before replacing it): a capture is one ride. An old
    // capture is replaced only once the new one's header is written, so a full disk keeps it.
    const bool replacing = QFileInfo(QString::fromStdString(path)).isFile();
    const std::string writing = replacing ? path + ".new" : path;
    FFile.setFileName(QString::fromStdString(writing));
    if (!FFile.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return FFile.errorString().toStdString();
    FFileName = path;
    FStartMs = FClock();
    // A second of the fastest console's lines, so that keeping a line never reallocates.
    FPending.reserve(64 * 1024);
    for (const std::string& line : header) FPending += "# " + line + "\n";
    // The header is written at once, so a disk that cannot take it refuses the start itself.
    bool started = WritePending();
    if (started && replacing && ::rename(writing.c_str(), path.c_str()) != 0) {
        SetWriteError(errno);
        started = false;
    }
    if (!started) {
        FPending.clear();
        FFile.close();
        if (replacing) QFile::remove(QString::fromStdString(writing));
        return FWriteError;
    }
    FFlushTimer.start();
    return {};
}

void TTrafficCapture::Stop() {
    if (!IsRunning()) return;
    Flush();
    FFlushTimer.stop();
    FFile.close();
}

void TTrafficCapture::Attach(TComLinkHost& port) {
    Detach();
    port.RegisterLink(&FLink);
    FPort = &port;
}

void TTrafficCapture::Detach() {
    if (FPort == nullptr) return;
    FPort->UnregisterLink(&FLink);
    FPort = nullptr;
}

// The record is the console's view: what the PC read, the console sent ("out").
void TTrafficCapture::Received(std::string_view bytes) { Keep(TRecordDirection::rdOut, bytes); }

void TTrafficCapture::Sent(std::string_view bytes) { Keep(TRecordDirection::rdIn, bytes); }

void TTrafficCapture::Note(std::string_view text) { Keep(TRecordDirection::rdNote, text); }

void TTrafficCapture::Keep(TRecordDirection direction, std::string_view bytes) {
    if (!IsRunning()) return;
    AppendRecordLine(FPending, FClock() - FStartMs, direction, bytes);
    if (FPending.size() >= FlushBytes) Flush();
}

void TTrafficCapture::Flush() {
    if (!IsRunning() || FPending.empty()) return;
    if (!WritePending()) Fail();
}

// Written to the end, or the system's reason: a disk that fills takes part of a write first
// and refuses the rest. Synced once written, so that a pulled plug loses a second at most.
bool TTrafficCapture::WritePending() {
    std::size_t done = 0;
    while (done < FPending.size()) {
        const ssize_t written = ::write(FFile.handle(), FPending.data() + done, FPending.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            if (written == 0)
                FWriteError = "the disk took nothing more";
            else
                SetWriteError(errno);
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    FPending.clear();
    ::fdatasync(FFile.handle());
    return true;
}

void TTrafficCapture::SetWriteError(int systemError) {
    FWriteError = std::strerror(systemError);
}

void TTrafficCapture::Fail() {
    const std::string message = "The capture " + FFileName + " stopped: " + FWriteError;
    FPending.clear();
    FFlushTimer.stop();
    FFile.close();
    if (OnFailed) OnFailed(message);
}
