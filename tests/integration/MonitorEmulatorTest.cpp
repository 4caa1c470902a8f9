// kelvo-monitor, the headless terminal, against the emulated console.
#include "integration/EmulatorFixture.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStringList>
#include <gmock/gmock.h>

#include <QDir>
#include <QFile>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <unistd.h>

using testing::Contains;
using testing::HasSubstr;

namespace {

void StartMonitor(QProcess& monitor, EmulatorFixture& emulator, const QStringList& extraArguments, int seconds) {
    monitor.start(KELVO_MONITOR_PATH, extraArguments + QStringList{"--seconds", QString::number(seconds),
                                                                   QString::fromStdString(emulator.Path())});
}

QStringList FinishedLines(QProcess& monitor, int seconds) {
    EXPECT_TRUE(monitor.waitForFinished((seconds + 10) * 1000));
    EXPECT_EQ(monitor.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(monitor.exitCode(), 0) << monitor.readAllStandardError().toStdString();
    return QString::fromUtf8(monitor.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

QStringList MonitorLines(EmulatorFixture& emulator, const QStringList& extraArguments, int seconds) {
    QProcess monitor;
    StartMonitor(monitor, emulator, extraArguments, seconds);
    return FinishedLines(monitor, seconds);
}

std::vector<std::string> StdLines(const QStringList& lines) {
    std::vector<std::string> result;
    for (const QString& line : lines) result.push_back(line.toStdString());
    return result;
}

TEST(MonitorWithEmulator, VersionFivePrintsIdentificationThenLongInfosLines) {
    EmulatorFixture emulator(5);
    const std::vector<std::string> lines = StdLines(MonitorLines(emulator, {}, 2));
    EXPECT_THAT(lines, Contains("Rcv>>  F0 08 54 00 00 F7 MtIdentification"));
    // Every long infos frame the emulator sent appears with its bytes.
    std::size_t infosLines = 0;
    for (const TRecordEntry& entry : emulator.Console().GetRecord()) {
        if (entry.Direction != TRecordDirection::rdOut || entry.Bytes.size() != 10 || entry.Bytes[1] != 0x01) continue;
        const std::string expected = "Rcv>> " + HexText(entry.Bytes) + " mtInfos, Rolls: ";
        infosLines += std::any_of(lines.begin(), lines.end(),
                                  [&](const std::string& line) { return line.starts_with(expected); });
    }
    EXPECT_GE(infosLines, 10u);
    EXPECT_THAT(lines, Contains(HasSubstr("STATS Events count: ")));
    // The start asks for the serial number, as the window's button does.
    EXPECT_THAT(lines, Contains("\tTRX <<<   F0 03 00 00 00 F7 3 Request: Serial number"));
}

TEST(MonitorWithEmulator, EnterHeldAsLongAsPlusGivesAsManyKeyLines) {
    // Held 1 s with a repeat interval of 600 ms: a press at once and one repeat.
    std::istringstream script("1000 key plus 1000\n3000 key enter 1000\n");
    EmulatorFixture emulator(5, ParseScript(script));
    const std::vector<std::string> lines = StdLines(MonitorLines(emulator, {}, 5));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "ckPlus pressed"), 2);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "ckEnter pressed"), 2);
}

int LastHeart(const QStringList& lines) {
    static const QRegularExpression heart("^STATS .*\\| Heart: (\\d+),");
    int lastHeart = -1;
    for (const QString& line : lines)
        if (const auto match = heart.match(line); match.hasMatch()) lastHeart = match.captured(1).toInt();
    return lastHeart;
}

TEST(MonitorWithEmulator, HeartBeltAt120ShowsItsRateOnceTheWindowIsFull) {
    // The heart window takes 25 beats, 12.5 s at 120 bpm; both families ride at once.
    constexpr int Seconds = 17;
    EmulatorFixture impulses(4);
    EmulatorFixture periods(5);
    QProcess impulseMonitor;
    QProcess periodMonitor;
    StartMonitor(impulseMonitor, impulses, {}, Seconds);
    StartMonitor(periodMonitor, periods, {}, Seconds);
    for (QProcess* monitor : {&impulseMonitor, &periodMonitor})
        EXPECT_NEAR(LastHeart(FinishedLines(*monitor, Seconds)), 120, 3)
            << (monitor == &impulseMonitor ? "version 4" : "version 5");
}

TEST(MonitorWithEmulator, RiderGoingFrom120To190IsShownAt190TwentySecondsLater) {
    // The window's second heart filter, which the monitor runs too, holds single spikes off only.
    std::istringstream script("5000 heart 190\n");
    EmulatorFixture emulator(5, ParseScript(script));
    EXPECT_NEAR(LastHeart(MonitorLines(emulator, {}, 26)), 190, 3);
}

