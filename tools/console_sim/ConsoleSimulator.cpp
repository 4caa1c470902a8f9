#include "console_sim/ConsoleSimulator.h"

#include <algorithm>
#include <cmath>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {
// Upper bound of one wait, so that a missed wake-up costs little.
constexpr double LongestWaitMs = 100;
} // namespace

TConsoleSimulator::TConsoleSimulator(const TConsoleSettings& settings) : FMachine(settings) {}

TConsoleSimulator::~TConsoleSimulator() { Stop(); }

void TConsoleSimulator::SetRecordFile(const std::string& path) {
    FRecordFile.open(path, std::ios::out | std::ios::trunc);
    if (!FRecordFile) throw std::runtime_error("cannot write the record file " + path);
    FRecordFile << "# kelvo-console-sim record, console version " << FMachine.GetVersion().Version << "\n"
                << "# milliseconds since start, in (from the PC) | out (to the PC) | note, bytes in hexadecimal\n";
    FRecordFile.flush();
}

void TConsoleSimulator::Start() {
    FLine.Open(FLinkPath);
    FWakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (FWakeFd < 0) {
        FLine.Close();
        throw std::runtime_error("cannot create the emulator's wake-up event");
    }
    {
        std::lock_guard lock(FMutex);
        FSlavePath = FLine.GetSlavePath();
        FStopping = false;
    }
    FStartTime = TClock::now();
    Perform(0, FMachine.Start(0));
    FThread = std::thread([this] { Run(); });
}

void TConsoleSimulator::Stop() {
    if (FThread.joinable()) {
        {
            std::lock_guard lock(FMutex);
            FStopping = true;
        }
        Wake();
        FThread.join();
    }
    FLine.Close();
    if (FWakeFd >= 0) ::close(FWakeFd);
    FWakeFd = -1;
}

std::string TConsoleSimulator::GetSlavePath() const {
    std::lock_guard lock(FMutex);
    return FSlavePath;
}

void TConsoleSimulator::Command(const std::string& line) {
    const TConsoleCommand command = ParseConsoleCommand(line);
    FMachine.Check(command); // the family never changes, so this reads nothing the thread writes
    {
        std::lock_guard lock(FMutex);
        FCommands.push_back(command);
    }
    Wake();
}

std::vector<TRecordEntry> TConsoleSimulator::GetRecord() const {
    std::lock_guard lock(FMutex);
    return FRecord;
}

bool TConsoleSimulator::WaitForRecord(const TRecordTest& test, int timeoutMs) const {
    std::unique_lock lock(FMutex);
    return FRecordChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return test(FRecord); });
}

double TConsoleSimulator::NowMs() const {
    return std::chrono::duration<double, std::milli>(TClock::now() - FStartTime).count();
}

void TConsoleSimulator::Wake() {
    const std::uint64_t one = 1;
    if (FWakeFd >= 0) [[maybe_unused]] auto written = ::write(FWakeFd, &one, sizeof one);
}

void TConsoleSimulator::Run() {
    for (;;) {
        {
            std::lock_guard lock(FMutex);
            if (FStopping) return;
        }
        const double now = NowMs();
        RunCommands(now);
        if (FReappearAtMs >= 0 && now >= FReappearAtMs) Reappear(now);
        Perform(now, FMachine.Advance(now));
        WaitForWork(now);
    }
}

void TConsoleSimulator::RunCommands(double nowMs) {
    std::deque<TConsoleCommand> commands;
    {
        std::lock_guard lock(FMutex);
        commands.swap(FCommands);
    }
    for (const TConsoleCommand& command : commands) Perform(nowMs, FMachine.Apply(nowMs, command));
}

void TConsoleSimulator::Perform(double nowMs, const TConsoleActions& actions) {
    for (const TConsoleAction& action : actions) {
        switch (action.Kind) {
        case TConsoleAction::akSend:
            if (FLine.IsOpen()) Record(nowMs, TRecordDirection::rdOut, FLine.Write(action.Bytes));
            break;
        case TConsoleAction::akNote: Record(nowMs, TRecordDirection::rdNote, action.Bytes); break;
        case TConsoleAction::akHangUp: HangUp(nowMs, action.Ms); break;
        }
    }
}

void TConsoleSimulator::Record(double nowMs, TRecordDirection direction, const ByteString& bytes) {
    if (bytes.empty()) return;
    const TRecordEntry entry{nowMs, direction, bytes};
    if (FRecordFile.is_open()) FRecordFile << RecordLineText(entry) << '\n' << std::flush;
    {
        std::lock_guard lock(FMutex);
        if (FKeepRecord) FRecord.push_back(entry);
    }
    FRecordChanged.notify_all();
}

void TConsoleSimulator::HangUp(double nowMs, double awayMs) {
    FLine.Close();
    FMachine.LineLost();
    FReappearAtMs = nowMs + awayMs;
    Record(nowMs, TRecordDirection::rdNote, "hangup");
}

void TConsoleSimulator::Reappear(double nowMs) {
    FReappearAtMs = -1;
    try {
        FLine.Open(FLinkPath);
    } catch (const std::runtime_error& error) {
        Record(nowMs, TRecordDirection::rdNote, std::string("reappear-failed ") + error.what());
        if (OnReappearFailed) OnReappearFailed(error.what());
        return;
    }
    {
        std::lock_guard lock(FMutex);
        FSlavePath = FLine.GetSlavePath();
    }
    Record(nowMs, TRecordDirection::rdNote, "reappear");
    if (OnLineReappeared) OnLineReappeared(FLine.GetSlavePath());
}

void TConsoleSimulator::WaitForWork(double nowMs) {
    double due = std::min(FMachine.NextDueMs(), nowMs + LongestWaitMs);
    if (FReappearAtMs >= 0) due = std::min(due, FReappearAtMs);
    const int timeout = static_cast<int>(std::ceil(std::max(0.0, due - nowMs)));
    pollfd fds[2] = {{FWakeFd, POLLIN, 0}, {FLine.GetMasterFd(), POLLIN, 0}};
    const nfds_t count = FLine.IsOpen() ? 2 : 1;
    if (::poll(fds, count, timeout) <= 0) return;
    // A command given before the PC wrote is applied before the PC's bytes are answered.
    if (fds[0].revents & POLLIN) {
        std::uint64_t value = 0;
        [[maybe_unused]] auto read = ::read(FWakeFd, &value, sizeof value);
        RunCommands(NowMs());
    }
    if (count == 2 && (fds[1].revents & POLLIN)) ReceiveFromPc(NowMs());
}

void TConsoleSimulator::ReceiveFromPc(double nowMs) {
    const ByteString bytes = FLine.ReadAvailable();
    Record(nowMs, TRecordDirection::rdIn, bytes);
    if (!bytes.empty()) Perform(nowMs, FMachine.Receive(nowMs, bytes));
}
