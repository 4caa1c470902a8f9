// kelvo_monitor_bench: kelvo-monitor against the emulated version 5 console, timed from outside.
// For a ride at the console's 10 frames/s and one at the line's full rate (87 long frames/s,
// replayed), it prints the latency from each infos frame the console writes to the line the
// monitor prints for it (median, 99th percentile, largest), and the monitor's processor time,
// scaled to one minute of riding, with its wake-ups (voluntary context switches) per frame.
//   kelvo_monitor_bench [--seconds N] [--strace]
// --seconds: the ride's length (default 30; the figures scale it to a minute). --strace: the
// monitor runs under `strace -f -c` and the bench prints its system calls per frame instead of
// its processor time, which strace inflates.
#include "RideCapture.h"

#include "console_sim/ConsoleSimulator.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using RideCapture::TClock;
using RideCapture::TShownLine;

struct TMonitorRun {
    std::vector<TShownLine> Lines;
    double CpuSeconds = 0;
    long ContextSwitches = 0;
    int ExitStatus = 0;
};

struct TSyscallCount {
    std::string Name;
    long Calls = 0;
};

double Seconds(const timeval& time) { return static_cast<double>(time.tv_sec) + time.tv_usec / 1e6; }

// Runs kelvo-monitor on `port` for `seconds`, time-stamping each line as it arrives; with
// `straceOutput`, under strace counting its system calls into that file.
TMonitorRun RunMonitor(const std::string& port, int seconds, const std::string& straceOutput) {
    int output[2];
    if (pipe(output) != 0) std::exit(EXIT_FAILURE);
    const std::string secondsText = std::to_string(seconds);
    const pid_t child = fork();
    if (child == 0) {
        dup2(output[1], STDOUT_FILENO);
        close(output[0]);
        close(output[1]);
        if (straceOutput.empty())
            execl(KELVO_MONITOR_PATH, "kelvo-monitor", "--seconds", secondsText.c_str(), port.c_str(),
                  static_cast<char*>(nullptr));
        else
            execlp("strace", "strace", "-f", "-c", "-o", straceOutput.c_str(), KELVO_MONITOR_PATH, "--seconds",
                   secondsText.c_str(), port.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(output[1]);
    TMonitorRun run;
    FILE* lines = fdopen(output[0], "r");
    char* text = nullptr;
    std::size_t capacity = 0;
    for (ssize_t length; (length = getline(&text, &capacity, lines)) > 0;)
        run.Lines.push_back({TClock::now(), std::string(text, static_cast<std::size_t>(length) - 1)});
    std::free(text);
    std::fclose(lines);
    rusage usage{};
    wait4(child, &run.ExitStatus, 0, &usage);
    run.CpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    run.ContextSwitches = usage.ru_nvcsw;
    return run;
}

// The rows of `strace -c`: "% time  seconds  usecs/call  calls  [errors]  syscall".
std::vector<TSyscallCount> ReadSyscallCounts(const std::string& path) {
    std::vector<TSyscallCount> counts;
    std::ifstream table(path);
    for (std::string line; std::getline(table, line);) {
        std::istringstream fields(line);
        std::vector<std::string> words;
        for (std::string word; fields >> word;) words.push_back(word);
        if (words.size() < 5 || words[0].find_first_not_of("0123456789.") != std::string::npos) continue;
        counts.push_back({words.back(), std::atol(words[3].c_str())});
    }
    return counts;
}

void PrintSyscallsPerFrame(const std::string& path, long frames) {
    if (frames <= 0) return;
    const double perFrame = 1.0 / static_cast<double>(frames);
    std::printf("  system calls per infos frame (strace -f -c):");
    for (const TSyscallCount& count : ReadSyscallCounts(path)) {
        // Start-up calls come a few times in a whole ride.
        if (count.Calls * 10 >= frames) std::printf(" %s %.2f", count.Name.c_str(), count.Calls * perFrame);
    }
    std::printf("\n");
}

void MeasureRide(const char* title, int seconds, const std::vector<TRecordEntry>& replay, bool countSyscalls) {
    TConsoleSimulator console(TConsoleSettings{});
    if (!replay.empty()) console.SetReplay(replay);
    const TClock::time_point consoleStart = TClock::now();
    console.Start();
    const std::string straceOutput = countSyscalls ? "kelvo_monitor_bench.strace" : "";
    const TMonitorRun run = RunMonitor(console.GetSlavePath(), seconds, straceOutput);
    console.Stop();
    const std::vector<TRecordEntry> record = console.GetRecord();
    const auto sent = std::count_if(record.begin(), record.end(), RideCapture::IsInfosFrame);
    const std::vector<double> latencies = RideCapture::LatenciesMs(record, run.Lines, consoleStart);
    const double cpuPerMinute = run.CpuSeconds * 60 / seconds;
    std::printf("%s, %d s ride (monitor exit status %d)\n", title, seconds, run.ExitStatus);
    std::printf("  infos frames sent %ld, printed %zu\n", static_cast<long>(sent), latencies.size());
    RideCapture::PrintLatencies("printed", latencies);
    if (countSyscalls) {
        PrintSyscallsPerFrame(straceOutput, static_cast<long>(sent));
        std::remove(straceOutput.c_str());
        return;
    }
    std::printf("  kelvo-monitor processor time %.3f s, scaled: %.2f s per minute of riding = %.2f %% of one core\n",
                run.CpuSeconds, cpuPerMinute, cpuPerMinute / 60 * 100);
    std::printf("  wake-ups (voluntary context switches of all its threads) per infos frame: %.2f\n",
                sent > 0 ? static_cast<double>(run.ContextSwitches) / static_cast<double>(sent) : 0.0);
}

} // namespace

int main(int argc, char** argv) {
    int seconds = 30;
    bool countSyscalls = false;
    bool valid = true;
    for (int i = 1; i < argc && valid; ++i) {
        const std::string option = argv[i];
        if (option == "--strace") countSyscalls = true;
        else if (option == "--seconds" && i + 1 < argc) seconds = std::atoi(argv[++i]);
        else valid = false;
    }
    if (!valid || seconds <= 0) {
        std::fprintf(stderr, "usage: kelvo_monitor_bench [--seconds N] [--strace]\n");
        return 2;
    }
    MeasureRide("version 5, 10 frames/s", seconds, {}, countSyscalls);
    MeasureRide("version 5, full line rate (87 frames/s, replayed)", seconds, RideCapture::FullRateCapture(seconds), countSyscalls);
    return 0;
}
