// kelvo_terminal_bench: kelvo-terminal showing the emulated version 5 console, for a ride at the
// console's 10 frames/s and one at the line's full rate (87 long frames/s, replayed).
//  - The program on an X display (the bench runs itself under xvfb-run when there is none): F8
//    opens the emulator's port; over the ride, its user + system processor time as a share of one
//    core, its wake-ups (voluntary context switches) per frame, and its resident memory at the
//    start, after the first minute and at the end. Start-up is not counted.
//  - The same window built in this process, offscreen, with the emulator on its own thread: the
//    latency from each infos frame the console writes to its line being in the terminal's ring.
//   kelvo_terminal_bench [--seconds N] [--settle N] [--latency-seconds N] [--full-rate-only]
// Defaults: 60 s rides of the program, counted from 2 s after the handshake (--settle 105 counts a
// 10 frames/s ride once the terminal's ring is full), 30 s latency rides; --latency-seconds 0 skips
// them. For the memory over 10 minutes: --seconds 600 --full-rate-only.
#include "RideCapture.h"

#include "console_sim/ConsoleSimulator.h"
#include "terminal/UserDialogs.h"
#include "ui/TerminalMainForm.h"
#include "ui/TerminalView.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <signal.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using RideCapture::TClock;
namespace fs = std::filesystem;

constexpr const char* WindowTitle = "Kelvo Terminal Tester";
// At the port's close the frames of this last stretch may still be on their way.
constexpr double InFlightMs = 100;

struct TOptions {
    int Seconds = 60;
    // After the handshake the window settles (first lines, labels, layout) before the ride counts.
    int SettleSeconds = 2;
    int LatencySeconds = 30;
    bool FullRateOnly = false;
};

struct TRide {
    const char* Title;
    bool FullRate;
};

[[noreturn]] void Fail(const std::string& why) {
    std::fprintf(stderr, "kelvo_terminal_bench: %s\n", why.c_str());
    std::exit(EXIT_FAILURE);
}

// ---- the program, measured from outside -------------------------------------------------------

struct TProcessSample {
    double CpuSeconds = 0;
    long ContextSwitches = 0;
    long ResidentKiB = 0;
};

std::string ReadFile(const fs::path& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

long StatusField(const std::string& status, const std::string& name) {
    const std::size_t at = status.find(name + ":");
    return at == std::string::npos ? 0 : std::atol(status.c_str() + at + name.size() + 1);
}

TProcessSample Sample(pid_t pid) {
    const fs::path process = "/proc/" + std::to_string(pid);
    TProcessSample sample;
    // utime and stime are fields 14 and 15, counted after the parenthesised command name.
    const std::string stat = ReadFile(process / "stat");
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::vector<std::string> words{std::istream_iterator<std::string>(fields), {}};
    if (words.size() > 12) {
        const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
        sample.CpuSeconds = (std::atof(words[11].c_str()) + std::atof(words[12].c_str())) / ticks;
    }
    sample.ResidentKiB = StatusField(ReadFile(process / "status"), "VmRSS");
    for (const fs::directory_entry& task : fs::directory_iterator(process / "task"))
        sample.ContextSwitches += StatusField(ReadFile(task.path() / "status"), "voluntary_ctxt_switches");
    return sample;
}

// A failed ride leaves no program behind; its work folder stays for its terminal.out.
[[noreturn]] void FailRide(pid_t terminal, const std::string& why) {
    kill(terminal, SIGTERM);
    waitpid(terminal, nullptr, 0);
    Fail(why);
}

std::string CommandOutput(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
        pclose(pipe);
    }
    return output.substr(0, output.find('\n'));
}

fs::path NewWorkFolder() {
    char pattern[] = "/tmp/kelvo-terminal-bench.XXXXXX";
    if (mkdtemp(pattern) == nullptr) Fail("no work folder");
    return pattern;
}

// The registry of a run names the port, so that F8 opens it.
void NamePortInRegistry(const fs::path& config, const std::string& port) {
    fs::create_directories(config / "Corvane");
    std::ofstream(config / "Corvane" / "Tavrik.conf") << "[General]\nPort=" << port << "\n";
}

