// One presenter seen two ways: the same replayed ride gives the same terminal lines in
// kelvo-monitor and in the main window.
#include "integration/EmulatorFixture.h"
#include "terminal/CommandTable.h"
#include "terminal/TerminalSession.h"
#include "terminal/UserDialogs.h"
#include "ui/TerminalMainForm.h"
#include "ui/TerminalView.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gmock/gmock.h>

#include <sstream>

namespace {

class TQuietDialogs final : public TUserDialogs {
public:
    void ShowMessage(TBoxKind, const std::string&) override {}
    TAnswer AskNoRetry(const std::string&) override { return anNo; }
    TAnswer AskYesNoCancel(const std::string&) override { return anNo; }
    void Beep() override {}
    bool ChoosePrinter(QPrinter&) override { return false; }
    void SetUpPrinter(QPrinter&) override {}
};

constexpr int ReplayedFrames = 30;

// Long infos frames with changing roll and heart periods, and a garbage chunk in the middle,
// so that discards as well as messages are shown. No byte of a value is F0 or F7.
std::vector<TRecordEntry> Capture() {
    std::vector<TRecordEntry> capture{{0, TRecordDirection::rdNote, "handshake"}};
    for (int i = 0; i < ReplayedFrames; ++i) {
        const int roll = 760 + i;
        const int heart = 480 + (i % 7) * 5;
        const ByteString frame = BytesOf({0xF0, 0x01, 0x00, std::uint8_t(roll >> 8), std::uint8_t(roll & 0xFF), 0x02,
                                          0xEE, std::uint8_t(heart >> 8), std::uint8_t(heart & 0xFF), 0xF7});
        capture.push_back({100.0 * (i + 1), TRecordDirection::rdOut, frame});
        if (i == ReplayedFrames / 2) capture.push_back({100.0 * (i + 1) + 50, TRecordDirection::rdOut, "\x11\x22"});
    }
    return capture;
}

// What does not depend on when the ride started: the frame lines with the ride's running
// totals taken out, and the discards.
std::vector<std::string> RideIndependentLines(const std::vector<std::string>& lines) {
    static const QRegularExpression totals(QStringLiteral("RollCount: [0-9.,]+, Dist\\.: [0-9.,]+"));
    std::vector<std::string> kept;
    for (const std::string& line : lines)
        if (line.starts_with("Rcv>> ") || line.starts_with("*** Discarded"))
            kept.push_back(QString::fromStdString(line).replace(totals, QStringLiteral("RollCount: _, Dist.: _")).toStdString());
    return kept;
}

std::vector<std::string> MonitorLines() {
    EmulatorFixture emulator(5, {}, Capture());
    QProcess monitor;
    monitor.start(KELVO_MONITOR_PATH, {"--no-survey", "--seconds", "5", QString::fromStdString(emulator.Path())});
    EXPECT_TRUE(monitor.waitForFinished(15000));
    std::vector<std::string> lines;
    for (const QString& line : QString::fromUtf8(monitor.readAllStandardOutput()).split('\n'))
        lines.push_back(line.toStdString());
    return lines;
}

std::vector<std::string> WindowLines() {
    EmulatorFixture emulator(5, {}, Capture());
    TQuietDialogs dialogs;
    TTerminalMainForm window(dialogs);
    window.Session().SetConnectionSurveyEnabled(false);
    window.Session().Device().SetComPortPort(emulator.Path());
    window.Action(TCommand::OpenPort)->trigger();
    const TTerminalLines& shown = window.findChild<TTerminalView*>("Memo")->Lines();
    const auto infosShown = [&] {
        int count = 0;
        for (std::size_t i = 0; i < shown.Count(); ++i) count += shown.Line(i).find("mtInfos") != std::string::npos;
        return count;
    };
    EXPECT_TRUE(EmulatorFixture::ServeUntil([&] { return infosShown() == ReplayedFrames; }, 10000));
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < shown.Count(); ++i) lines.push_back(shown.Line(i));
    return lines;
}

} // namespace

TEST(MonitorAndWindow, TheSameReplayGivesTheSameLines) {
    const std::vector<std::string> monitor = RideIndependentLines(MonitorLines());
    const std::vector<std::string> window = RideIndependentLines(WindowLines());
    // The handshake's answer, every replayed frame and the discard.
    ASSERT_EQ(window.size(), ReplayedFrames + 2u);
    EXPECT_EQ(monitor, window);
}

// A capture the window recorded of a ride with garbage and a hang-up decodes, without a port,
// to the console lines the window's terminal showed.
TEST(MonitorAndWindow, ACaptureFromTheWindowDecodesToTheLinesItsTerminalShowed) {
    // The link and the capture are this run's alone: a second run beside it would take the link over.
    const QTemporaryDir folder;
    const QString capturePath = QDir(folder.path()).filePath(QStringLiteral("window-ride.capture"));
    std::istringstream script("2000 garbage 30\n4000 hangup 6000\n");
    EmulatorFixture emulator(5, ParseScript(script), {},
                             QDir(folder.path()).filePath(QStringLiteral("console")).toStdString());
    TQuietDialogs dialogs;
    std::vector<std::string> shown;
    {
        TTerminalMainForm window(dialogs);
        TTerminalSession& session = window.Session();
        session.Device().SetComPortPort(emulator.Path());
        ASSERT_EQ(session.Capture().Start(capturePath.toStdString(), session.CaptureHeader("kelvo-terminal")), "");
        window.Action(TCommand::OpenPort)->trigger();
        EmulatorFixture::ServeUntil([] { return false; }, 14000);
        window.Action(TCommand::OpenPort)->trigger();
        session.Capture().Stop();
        const TTerminalLines& lines = window.findChild<TTerminalView*>("Memo")->Lines();
        for (std::size_t i = 0; i < lines.Count(); ++i)
            if (lines.Line(i).starts_with("Rcv>>") || lines.Line(i).starts_with("710 ")) shown.push_back(lines.Line(i));
    }
    ASSERT_THAT(shown, testing::Contains(testing::StartsWith("710 ")));
    QProcess decode;
    decode.start(KELVO_MONITOR_PATH, {"--decode", capturePath});
    ASSERT_TRUE(decode.waitForFinished(30000));
    std::vector<std::string> decoded;
    for (const QString& line : QString::fromUtf8(decode.readAllStandardOutput()).split('\n'))
        if (line.mid(13).startsWith("Rcv>>") || line.mid(13).startsWith("710 ")) decoded.push_back(line.mid(13).toStdString());
    EXPECT_EQ(decoded, shown);
}
