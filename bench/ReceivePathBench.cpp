// Frames per second through the monitor's receive path, per protocol family: the splitter,
// ParseMessage and the terminal line text, on a ride the emulated console streams. The line
// carries at most 87 long frames, 145 short frames or 873 status bytes per second. The link
// ledger runs inside that path; LedgerRide runs it alone on the same ride, so its share of the
// path is LedgerRide's time over ReceiveRide's. CapturedRide adds a traffic capture of every
// write: its cost is the difference to ReceiveRide.
#include "console_sim/ConsoleMachine.h"
#include "device/KelvoProtocol.h"
#include "terminal/LinkLedger.h"
#include "terminal/TerminalSession.h"
#include "terminal/TrafficCapture.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

constexpr double RideMs = 60000;

// What the console sends after its handshake, one element per write to the line.
std::vector<ByteString> StreamedWrites(double version) {
    TConsoleSettings settings;
    settings.Version = version;
    TConsoleMachine console(settings);
    const double handshakeMs = 1000;
    const ByteString request = version < 4 ? BytesOf({KelvoProtocol::IdentificationCode})
                                           : KelvoProtocol::BuildRequest(KelvoProtocol::rqIdentification,
                                                                         KelvoProtocol::IdentificationCode, 0);
    console.Receive(handshakeMs, request);
    std::vector<ByteString> writes;
    for (double nowMs = handshakeMs; nowMs <= handshakeMs + RideMs; nowMs += 10)
        for (const TConsoleAction& action : console.Advance(nowMs))
            if (action.Kind == TConsoleAction::akSend) writes.push_back(action.Bytes);
    return writes;
}

// With `captured`, a traffic capture keeps every write as the window's does (into a file that
// the machine's temporary folder holds, written once a second by its timer: here, at its end).
void ReceiveRideCapturedOrNot(benchmark::State& state, double version, bool captured) {
    const std::vector<ByteString> writes = StreamedWrites(version);
    QTemporaryDir folder;
    TTrafficCapture capture;
    if (captured) capture.Start(folder.filePath(QStringLiteral("ride.capture")).toStdString(), {"bench"});
    TTerminalSession session;
    std::size_t lines = 0;
    session.OnAddLine = [&lines](const std::string& line) {
        benchmark::DoNotOptimize(line.data());
        ++lines;
    };
    session.SetConnectionSurveyEnabled(false);
    TKelvoDevice& device = session.Device();
    device.SetVersion(version);
    device.SetConnected(true);
    device.Start();
    TComDataPacket& splitter = *device.GetDataPacket();
    const bool byteStream = splitter.GetComPort() == nullptr;
    for (auto _ : state) {
        for (const ByteString& write : writes) {
            capture.Received(write);
            if (byteStream) device.ParseMessage(write);
            else splitter.AppendReceived(write);
        }
        capture.Flush();
    }
    const double frames = static_cast<double>(state.iterations() * writes.size());
    state.SetItemsProcessed(static_cast<std::int64_t>(frames));
    // Every frame of a ride prints its line; a figure below 1 means frames went unparsed.
    state.counters["lines_per_frame"] = static_cast<double>(lines) / frames;
}

void ReceiveRide(benchmark::State& state, double version) { ReceiveRideCapturedOrNot(state, version, false); }
void CapturedRide(benchmark::State& state, double version) { ReceiveRideCapturedOrNot(state, version, true); }

// What the session feeds the ledger per write: every write a packet, and a message unless it is
// a byte stream's zero status byte. The message's tick is the device's, which the path reads.
void LedgerRide(benchmark::State& state, double version) {
    const std::vector<ByteString> writes = StreamedWrites(version);
    const bool byteStream = version < 4;
    TLinkLedger ledger;
    std::uint32_t tick = 0;
    for (auto _ : state) {
        for (const ByteString& write : writes) {
            tick += 11;
            ledger.BytesRead(write.size());
            ledger.PacketCut(write.size());
            if (!byteStream || ByteAt(write, 0) != 0) ledger.MessageTaken(mtInfos, tick);
        }
    }
    benchmark::DoNotOptimize(ledger.GetBytesRead());
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * writes.size()));
}

// The ledger's text after a long-frame ride, which the window's page asks for once a second.
void LedgerReport(benchmark::State& state) {
    TLinkLedger ledger;
    for (std::size_t i = 0; i < StreamedWrites(5.0).size(); ++i)
        ledger.MessageTaken(mtInfos, static_cast<std::uint32_t>(i * 11));
    for (auto _ : state) benchmark::DoNotOptimize(ledger.ReportLines(0).size());
}

BENCHMARK_CAPTURE(ReceiveRide, ByteStreamV3, 3.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReceiveRide, ShortFramesV4, 4.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReceiveRide, LongFramesV5, 5.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(CapturedRide, ByteStreamV3, 3.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(CapturedRide, ShortFramesV4, 4.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(CapturedRide, LongFramesV5, 5.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LedgerRide, ByteStreamV3, 3.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LedgerRide, ShortFramesV4, 4.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LedgerRide, LongFramesV5, 5.0)->Unit(benchmark::kMillisecond);
BENCHMARK(LedgerReport)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    // The device's timers hand their ticks to the main thread through the application object.
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