fs::path WorkFolderFor(const std::string& port) {
    const fs::path work = NewWorkFolder();
    NamePortInRegistry(work / "config", port);
    return work;
}

// The program runs from a copy in `work`, which keeps its settings.ini and CS.log. The console's
// thread runs already: the child only redirects its output and starts the program.
pid_t StartTerminal(const fs::path& work) {
    fs::copy_file(KELVO_TERMINAL_PATH, work / "kelvo-terminal");
    const std::string program = (work / "kelvo-terminal").string();
    const std::string output = (work / "terminal.out").string();
    setenv("XDG_CONFIG_HOME", (work / "config").c_str(), 1);
    unsetenv("QT_QPA_PLATFORM");
    const pid_t child = fork();
    if (child != 0) return child;
    const int log = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(log, STDOUT_FILENO);
    dup2(log, STDERR_FILENO);
    execl(program.c_str(), "kelvo-terminal", static_cast<char*>(nullptr));
    _exit(127);
}

void OpenPortWithF8(pid_t terminal) {
    const std::string window =
        CommandOutput(std::string("timeout 30 xdotool search --sync --onlyvisible --name '") + WindowTitle + "'");
    int status = 0;
    if (window.empty() || waitpid(terminal, &status, WNOHANG) != 0) FailRide(terminal, "the main window did not appear");
    if (std::system(("xdotool windowfocus --sync " + window + " key --clearmodifiers F8").c_str()) != 0)
        FailRide(terminal, "xdotool could not press F8");
}

bool Handshaken(const std::vector<TRecordEntry>& record) {
    return std::any_of(record.begin(), record.end(), [](const TRecordEntry& entry) {
        return entry.Direction == TRecordDirection::rdNote && entry.Bytes == "handshake";
    });
}

long InfosFramesBetween(const std::vector<TRecordEntry>& record, double fromMs, double toMs) {
    return std::count_if(record.begin(), record.end(), [&](const TRecordEntry& entry) {
        return RideCapture::IsInfosFrame(entry) && entry.TimeMs >= fromMs && entry.TimeMs < toMs;
    });
}

double MsSince(TClock::time_point start) {
    return std::chrono::duration<double, std::milli>(TClock::now() - start).count();
}

double MiB(long kib) { return static_cast<double>(kib) / 1024; }

void StartConsole(TConsoleSimulator& console, const TRide& ride, int seconds) {
    if (ride.FullRate) console.SetReplay(RideCapture::FullRateCapture(seconds));
    console.Start();
}

void MeasureProgram(const TRide& ride, int seconds, int settleSeconds) {
    std::fprintf(stderr, "%s: starting kelvo-terminal for a %d s ride ...\n", ride.Title, seconds);
    TConsoleSimulator console(TConsoleSettings{});
    const TClock::time_point consoleStart = TClock::now();
    StartConsole(console, ride, settleSeconds + seconds + 30);
    const fs::path work = WorkFolderFor(console.GetSlavePath());
    const pid_t terminal = StartTerminal(work);
    OpenPortWithF8(terminal);
    if (!console.WaitForRecord(Handshaken, 15000))
        FailRide(terminal, "no handshake after F8: see " + (work / "terminal.out").string());
    std::this_thread::sleep_for(std::chrono::seconds(settleSeconds));

    const double startMs = MsSince(consoleStart);
    const TProcessSample start = Sample(terminal);
    long residentAfterAMinute = 0;
    long residentLargest = start.ResidentKiB;
    TProcessSample end = start;
    for (int second = 1; second <= seconds; ++second) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        end = Sample(terminal);
        residentLargest = std::max(residentLargest, end.ResidentKiB);
        if (second == 60) residentAfterAMinute = end.ResidentKiB;
    }
    const double endMs = MsSince(consoleStart);
    kill(terminal, SIGTERM);
    waitpid(terminal, nullptr, 0);
    console.Stop();
    fs::remove_all(work);

    const long frames = InfosFramesBetween(console.GetRecord(), startMs, endMs);
    const double cpu = end.CpuSeconds - start.CpuSeconds;
    std::printf("%s: kelvo-terminal on the display, %d s of riding from %d s after the handshake\n", ride.Title,
                seconds, settleSeconds);
    std::printf("  infos frames %ld; processor time %.2f s = %.2f %% of one core\n", frames, cpu, cpu / seconds * 100);
    std::printf("  wake-ups (voluntary context switches of its threads) per frame %.1f, per second %.0f\n",
                frames > 0 ? static_cast<double>(end.ContextSwitches - start.ContextSwitches) / frames : 0.0,
                static_cast<double>(end.ContextSwitches - start.ContextSwitches) / seconds);
    std::printf("  resident memory: start %.1f MiB, end %.1f MiB, largest %.1f MiB", MiB(start.ResidentKiB),
                MiB(end.ResidentKiB), MiB(residentLargest));
    if (residentAfterAMinute > 0)
        std::printf(", growth after the first minute %+.2f MiB", MiB(end.ResidentKiB - residentAfterAMinute));
    std::printf("\n");
}

