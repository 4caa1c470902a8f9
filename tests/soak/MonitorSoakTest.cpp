// kelvo-monitor against the emulated console for a long ride under a fault script, once per
// frame family: garbage, cut frames, rejected and unknown frames, silences shorter and longer
// than the survey interval, and a hang-up that the survey repairs. The ride lasts 60 s; with
// KELVO_SOAK_LONG=1 it lasts 10 minutes and the fault cycle repeats every 50 s.
#include "console_sim/ConsoleSimulator.h"
#include "device/KelvoProtocol.h"

#include <QDir>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <sstream>

namespace {

constexpr double CycleMs = 50000;
constexpr int BaselineMs = 10000;
constexpr long ResidentGrowthLimitKb = 2048;
// Long enough for the monitor to read what the console wrote last, far shorter than a survey interval.
constexpr int LastReadMs = 150;
const std::string RepairBegins = "720: connection lost, trying to reconnect, #attempt: 1,";
const std::string Repaired = "614 connection restablished";
const std::string RepairGivenUp = "711";
// From the close to the identification request: the reopen's two waits of 300 ms, and some slack.
constexpr double ReopenWindowMs = 800;
// How long a byte may be on its way to a loaded PC's read.
constexpr double InFlightMs = 50;

struct TSoakPlan {
    const char* Name;
    double Version;
    double SurveyMs; // the survey interval the monitor runs with at this version
    int FrameSize;
    double ShortSilenceMs;
    double LongSilenceMs;
    bool UnknownTypeShown; // the short family rejects an unknown type with a line; the long one ignores it
    // The short family's repair closes and reopens the port and empties its input queue, so
    // frames that arrive meanwhile are dropped on purpose, before anything reads them.
    bool RepairEmptiesInput;
};

enum TFaultKind { fkBytes, fkShortSilence, fkLongSilence, fkHangUp };

struct TFault {
    double AtMs; // after the first handshake
    TFaultKind Kind;
    double LengthMs;
    std::string Command;
};

double RideMs() {
    const char* longForm = std::getenv("KELVO_SOAK_LONG");
    return longForm != nullptr && std::string(longForm) == "1" ? 600000 : 60000;
}

std::string Ms(double ms) { return std::to_string(static_cast<long>(ms)); }

std::vector<TFault> FaultPlan(const TSoakPlan& plan, double rideMs) {
    const std::vector<TFault> cycle{
        {5000, fkBytes, 0, "garbage 40"},
        {8000, fkBytes, 0, "cut " + std::to_string(plan.FrameSize - 2)},
        {11000, fkBytes, 0, "cut " + std::to_string(plan.FrameSize - 3) + " stop"},
        {14000, fkBytes, 0, "badstart " + std::to_string(plan.FrameSize)},
        {17000, fkBytes, 0, "unknown"},
        {20000, fkShortSilence, plan.ShortSilenceMs, "silence " + Ms(plan.ShortSilenceMs)},
        {25000, fkLongSilence, plan.LongSilenceMs, "silence " + Ms(plan.LongSilenceMs)},
        {35000, fkHangUp, 1500, "hangup 1500"},
    };
    const int cycles = std::max(1, static_cast<int>((rideMs - BaselineMs) / CycleMs));
    std::vector<TFault> faults;
    for (int i = 0; i < cycles; ++i)
        for (TFault fault : cycle) {
            fault.AtMs += i * CycleMs;
            faults.push_back(fault);
        }
    return faults;
}

std::vector<TScriptLine> ScriptOf(const std::vector<TFault>& faults) {
    std::ostringstream text;
    for (const TFault& fault : faults) text << Ms(fault.AtMs) << ' ' << fault.Command << '\n';
    std::istringstream input(text.str());
    return ParseScript(input);
}

long ResidentKb(qint64 pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("VmRSS:")) return std::stol(line.substr(6));
    return -1;
}

bool IsHexByte(const std::string& token) {
    return token.size() == 2 && std::all_of(token.begin(), token.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
           });
}

constexpr const char* DiscardedPrefix = "*** Discarded: ";
constexpr const char* RejectedPrefix = "!!! Rejected: ";

// The bytes that the monitor's lines of these kinds show, in the order shown, as hexadecimal text.
std::string ShownBytes(const std::vector<std::string>& lines,
                       std::initializer_list<const char*> prefixes = {"Rcv>> ", DiscardedPrefix, RejectedPrefix}) {
    std::string shown;
    for (const std::string& line : lines) {
        for (const char* prefix : prefixes) {
            if (!line.starts_with(prefix)) continue;
            std::istringstream tokens(line.substr(std::string(prefix).size()));
            for (std::string token; tokens >> token && IsHexByte(token);) shown += " " + token;
        }
    }
    return shown;
}

