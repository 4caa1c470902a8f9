#include "RideCapture.h"

#include "console_sim/ConsoleMachine.h"
#include "device/KelvoProtocol.h"

#include <algorithm>
#include <cstdio>

namespace RideCapture {

std::vector<TRecordEntry> FullRateCapture(int seconds) {
    TConsoleSettings settings;
    TConsoleMachine console(settings);
    console.Receive(1000, KelvoProtocol::BuildRequest(KelvoProtocol::rqIdentification,
                                                      KelvoProtocol::IdentificationCode, 0));
    std::vector<TRecordEntry> capture{{0, TRecordDirection::rdNote, "handshake"}};
    const auto frames = static_cast<std::size_t>(seconds * LineFramesPerSecond);
    for (double nowMs = 1000; capture.size() <= frames; nowMs += 100) {
        for (const TConsoleAction& action : console.Advance(nowMs)) {
            if (action.Kind != TConsoleAction::akSend) continue;
            const double atMs = 100 + static_cast<double>(capture.size()) * 1000 / LineFramesPerSecond;
            capture.push_back({atMs, TRecordDirection::rdOut, action.Bytes});
        }
    }
    return capture;
}

bool IsInfosFrame(const TRecordEntry& entry) {
    return entry.Direction == TRecordDirection::rdOut && entry.Bytes.size() == KelvoProtocol::LongFrameSize &&
           ByteAt(entry.Bytes, 1) == 0x01;
}

std::vector<double> LatenciesMs(const std::vector<TRecordEntry>& record, const std::vector<TShownLine>& lines,
                                TClock::time_point consoleStart) {
    std::vector<double> latencies;
    std::size_t next = 0;
    for (const TShownLine& line : lines) {
        if (line.Text.find(" mtInfos") == std::string::npos) continue;
        for (std::size_t i = next; i < record.size(); ++i) {
            if (!IsInfosFrame(record[i]) || line.Text.find(HexText(record[i].Bytes)) == std::string::npos) continue;
            const double shownMs = std::chrono::duration<double, std::milli>(line.At - consoleStart).count();
            latencies.push_back(shownMs - record[i].TimeMs);
            next = i + 1;
            break;
        }
    }
    return latencies;
}

double Percentile(std::vector<double> values, double fraction) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1))];
}

void PrintLatencies(const char* shown, const std::vector<double>& latencies) {
    std::printf("  latency frame written -> line %s: median %.2f ms, 99th percentile %.2f ms, largest %.2f ms\n", shown,
                Percentile(latencies, 0.5), Percentile(latencies, 0.99), Percentile(latencies, 1.0));
}

} // namespace RideCapture