// ---- the window in this process, for the latency ---------------------------------------------

// No box may stop a benchmark: what would be shown goes to the standard error.
class TBenchDialogs final : public TUserDialogs {
public:
    void ShowMessage(TBoxKind, const std::string& text) override { Note(text); }
    TAnswer AskNoRetry(const std::string& text) override {
        Note(text);
        return anNo;
    }
    TAnswer AskYesNoCancel(const std::string& text) override {
        Note(text);
        return anNo;
    }
    void Beep() override {}
    bool ChoosePrinter(QPrinter&) override { return false; }
    void SetUpPrinter(QPrinter&) override {}

private:
    static void Note(const std::string& text) { std::fprintf(stderr, "  (box: %s)\n", text.c_str()); }
};

// Counts, per receiver, the paints, timer ticks and layout passes that the window's event loop
// runs: where its wake-ups and drawing go.
class TEventCensus final : public QObject {
public:
    TEventCensus() { qApp->installEventFilter(this); }
    void Stop() { qApp->removeEventFilter(this); }
    TEventCensus(const TEventCensus&) = delete;
    TEventCensus& operator=(const TEventCensus&) = delete;

    // Receivers that got more than `perSecond` events of a kind a second, busiest first.
    void Print(int seconds, double perSecond) const {
        std::vector<std::pair<std::string, long>> rows(FCounts.begin(), FCounts.end());
        std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
        std::printf("  events of the window's loop per second (more than %.0f):", perSecond);
        for (const auto& [what, count] : rows) {
            const double rate = static_cast<double>(count) / seconds;
            if (rate > perSecond) std::printf(" %s %.0f;", what.c_str(), rate);
        }
        std::printf("\n");
    }

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override {
        const char* kind = KindOf(event->type());
        if (kind != nullptr) ++FCounts[std::string(kind) + " " + NameOf(*receiver)];
        return false;
    }

private:
    static const char* KindOf(QEvent::Type type) {
        switch (type) {
        case QEvent::Paint: return "paint";
        case QEvent::Timer: return "timer";
        case QEvent::LayoutRequest: return "layout";
        case QEvent::MetaCall: return "queued-call";
        default: return nullptr;
        }
    }
    static std::string NameOf(const QObject& receiver) {
        const std::string name = receiver.objectName().toStdString();
        return name.empty() ? receiver.metaObject()->className() : name;
    }

