#pragma once

#include "device_link/TrafficRecord.h"

#include <chrono>
#include <string>
#include <vector>

// What the ride benchmarks share: the full-rate ride they replay, and the latency from each
// infos frame the emulated console wrote to the terminal line shown for it.
namespace RideCapture {

using TClock = std::chrono::steady_clock;

// 8E1: 11 bits a byte, 10 bytes a frame.
inline constexpr double LineFramesPerSecond = 9600.0 / 11 / 10;

struct TShownLine {
    TClock::time_point At;
    std::string Text;
};

// The infos frames of a `seconds` ride of the version 5 console, replayed 87 to the second.
std::vector<TRecordEntry> FullRateCapture(int seconds);

bool IsInfosFrame(const TRecordEntry& entry);

// Pairs each shown infos line with the earliest unpaired frame of the same bytes, in order;
// `consoleStart` is the moment the console's record counts from.
std::vector<double> LatenciesMs(const std::vector<TRecordEntry>& record, const std::vector<TShownLine>& lines,
                                TClock::time_point consoleStart);

// The value below which `fraction` of the values lie (0 for none).
double Percentile(std::vector<double> values, double fraction);

// "  latency frame written -> line <shown>: median .., 99th percentile .., largest .."
void PrintLatencies(const char* shown, const std::vector<double>& latencies);

} // namespace RideCapture