TEST(MonitorWithEmulator, OlderVersionsPrintTheShortFamilyLines) {
    for (double version : {4.0, 3.0}) {
        EmulatorFixture emulator(version);
        const QStringList arguments = version < 4 ? QStringList{"--version", "3"} : QStringList{};
        const std::vector<std::string> lines = StdLines(MonitorLines(emulator, arguments, 2));
        // Below 4.5 the roll values print as whole numbers.
        const bool shortFamilyLine = std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
            return line.find(" mtInfos, Rolls: ") != std::string::npos && line.find("Rolls: 0.") == std::string::npos;
        });
        EXPECT_TRUE(shortFamilyLine) << version;
    }
}

TEST(MonitorWithEmulator, FindSearchesEveryPortAndRidesOnTheOneThatAnswers) {
    EmulatorFixture emulator(5);
    QProcess monitor;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString console = QString::fromStdString(emulator.Path());
    // The missing port sorts before the emulator's, so it is tried first.
    environment.insert("KELVO_EXTRA_PORTS", "/0-missing/kelvo-port:" + console);
    monitor.setProcessEnvironment(environment);
    monitor.start(KELVO_MONITOR_PATH, {"--seconds", "3", "--find"});
    ASSERT_TRUE(monitor.waitForFinished(20000));
    EXPECT_EQ(monitor.exitCode(), 0);
    const std::vector<std::string> lines =
        StdLines(QString::fromUtf8(monitor.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts));
    EXPECT_THAT(lines, Contains("FINDING DEVICE: 1/3"));
    EXPECT_THAT(lines, Contains("/0-missing/kelvo-port Unable to open com port (win error code: 2)"));
    EXPECT_THAT(lines, Contains(console.toStdString() + " KELVO Found on this port!"));
    EXPECT_THAT(lines, Contains("Device found on port: " + console.toStdString()));
    EXPECT_THAT(lines, Contains(HasSubstr(" mtInfos, Rolls: ")));
    // The found console's long frames are decoded to the end: about 10 more each second.
    static const QRegularExpression events("^STATS Events count: (\\d+) ");
    std::vector<int> counts;
    for (const std::string& line : lines)
        if (const auto match = events.match(QString::fromStdString(line)); match.hasMatch())
            counts.push_back(match.captured(1).toInt());
    ASSERT_GE(counts.size(), 2u);
    EXPECT_GE(counts.back() - counts.front(), 10 * static_cast<int>(counts.size() - 1) - 5);
}

// ---- ending in the middle of a wait ----

// Reads the monitor's output until a line contains `text`.
bool WaitForLine(QProcess& monitor, const QString& text, QString& seen) {
    while (!seen.contains(text)) {
        if (!monitor.waitForReadyRead(10000)) return false;
        seen += QString::fromUtf8(monitor.readAllStandardOutput());
    }
    return true;
}