bool IsRegularFrame(const ByteString& bytes) {
    using namespace KelvoProtocol;
    if (bytes.size() != ShortFrameSize && bytes.size() != LongFrameSize) return false;
    if (ByteAt(bytes, 0) != StartByte || ByteAt(bytes, bytes.size() - 1) != StopByte) return false;
    const std::uint8_t type = ByteAt(bytes, 1);
    return type == 0x01 || type == 0x02 || type == 0x03 || type == 0x05 || type == 0x08 || type == 0x09;
}

bool IsUnknownTypeFrame(const ByteString& bytes) {
    return bytes.size() >= 2 && ByteAt(bytes, 0) == KelvoProtocol::StartByte && ByteAt(bytes, 1) == 0x04;
}

// Where the monitor's last link-quality block begins (the end when there is none).
std::vector<std::string>::const_iterator LastQualityBlock(const std::vector<std::string>& lines) {
    const auto block = std::find_if(lines.rbegin(), lines.rend(), [](const std::string& line) {
        return line.starts_with("QUALITY link quality over ");
    });
    return block == lines.rend() ? lines.end() : std::prev(block.base());
}

// A figure "key=N" of the line that begins with `head` in the monitor's last link-quality block.
std::optional<unsigned long long> QualityFigure(const std::vector<std::string>& lines, const std::string& head,
                                                const std::string& key) {
    for (auto line = LastQualityBlock(lines); line != lines.end(); ++line) {
        if (!line->starts_with("QUALITY " + head)) continue;
        const std::string fields = " " + line->substr(std::string("QUALITY ").size());
        const std::size_t at = fields.find(" " + key + "=");
        if (at == std::string::npos) return std::nullopt;
        return std::stoull(fields.substr(at + key.size() + 2));
    }
    return std::nullopt;
}

class TSoakRide {
public:
    TSoakRide(const TSoakPlan& plan, std::vector<TFault> faults, std::vector<TRecordEntry> record,
              std::vector<std::string> lines)
        : FPlan(plan), FFaults(std::move(faults)), FRecord(std::move(record)), FLines(std::move(lines)) {}

    std::size_t Count(const std::string& linePrefix) const {
        return static_cast<std::size_t>(std::count_if(FLines.begin(), FLines.end(), [&](const std::string& line) {
            return line.starts_with(linePrefix);
        }));
    }

    // The record and the monitor's output stay in the test's folder, to read when a check fails.
    void Keep(const std::string& name) const {
        std::ofstream record(name + ".record");
        for (const TRecordEntry& entry : FRecord) record << RecordLineText(entry) << '\n';
        std::ofstream output(name + ".out");
        for (const std::string& line : FLines) output << line << '\n';
    }

    std::size_t SentBytes() const {
        std::size_t sent = 0;
        for (const TRecordEntry& entry : FRecord)
            if (entry.Direction == TRecordDirection::rdOut) sent += entry.Bytes.size();
        return sent;
    }

    // Every faulty write is shown in a discard, rejection or message line, except an unknown
    // type in the long family, which is ignored without a line.
    void ExpectFaultyBytesShown() const {
        const std::string shown = ShownBytes(FLines);
        std::size_t faulty = 0;
        for (const TRecordEntry& entry : FRecord) {
            if (entry.Direction != TRecordDirection::rdOut || IsRegularFrame(entry.Bytes)) continue;
            ++faulty;
            const bool expectShown = !IsUnknownTypeFrame(entry.Bytes) || FPlan.UnknownTypeShown;
            EXPECT_EQ(shown.find(HexText(entry.Bytes)) != std::string::npos, expectShown)
                << "write at " << entry.TimeMs << " ms:" << HexText(entry.Bytes);
        }
        EXPECT_EQ(faulty, static_cast<std::size_t>(std::count_if(
                              FFaults.begin(), FFaults.end(), [](const TFault& f) { return f.Kind == fkBytes; })));
    }

    // What the console wrote while a repair had the port closed or was about to empty its input.
    std::size_t BytesSentBefore(double timeMs, double windowMs) const {
        std::size_t bytes = 0;
        for (const TRecordEntry& entry : FRecord)
            if (entry.Direction == TRecordDirection::rdOut && entry.TimeMs >= timeMs - windowMs &&
                entry.TimeMs < timeMs)
                bytes += entry.Bytes.size();
        return bytes;
    }

