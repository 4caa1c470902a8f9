#include "terminal/SurveyLog.h"

#include "device_link/ByteString.h"
#include "device_link/ManualClock.h"
#include "device_link/WaitWithMessages.h"
#include "terminal/DateTimeText.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTimer>
#include <gmock/gmock.h>

namespace {

using testing::ElementsAre;

QString Separated(const char* text) {
    return QString::fromLatin1(text)
        .replace(u'/', DateSeparator())
        .replace(u':', TimeSeparator())
        .replace(u'.', QLocale::system().decimalPoint());
}

class SurveyLogTest : public testing::Test {
protected:
    SurveyLogTest() {
        Log.CurrentTime = [this] { return Now; };
        Log.SteadyMs = [this] { return Steady; };
        Log.OnWriteFailed = [this](const std::string& line) { Failures.push_back(line); };
    }

    QStringList Lines() const {
        QFile file(Log.GetFileName());
        if (!file.open(QIODevice::ReadOnly)) return {};
        QString text = QString::fromLocal8Bit(file.readAll());
        EXPECT_TRUE(text.endsWith(QStringLiteral("\r\n")));
        text.chop(2);
        return text.split(QStringLiteral("\r\n"));
    }

    void Advance(std::int64_t wallMs, std::int64_t steadyMs) {
        Now = Now.addMSecs(wallMs);
        Steady += steadyMs;
    }

    QTemporaryDir Folder;
    TSurveyLog Log{Folder.filePath(QStringLiteral("CS.log"))};
    QDateTime Now{QDate(2026, 3, 28), QTime(22, 10, 5, 7)};
    std::int64_t Steady = 1000;
    std::vector<std::string> Failures;
};

TEST_F(SurveyLogTest, RunIsLoggedInTheOrderOfItsEventsAndTheDurationCountsPast24Hours) {
    Log.WriteStartLine();
    Log.OnConnected(4.5);
    Log.OnComDataPacketDiscard(BytesOf({0xF0, 0x01, 0xF7}));
    Log.OnMessageRejected(BytesOf({0xF0, 0x7F, 0xF7}));
    Log.OnHeartConnectionLost();
    Log.OnRepairingConnection(1, 30);
    Log.OnKvdErrorInfo(720, 1, 30);
    Log.OnKvdErrorInfo(614, -1, 30);
    // The night crosses a clock change: 27 hours pass, the wall clock shows 26.
    Advance(26 * 3600000LL, 27 * 3600000LL);
    Log.OnDisconnected(4.5, 1);
    Log.WriteClosingLine();

    const QString startDate = QLocale::system().toString(QDate(2026, 3, 28), QLocale::ShortFormat);
    const QString at = Separated("28/03/26 22:10:05:007\t");
    const QString end = Separated("30/03/26 00:10:05:007\t");
    EXPECT_THAT(Lines(),
                ElementsAre(QStringLiteral("Tavrik started on: ") + startDate + Separated(" 22:10:05"), QString(49, u'*'),
                            Separated("Kelvo 4.5 connected on 28/03/26 22:10:05:007"), QStringLiteral("   "),
                            at + QStringLiteral("100\tConsole message discarded:  F0 01 F7"),
                            at + QStringLiteral("101\tConsole message Rejected:  F0 7F F7"),
                            at + QStringLiteral("520\tHeart connection lost: "),
                            at + QStringLiteral("700\t------ New disconnection ------ #Disc. count: 1, Resistance: 30"),
                            at + QStringLiteral("720\tconnection lost, trying to reconnect, #attempt: 1, Resistance value: 30"),
                            at + QStringLiteral("614\tconnection restablished, Resistance value: 30"),
                            end + QStringLiteral("------ Kvd Disconnected ------"), QStringLiteral("   "),
                            Separated("Kelvo version:\t4.5"), Separated("Test Start:\t28/03/26 22:10:05:007"),
                            Separated("Test end:\t30/03/26 00:10:05:007"), Separated("Test duration:\t27:00:00:000"),
                            QStringLiteral("End reason:\tKvd Disconnected"), QStringLiteral("Disconnection count:\t1"),
                            QString(49, u'*'), end, QStringLiteral("****************** Tavrik Closed ****************** ")));
    EXPECT_TRUE(Failures.empty());
}

TEST_F(SurveyLogTest, WithoutWriteLogCsTheBannerAndReportAreStillWritten) {
    Log.WriteLogCS = false;
    Log.WriteStartLine();
    Log.OnConnected(5);
    Log.OnComDataPacketDiscard(BytesOf({0xF0}));
    Log.OnDisconnected(5, 0);
    Log.WriteClosingLine();
    const QStringList lines = Lines();
    ASSERT_EQ(lines.size(), 3 + 8);
    EXPECT_EQ(lines[1], Separated("Kelvo 5.0 connected on 28/03/26 22:10:05:007"));
    EXPECT_EQ(lines[8], QStringLiteral("End reason:\tKvd Disconnected"));
}

TEST_F(SurveyLogTest, ReportWithoutAConnectionStartsAtTheCalendarZero) {
    Log.WriteRunReport(QStringLiteral("Kvd Disconnected"), 4, 0);
    const QStringList lines = Lines();
    ASSERT_EQ(lines.size(), 8);
    EXPECT_EQ(lines[2], Separated("Test Start:\t30/12/99 00:00:00:000"));
    EXPECT_EQ(lines[4], Separated("Test duration:\t00:00:00:000"));
}

TEST_F(SurveyLogTest, DefinitiveLossWritesOneReportAndHandsOnOnlyAfterTheTickReturned) {
    int handedOn = 0;
    Log.OnConnectionLostAfterTick = [&] { ++handedOn; };
    Log.OnConnected(5);
    // The device's give-up as a survey tick raises it, inside the tick's wait.
    TManualClock clock;
    QTimer::singleShot(0, [&] {
        Log.OnKvdErrorInfo(711, 3, 0);
        Log.OnDisconnected(5, 1);
        Log.OnConnectionLost(5, 1, 0);
        EXPECT_EQ(handedOn, 0);
    });
    WaitWithMessages(10);
    EXPECT_EQ(handedOn, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(handedOn, 1);

    const QStringList reasons = Lines().filter(QStringLiteral("End reason:"));
    EXPECT_THAT(reasons, ElementsAre(QStringLiteral("End reason:\tConnection lost")));
    EXPECT_EQ(Lines().filter(QStringLiteral("720\tConnection lost definitively!: Resistance value: 0")).size(), 1);
    EXPECT_EQ(Lines().filter(QStringLiteral("------ Kvd Disconnected ------")).size(), 1);
}

TEST_F(SurveyLogTest, WriteFailureIsToldOnceAndToldAgainAfterTheLogRecovered) {
    const QString folder = Folder.filePath(QStringLiteral("gone"));
    TSurveyLog log(folder + QStringLiteral("/CS.log"));
    log.OnWriteFailed = [this](const std::string& line) { Failures.push_back(line); };
    log.WriteStartLine();
    log.OnConnected(4.5);
    log.OnDisconnected(4.5, 0);
    ASSERT_EQ(Failures.size(), 1u);
    EXPECT_THAT(Failures[0], testing::StartsWith("!!! Survey log not written: "));

    ASSERT_TRUE(QDir().mkpath(folder));
    log.WriteSurveyLine(QStringLiteral("100"));
    ASSERT_TRUE(QDir(folder).removeRecursively());
    log.WriteSurveyLine(QStringLiteral("101"));
    log.WriteSurveyLine(QStringLiteral("102"));
    EXPECT_EQ(Failures.size(), 2u);
}

} // namespace