std::chrono::microseconds ChildrenCpuTime() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return std::chrono::seconds(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           std::chrono::microseconds(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

// SIGTERM once `text` shows: the monitor ends within a second, cleanly, without burning a core.
// The children's time counts every child this process waited for: `before` is the time before
// this monitor started, so that a run of the whole binary measures this monitor alone.
void ExpectPromptCleanEndAfter(QProcess& monitor, const QString& text, std::chrono::microseconds before) {
    QString seen;
    ASSERT_TRUE(WaitForLine(monitor, text, seen)) << seen.toStdString();
    const auto signalled = std::chrono::steady_clock::now();
    monitor.terminate();
    ASSERT_TRUE(monitor.waitForFinished(5000));
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::seconds(1));
    EXPECT_EQ(monitor.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(monitor.exitCode(), 0) << monitor.readAllStandardError().toStdString();
    EXPECT_LT(ChildrenCpuTime() - before, std::chrono::milliseconds(300)) << "start-up and ride included";
}

TEST(MonitorWithEmulator, SigtermDuringAShortFrameRepairEndsItPromptly) {
    std::istringstream script("1500 silence 60000\n");
    EmulatorFixture emulator(4, ParseScript(script));
    QProcess monitor;
    const auto before = ChildrenCpuTime();
    monitor.start(KELVO_MONITOR_PATH, {"--version", "4", QString::fromStdString(emulator.Path())});
    ExpectPromptCleanEndAfter(monitor, "720: connection lost", before);
}

TEST(MonitorWithEmulator, SigtermDuringASearchEndsItPromptlyWithoutAFailure) {
    EmulatorFixture emulator(5);
    emulator.Console().Command("noid on");
    QProcess monitor;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("KELVO_EXTRA_PORTS", QString::fromStdString(emulator.Path()));
    monitor.setProcessEnvironment(environment);
    const auto before = ChildrenCpuTime();
    monitor.start(KELVO_MONITOR_PATH, {"--find"});
    ExpectPromptCleanEndAfter(monitor, "Sending Kelvo identification...", before);
    EXPECT_EQ(monitor.readAllStandardError().toStdString(), "");
}

TEST(MonitorWithEmulator, ConsoleGivenUpEndsTheRideWithItsOwnStatus) {
    // The long frames' repair gives up at its third attempt, about 12 s after the hang-up.
    std::istringstream script("1000 hangup 60000\n");
    EmulatorFixture emulator(5, ParseScript(script));
    QProcess monitor;
    StartMonitor(monitor, emulator, {}, 40);
    ASSERT_TRUE(monitor.waitForFinished(30000)) << "still riding a lost console";
    EXPECT_EQ(monitor.exitCode(), 3);
    EXPECT_THAT(monitor.readAllStandardError().toStdString(),
                HasSubstr("The connection with the Kelvo device has been lost! Check your connection."));
    EXPECT_THAT(monitor.readAllStandardOutput().toStdString(), HasSubstr("711: repairing process aborted"));
}

TEST(MonitorWithEmulator, UnopenablePortExitsOneWithTheWindowsMessage) {
    QProcess monitor;
    monitor.start(KELVO_MONITOR_PATH, {"--seconds", "1", "/nonexistent/kelvo-port"});
    ASSERT_TRUE(monitor.waitForFinished(10000));
    EXPECT_EQ(monitor.exitCode(), 1);
    EXPECT_THAT(monitor.readAllStandardError().toStdString(), HasSubstr("Cannot open the com port !"));
}

TEST(MonitorWithEmulator, PortWithoutPermissionTellsWhyOnStandardError) {
    if (::geteuid() != 0) GTEST_SKIP() << "drops its privileges through setpriv";
    EmulatorFixture emulator(5);
    const QString path = QString::fromStdString(emulator.Path());
    QProcess monitor;
    monitor.start("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", KELVO_MONITOR_PATH, "--seconds", "1", path});
    ASSERT_TRUE(monitor.waitForFinished(10000));
    EXPECT_EQ(monitor.exitCode(), 1);
    const std::string error = monitor.readAllStandardError().toStdString();
    EXPECT_THAT(error, HasSubstr("Cannot open the com port !"));
    EXPECT_THAT(error, HasSubstr("Cannot open " + path.toStdString() + ": Permission denied (system error 13)\nHint: "));
}

TEST(MonitorWithEmulator, ABadArgumentIsNamedWithItsReasonBeforeTheUsageAndExitsTwo) {
    for (const auto& [arguments, reason] : {std::pair{QStringList{"--seconds"}, "--seconds needs a value"},
                                            std::pair{QStringList{"--seconds", "x", "p"}, "--seconds: 'x' is not a number"},
                                            std::pair{QStringList{"--bogus", "p"}, "unknown option --bogus"}}) {
        QProcess monitor;
        monitor.start(KELVO_MONITOR_PATH, arguments);
        ASSERT_TRUE(monitor.waitForFinished(10000));
        EXPECT_EQ(monitor.exitCode(), 2);
        EXPECT_THAT(monitor.readAllStandardError().toStdString(),
                    testing::StartsWith(std::string("kelvo-monitor: ") + reason + "\nusage: kelvo-monitor"));
    }
}

// What one ride's capture kept, played back by the emulator, gives the monitor the same faults:
// the same garbage discarded, the same silence, repair and survey lines. (A repair's own
// hand-shake is the PC's and the replay's to time, so the bytes around it may be cut otherwise.)
TEST(MonitorWithEmulator, ACaptureOfARideWithFaultsReplaysToTheSameSurveyAndLedger) {
    const auto ledgerFigures = [](const QStringList& lines) {
        QStringList figures;
        static const QRegularExpression kept("(silences=[0-9]+|repaired=[0-9]+|givenup=[0-9]+|^[67][0-9]{2}:? .*|^\\*\\*\\* Discarded:  6A .*)");
        for (const QString& line : lines)
            for (auto match = kept.globalMatch(line); match.hasNext();) figures << match.next().captured(1);
        return figures;
    };
    const QString capturePath = QStringLiteral("replayed-ride.capture");
    QFile::remove(capturePath);
    std::istringstream script("2000 garbage 30\n4000 silence 7000\n");
    EmulatorFixture live(5, ParseScript(script));
    const QStringList liveLines = MonitorLines(live, {"--quality", "--capture", capturePath}, 16);
    std::ifstream capture(capturePath.toStdString());
    EmulatorFixture replay(5, {}, ParseRecord(capture));
    const QStringList replayedLines = MonitorLines(replay, {"--quality"}, 16);
    EXPECT_THAT(StdLines(liveLines), Contains(HasSubstr("connection restablished")));
    EXPECT_EQ(ledgerFigures(replayedLines), ledgerFigures(liveLines));
    EXPECT_THAT(StdLines(ledgerFigures(liveLines)), Contains("repaired=1"));
}

// --decode plays a capture through the session offline: the lines the live monitor printed come
// back, for either family, across garbage, a hang-up whose first reopens fail, and a cut frame.
class DecodeOfALiveRide : public testing::TestWithParam<int> {};

QStringList DecodedLines(const QString& capturePath, const QStringList& extraArguments) {
    QProcess decode;
    decode.start(KELVO_MONITOR_PATH, extraArguments + QStringList{"--quality", "--decode", capturePath});
    EXPECT_TRUE(decode.waitForFinished(30000));
    EXPECT_EQ(decode.exitCode(), 0);
    EXPECT_EQ(decode.readAllStandardError(), QByteArray()) << "every console byte reached the terminal";
    QStringList lines;
    // Each line begins with its time in the capture.
    for (const QString& line : QString::fromUtf8(decode.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts))
        lines << line.mid(13);
    return lines;
}

// What a decode must give back as it was: the console's messages, the survey's and repair's lines,
// the ledger's counts (its milliseconds are the live clock's to jitter).
QStringList ComparedLines(const QStringList& lines) {
    static const QRegularExpression kept(
        "^(Rcv>>.*|[5-7][0-9]{2}:? .*|\\*\\*\\* Discarded:.*|QUALITY .*count=[0-9]+|QUALITY (silences=[0-9]+|repairs begun=[0-9]+ "
        "repaired=[0-9]+ givenup=[0-9]+ reopenfailures=[0-9]+)|QUALITY bytes read=.*)");
    QStringList compared;
    for (const QString& line : lines)
        if (const auto match = kept.match(line); match.hasMatch()) compared << match.captured(1);
    return compared;
}

// The capture with everything from the reopen after its hang-up on `lateMs` later: a repair whose
// waits ran late, as on a loaded machine.
QString WithTheReopenLate(const QString& capturePath, double lateMs) {
    std::ifstream input(capturePath.toStdString());
    std::vector<TRecordEntry> entries = ParseRecord(input);
    const auto hangUp = std::find_if(entries.begin(), entries.end(),
                                     [](const TRecordEntry& entry) { return entry.Bytes == "hangup"; });
    const auto reopen = std::find_if(hangUp, entries.end(), [](const TRecordEntry& entry) {
        return entry.Direction == TRecordDirection::rdNote && entry.Bytes.starts_with("open ");
    });
    const QString latePath = capturePath + QStringLiteral(".late");
    std::ofstream output(latePath.toStdString());
    for (auto entry = entries.begin(); entry != entries.end(); ++entry) {
        if (entry >= reopen) entry->TimeMs += lateMs;
        output << RecordLineText(*entry) << '\n';
    }
    return latePath;
}

TEST_P(DecodeOfALiveRide, GivesTheLinesTheLiveMonitorPrinted) {
    const int version = GetParam();
    const QString capturePath = QStringLiteral("decoded-ride-%1.capture").arg(version);
    QFile::remove(capturePath);
    // (A byte-stream console has no frames to cut.)
    std::istringstream script(std::string("2000 garbage 30\n4000 hangup 6000\n") + (version > 3 ? "12000 cut 5\n" : ""));
    const QString link = QDir::current().filePath(QStringLiteral("decoded-ride-%1.console").arg(version));
    EmulatorFixture live(version, ParseScript(script), {}, link.toStdString());
    const QStringList versionArgument{"--version", version <= 3 ? "3" : "4.5"};
    const QStringList liveLines = MonitorLines(live, versionArgument + QStringList{"--quality", "--capture", capturePath}, 15);
    const QStringList liveCompared = ComparedLines(liveLines);
    ASSERT_THAT(StdLines(liveCompared), Contains(HasSubstr("710 can't open the com port")));
    EXPECT_EQ(ComparedLines(DecodedLines(capturePath, versionArgument)), liveCompared);
    // The reopens that failed live fail again, however late the live repair ran.
    EXPECT_EQ(ComparedLines(DecodedLines(WithTheReopenLate(capturePath, 450), versionArgument)),
              liveCompared);
}

INSTANTIATE_TEST_SUITE_P(BothFamilies, DecodeOfALiveRide, testing::Values(5, 3));

} // namespace