    std::size_t BytesSentDuringReopens() const {
        std::size_t bytes = 0;
        for (const TRecordEntry& request : FRecord)
            if (IsIdentificationRequest(request) && request.TimeMs > HandshakeMs())
                bytes += BytesSentBefore(request.TimeMs, ReopenWindowMs);
        return bytes;
    }

    // What the console wrote just before it hung up, which a loaded PC had not read yet: the line
    // goes with the bytes in it, as an adapter pulled out does.
    std::size_t BytesSentJustBeforeHangUps() const {
        std::size_t bytes = 0;
        for (const TRecordEntry& note : FRecord)
            if (note.Direction == TRecordDirection::rdNote && note.Bytes == "hangup")
                bytes += BytesSentBefore(note.TimeMs, InFlightMs);
        return bytes;
    }

    // A silence shorter than the survey interval starts no repair; a longer one and a hang-up
    // each start one, which ends with the link repaired and never given up.
    void ExpectRepairsWhereDue() const {
        std::size_t due = 0;
        for (const TFault& fault : FFaults) {
            const double from = HandshakeMs() + fault.AtMs;
            if (fault.Kind == fkShortSilence) {
                EXPECT_FALSE(IdentificationSentWithin(from, from + fault.LengthMs + FPlan.SurveyMs)) << fault.Command;
            }
            if (fault.Kind != fkLongSilence && fault.Kind != fkHangUp) continue;
            ++due;
            EXPECT_TRUE(IdentificationSentWithin(from, from + fault.LengthMs + 2 * FPlan.SurveyMs + 2000))
                << fault.Command << " at " << fault.AtMs;
        }
        EXPECT_GE(Count(RepairBegins), due);
        EXPECT_GE(Count(Repaired), due);
        EXPECT_EQ(Count(RepairGivenUp), 0u);
    }

    // After the last repair the monitor prints the console's frames again, up to the last one.
    void ExpectFramesFlowAtTheEnd() const {
        const auto lastRepair = std::find_if(FLines.rbegin(), FLines.rend(),
                                             [](const std::string& line) { return line.starts_with(Repaired); });
        ASSERT_NE(lastRepair, FLines.rend());
        const auto lastInfos = std::find_if(FRecord.rbegin(), FRecord.rend(), [](const TRecordEntry& entry) {
            return entry.Direction == TRecordDirection::rdOut && IsRegularFrame(entry.Bytes) &&
                   ByteAt(entry.Bytes, 1) == 0x01;
        });
        ASSERT_NE(lastInfos, FRecord.rend());
        const std::string expected = "Rcv>> " + HexText(lastInfos->Bytes) + " mtInfos";
        const auto infosAfterRepair = std::count_if(FLines.rbegin(), lastRepair, [](const std::string& line) {
            return line.find(" mtInfos") != std::string::npos;
        });
        EXPECT_GE(infosAfterRepair, 50);
        EXPECT_TRUE(std::any_of(FLines.rbegin(), lastRepair,
                                [&](const std::string& line) { return line.starts_with(expected); }))
            << "the console's last frame is not printed:" << expected;
    }

