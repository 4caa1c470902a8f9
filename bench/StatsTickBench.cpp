// kelvo_stats_tick_bench: how evenly the statistics tick of a riding device comes, on the real
// timer thread and main-thread hand-over. It prints the error of each period against the
// device's 1000 ms (mean, mean of its size, largest) and how far the last tick has drifted
// from where whole periods after the start would put it.
//   kelvo_stats_tick_bench [--seconds N]      (default 300)
#include "device/KelvoDevice.h"
#include "device_link/WaitWithMessages.h"

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

double MsBetween(TClock::time_point from, TClock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

void Report(const std::vector<TClock::time_point>& ticks, TClock::time_point start, double periodMs) {
    if (ticks.size() < 2) {
        std::printf("fewer than two ticks\n");
        return;
    }
    double sum = 0;
    double sumOfSizes = 0;
    double largest = 0;
    for (std::size_t i = 1; i < ticks.size(); ++i) {
        const double error = MsBetween(ticks[i - 1], ticks[i]) - periodMs;
        sum += error;
        sumOfSizes += std::fabs(error);
        largest = std::max(largest, std::fabs(error));
    }
    const auto periods = static_cast<double>(ticks.size() - 1);
    const double drift = MsBetween(start, ticks.back()) - static_cast<double>(ticks.size()) * periodMs;
    std::printf("%zu ticks; period error: mean %+.3f ms, mean size %.3f ms, largest %.3f ms; "
                "last tick %+.1f ms from whole periods after the start\n",
                ticks.size(), sum / periods, sumOfSizes / periods, largest, drift);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    int seconds = 300;
    if (argc == 3 && std::string(argv[1]) == "--seconds") seconds = std::atoi(argv[2]);
    if (seconds <= 0 || (argc != 1 && argc != 3)) {
        std::fprintf(stderr, "usage: kelvo_stats_tick_bench [--seconds N]\n");
        return 2;
    }
    TKelvoDevice device;
    device.SetConnectionSurvey(false);
    device.SetVersion(5);
    device.SetConnected(true);
    std::vector<TClock::time_point> ticks;
    device.OnStats = [&ticks](TComponent*, int, int, long double, long double, long double, bool) {
        ticks.push_back(TClock::now());
    };
    const TClock::time_point start = TClock::now();
    device.Start();
    WaitWithMessages(static_cast<std::uint32_t>(seconds) * 1000 + 500);
    Report(ticks, start, device.GetStatsInterval());
    return 0;
}