    std::map<std::string, long> FCounts;
};

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// `registry` is XDG_CONFIG_HOME of this process, fixed before the application starts.
void MeasureLatency(const TRide& ride, int seconds, const fs::path& registry) {
    std::fprintf(stderr, "%s: the window in process for %d s ...\n", ride.Title, seconds);
    TConsoleSimulator console(TConsoleSettings{});
    const TClock::time_point consoleStart = TClock::now();
    StartConsole(console, ride, seconds + 10);
    NamePortInRegistry(registry, console.GetSlavePath());

    std::vector<RideCapture::TShownLine> lines;
    double cpu = 0;
    double closedMs = 0;
    std::optional<TEventCensus> census;
    {
        TBenchDialogs dialogs;
        TTerminalMainForm window(dialogs);
        window.show();
        auto* memo = window.findChild<TTerminalView*>("Memo");
        if (memo == nullptr) Fail("the window has no terminal Memo");
        QObject::connect(memo, &TTerminalView::TextChanged, [&] {
            const TTerminalLines& ring = memo->Lines();
            if (ring.Count() > 0) lines.push_back({TClock::now(), ring.Line(ring.Count() - 1)});
        });
        window.Action(TCommand::OpenPort)->trigger();
        census.emplace();
        const double cpuBefore = ThreadCpuSeconds();
        QTimer::singleShot(seconds * 1000, qApp, &QCoreApplication::quit);
        QApplication::exec();
        cpu = ThreadCpuSeconds() - cpuBefore;
        census->Stop();
        closedMs = MsSince(consoleStart);
        window.Action(TCommand::OpenPort)->trigger();
    }
    console.Stop();

    const std::vector<TRecordEntry> record = console.GetRecord();
    const std::vector<double> latencies = RideCapture::LatenciesMs(record, lines, consoleStart);
    std::printf("%s: the window in process (offscreen), %d s\n", ride.Title, seconds);
    // Frames of the last moments may still be on their way when the port closes.
    std::printf("  infos frames sent until %.0f ms before the port closed %ld, lines shown %zu; main thread's "
                "processor time %.2f %% of one core\n",
                InFlightMs, InfosFramesBetween(record, 0, closedMs - InFlightMs), latencies.size(), cpu / seconds * 100);
    RideCapture::PrintLatencies("in the terminal's ring", latencies);
    census->Print(seconds, 5);
}

TOptions ReadOptions(int argc, char** argv) {
    TOptions options;
    bool valid = true;
    for (int i = 1; i < argc && valid; ++i) {
        const std::string option = argv[i];
        const bool hasValue = i + 1 < argc;
        if (option == "--seconds" && hasValue) options.Seconds = std::atoi(argv[++i]);
        else if (option == "--settle" && hasValue) options.SettleSeconds = std::atoi(argv[++i]);
        else if (option == "--latency-seconds" && hasValue) options.LatencySeconds = std::atoi(argv[++i]);
        else if (option == "--full-rate-only") options.FullRateOnly = true;
        else valid = false;
    }
    if (!valid || options.Seconds <= 0 || options.SettleSeconds < 0 || options.LatencySeconds < 0) {
        std::fprintf(stderr,
                     "usage: kelvo_terminal_bench [--seconds N] [--settle N] [--latency-seconds N] [--full-rate-only]\n");
        std::exit(2);
    }
    return options;
}

// The program needs a display; without one the bench runs itself again under a virtual one.
void EnsureDisplay(char** argv) {
    if (std::getenv("DISPLAY") != nullptr) return;
    if (std::getenv("KELVO_BENCH_UNDER_XVFB") != nullptr) Fail("xvfb-run gave no display");
    setenv("KELVO_BENCH_UNDER_XVFB", "1", 1);
    std::vector<char*> command{const_cast<char*>("xvfb-run"), const_cast<char*>("-a"), const_cast<char*>("-s"),
                               const_cast<char*>("-screen 0 1280x1024x24")};
    for (char** arg = argv; *arg != nullptr; ++arg) command.push_back(*arg);
    command.push_back(nullptr);
    execvp("xvfb-run", command.data());
    Fail("xvfb-run is missing (scripts/setup installs it)");
}

} // namespace

int main(int argc, char** argv) {
    const TOptions options = ReadOptions(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    EnsureDisplay(argv);
    std::vector<TRide> rides;
    if (!options.FullRateOnly) rides.push_back({"version 5, 10 frames/s", false});
    rides.push_back({"version 5, full line rate (87 frames/s, replayed)", true});
    for (const TRide& ride : rides) MeasureProgram(ride, options.Seconds, options.SettleSeconds);
    if (options.LatencySeconds == 0) return 0;

    const fs::path work = NewWorkFolder();
    setenv("XDG_CONFIG_HOME", (work / "config").c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    {
        QApplication application(argc, argv);
        for (const TRide& ride : rides) MeasureLatency(ride, options.LatencySeconds, work / "config");
    }
    fs::remove_all(work);
    return 0;
}