    // The ledger printed at the end counts what the terminal showed and the faults injected:
    // the discarded bytes and rejected frames of the lines, a silence for every repair begun
    // (each long silence and hang-up), every repair ended repaired, and every byte accounted for.
    void ExpectLedgerAgreesWithTheFaults() const {
        const auto figure = [this](const std::string& head, const std::string& key) {
            const std::optional<unsigned long long> value = QualityFigure(FLines, head, key);
            EXPECT_TRUE(value) << "no QUALITY " << head << " " << key;
            return value.value_or(0);
        };
        const unsigned long long read = figure("bytes", "read");
        EXPECT_EQ(read + figure("bytes", "carried"),
                  figure("bytes", "packets") + figure("bytes", "discarded") + figure("bytes", "buffered"));
        EXPECT_EQ(figure("bytes", "discarded"), ShownBytes(FLines, {DiscardedPrefix}).size() / 3);
        EXPECT_GE(figure("bytes", "discarded"), FaultCount("garbage"));
        if (static_cast<std::size_t>(FPlan.FrameSize) == KelvoProtocol::LongFrameSize) {
            EXPECT_EQ(figure("bytes", "discarded"), BytesOutsideLongFrames());
        }
        EXPECT_EQ(figure("rejected", "count"), Count(RejectedPrefix));
        if (FPlan.UnknownTypeShown) {
            EXPECT_GE(figure("rejected", "count"), FaultCount("unknown"));
        }
        const std::size_t due = FaultCount("silence " + Ms(FPlan.LongSilenceMs)) + FaultCount("hangup");
        EXPECT_EQ(figure("silences", "silences"), Count(RepairBegins));
        EXPECT_GE(figure("silences", "silences"), due);
        EXPECT_GE(figure("silences", "longest"), static_cast<unsigned long long>(FPlan.LongSilenceMs));
        EXPECT_EQ(figure("repairs", "repaired"), Count(Repaired));
        EXPECT_EQ(figure("repairs", "givenup"), 0u);
        // The console streams every 100 ms; a repair's gaps are far fewer than one in two.
        EXPECT_NEAR(static_cast<double>(figure("mtInfos", "median")), 100, 5);
        EXPECT_GE(figure("mtInfos", "largest"), static_cast<unsigned long long>(FPlan.LongSilenceMs));
        EXPECT_EQ(figure("repairs", "begun"), figure("silences", "silences"));
        std::printf("soak %s ledger: %llu silences, longest %llu ms, %llu repaired, %llu bytes discarded, %llu rejected\n",
                    FPlan.Name, figure("silences", "silences"), figure("silences", "longest"),
                    figure("repairs", "repaired"), figure("bytes", "discarded"), figure("rejected", "count"));
        // A repair whose reopens failed says why, so that a failure explains itself.
        for (auto line = LastQualityBlock(FLines); line != FLines.end(); ++line)
            if (line->starts_with("QUALITY repair at ") && line->find(" failed") != std::string::npos)
                std::printf("soak %s %s\n", FPlan.Name, line->c_str());
    }

private:
    // The long family's finder cuts whole ten-byte frames only: every other write after the
    // handshake (garbage, cut and badstart frames, the six-byte answers to the repairs'
    // identification requests) is discarded whole.
    std::size_t BytesOutsideLongFrames() const {
        const auto handshake = std::find_if(FRecord.begin(), FRecord.end(), [](const TRecordEntry& entry) {
            return entry.Direction == TRecordDirection::rdNote && entry.Bytes == "handshake";
        });
        std::size_t bytes = 0;
        for (auto entry = handshake; entry != FRecord.end(); ++entry) {
            const bool longFrame = entry->Bytes.size() == KelvoProtocol::LongFrameSize &&
                                   ByteAt(entry->Bytes, 0) == KelvoProtocol::StartByte &&
                                   ByteAt(entry->Bytes, entry->Bytes.size() - 1) == KelvoProtocol::StopByte;
            if (entry->Direction == TRecordDirection::rdOut && !longFrame) bytes += entry->Bytes.size();
        }
        return bytes;
    }

    std::size_t FaultCount(const std::string& command) const {
        return static_cast<std::size_t>(std::count_if(FFaults.begin(), FFaults.end(), [&](const TFault& fault) {
            return fault.Command.starts_with(command);
        }));
    }

    double HandshakeMs() const {
        for (const TRecordEntry& entry : FRecord)
            if (entry.Direction == TRecordDirection::rdNote && entry.Bytes == "handshake") return entry.TimeMs;
        return 0;
    }

    static bool IsIdentificationRequest(const TRecordEntry& entry) {
        static const ByteString request = KelvoProtocol::BuildRequest(KelvoProtocol::rqIdentification,
                                                                      KelvoProtocol::IdentificationCode, 0);
        return entry.Direction == TRecordDirection::rdIn && entry.Bytes.find(request) != ByteString::npos;
    }

    bool IdentificationSentWithin(double fromMs, double toMs) const {
        return std::any_of(FRecord.begin(), FRecord.end(), [&](const TRecordEntry& entry) {
            return IsIdentificationRequest(entry) && entry.TimeMs >= fromMs && entry.TimeMs <= toMs;
        });
    }

    TSoakPlan FPlan;
    std::vector<TFault> FFaults;
    std::vector<TRecordEntry> FRecord;
    std::vector<std::string> FLines;
};

struct TCounters {
    unsigned long long Read = 0, Packets = 0, Discarded = 0, Buffered = 0;
};

std::optional<TCounters> CountersOf(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        TCounters counters;
        if (std::sscanf(line.c_str(), "COUNTERS read=%llu packets=%llu discarded=%llu buffered=%llu", &counters.Read,
                        &counters.Packets, &counters.Discarded, &counters.Buffered) == 4)
            return counters;
    }
    return std::nullopt;
}

std::vector<std::string> LinesOf(QProcess& monitor) {
    std::vector<std::string> lines;
    for (const QString& line : QString::fromUtf8(monitor.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts))
        lines.push_back(line.toStdString());
    return lines;
}

class MonitorSoak : public testing::TestWithParam<TSoakPlan> {};

TEST_P(MonitorSoak, NeverDiesKeepsItsMemoryShowsEveryFaultRecoversAndAccountsForEveryByte) {
    const TSoakPlan& plan = GetParam();
    const double rideMs = RideMs();
    const std::vector<TFault> faults = FaultPlan(plan, rideMs);
    TConsoleSettings settings;
    settings.Version = plan.Version;
    TConsoleSimulator console(settings);
    // The monitor opens the link, which follows the console to its new line after the hang-up. The
    // link is this run's alone: a second run beside it would take it over.
    const QTemporaryDir folder;
    const std::string link = QDir(folder.path()).filePath("console").toStdString();
    console.SetLinkPath(link);
    console.SetScript(ScriptOf(faults));
    console.Start();

    QProcess monitor;
    monitor.start(KELVO_MONITOR_PATH, {"--counters", "--quality", "--version", QString::number(plan.Version),
                                       QString::fromStdString(link)});
    ASSERT_TRUE(monitor.waitForStarted());
    // The test's clock is the monitor itself: a wait that ends early means the monitor died.
    ASSERT_FALSE(monitor.waitForFinished(BaselineMs)) << monitor.readAllStandardError().toStdString();
    // The ledger asked for on standard input in the middle of the ride.
    monitor.write("quality\n");
    const long baselineKb = ResidentKb(monitor.processId());
    ASSERT_FALSE(monitor.waitForFinished(static_cast<int>(rideMs) - BaselineMs))
        << monitor.readAllStandardError().toStdString();
    const long endKb = ResidentKb(monitor.processId());
    // Quiet the line, let the monitor read the last bytes, then end the ride as a SIGTERM does.
    console.Command("silence 60000");
    monitor.waitForFinished(LastReadMs);
    monitor.terminate();
    ASSERT_TRUE(monitor.waitForFinished(10000));
    console.Stop();
    EXPECT_EQ(monitor.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(monitor.exitCode(), 0);

    const std::vector<std::string> lines = LinesOf(monitor);
    const TSoakRide ride(plan, faults, console.GetRecord(), lines);
    ride.Keep(std::string("soak-") + plan.Name);
    EXPECT_GT(baselineKb, 0);
    EXPECT_LE(endKb - baselineKb, ResidentGrowthLimitKb) << "resident " << baselineKb << " kB after 10 s";
    ride.ExpectFaultyBytesShown();
    ride.ExpectRepairsWhereDue();
    ride.ExpectFramesFlowAtTheEnd();
    ride.ExpectLedgerAgreesWithTheFaults();
    EXPECT_EQ(ride.Count("QUALITY link quality over "), 2u);

    // Every byte the console wrote was read (or went with the line at a hang-up, or was emptied
    // out by a reopen), and the splitter cut it into a packet, discarded it or still holds it.
    const std::optional<TCounters> counters = CountersOf(lines);
    ASSERT_TRUE(counters) << "no COUNTERS line";
    const std::size_t mayBeLost =
        ride.BytesSentJustBeforeHangUps() + (plan.RepairEmptiesInput ? ride.BytesSentDuringReopens() : 0);
    EXPECT_LE(counters->Read, ride.SentBytes());
    EXPECT_LE(ride.SentBytes() - counters->Read, mayBeLost);
    EXPECT_EQ(counters->Packets + counters->Discarded + counters->Buffered, counters->Read);
    std::printf("soak %s, %.0f s: resident %ld kB after 10 s, %ld kB at the end; %zu bytes sent, %llu read, "
                "%llu in packets, %llu discarded, %llu buffered; %zu repairs begun, %zu repaired\n",
                plan.Name, rideMs / 1000, baselineKb, endKb, ride.SentBytes(), counters->Read, counters->Packets,
                counters->Discarded, counters->Buffered, ride.Count(RepairBegins), ride.Count(Repaired));
}

const TSoakPlan LongFrames{"LongFramesV5", 5, 3000, 10, 1500, 6500, false, false};
const TSoakPlan ShortFrames{"ShortFramesV4", 4, 400, 6, 250, 1500, true, true};

INSTANTIATE_TEST_SUITE_P(Families, MonitorSoak, testing::Values(LongFrames, ShortFrames),
                         [](const testing::TestParamInfo<TSoakPlan>& info) { return std::string(info.param.Name); });

} // namespace
