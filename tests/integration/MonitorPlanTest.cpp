// kelvo-monitor --plan against the console emulator's program, as a bench in CI runs it.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <gmock/gmock.h>

using testing::HasSubstr;

namespace {

const QString SmokePlan = KELVO_PLANS_DIR "/smoke.json";

// kelvo-console-sim on a pseudo-terminal of its own, with a script of faults.
class EmulatorProgram {
public:
    EmulatorProgram(const QTemporaryDir& folder, const QString& script = "") {
        QStringList arguments{"--version", "5", "--heart", "120", "--record", folder.filePath("record.txt")};
        if (!script.isEmpty()) {
            QFile file(folder.filePath("script.txt"));
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(script.toUtf8());
            arguments << "--script" << file.fileName();
        }
        FProcess.start(KELVO_CONSOLE_SIM_PATH, arguments);
        EXPECT_TRUE(FProcess.waitForReadyRead(5000));
        FPath = QString::fromUtf8(FProcess.readLine()).trimmed();
    }
    ~EmulatorProgram() {
        FProcess.terminate();
        FProcess.waitForFinished(5000);
    }
    const QString& Path() const { return FPath; }

private:
    QProcess FProcess;
    QString FPath;
};

struct TMonitorRun {
    int Exit = -1;
    QString Out;
    QString Err;
};

TMonitorRun RunMonitor(const QStringList& arguments) {
    QProcess monitor;
    monitor.start(KELVO_MONITOR_PATH, arguments);
    EXPECT_TRUE(monitor.waitForFinished(150000));
    return {monitor.exitCode(), QString::fromUtf8(monitor.readAllStandardOutput()),
            QString::fromUtf8(monitor.readAllStandardError())};
}

// The test cases of a JUnit file and how many of them failed; -1 when it is no XML.
std::pair<int, int> JUnitCases(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {-1, -1};
    QXmlStreamReader xml(&file);
    int cases = 0, failures = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        cases += xml.name() == QStringLiteral("testcase");
        failures += xml.name() == QStringLiteral("failure");
    }
    return xml.hasError() ? std::pair{-1, -1} : std::pair{cases, failures};
}

} // namespace

TEST(MonitorPlan, TheSmokePlanPassesOnAHealthyConsoleInUnderTwoMinutes) {
    QTemporaryDir folder;
    EmulatorProgram emulator(folder);
    QElapsedTimer took;
    took.start();
    const TMonitorRun run = RunMonitor({"--plan", SmokePlan, "--junit", folder.filePath("out.xml"), "--report",
                                        folder.filePath("out.txt"), emulator.Path()});
    EXPECT_LT(took.elapsed(), 120000);
    EXPECT_EQ(run.Exit, 0) << run.Out.toStdString() << run.Err.toStdString();
    EXPECT_THAT(run.Out.toStdString(), HasSubstr("PLAN Verdict: PASSED (15 of 15 passed)"));
    EXPECT_EQ(JUnitCases(folder.filePath("out.xml")), std::pair(15, 0));
    QFile report(folder.filePath("out.txt"));
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    EXPECT_THAT(report.readAll().toStdString(), HasSubstr("Console: version 5 on " + emulator.Path().toStdString() +
                                                          ", serial number 123456, firmware 1"));
}

TEST(MonitorPlan, AConsoleThatHangsUpFailsThePlanAndNamesTheStep) {
    QTemporaryDir folder;
    EmulatorProgram emulator(folder, "3000 hangup 20000\n");
    const TMonitorRun run = RunMonitor({"--plan", SmokePlan, "--junit", folder.filePath("out.xml"), emulator.Path()});
    EXPECT_EQ(run.Exit, 1) << run.Out.toStdString();
    EXPECT_THAT(run.Out.toStdString(), HasSubstr("PLAN Verdict: FAILED"));
    EXPECT_THAT(run.Out.toStdString(), testing::ContainsRegex("PLAN +[0-9]+ FAILED +[^:]+: (link lost|console disconnected)"));
    EXPECT_GT(JUnitCases(folder.filePath("out.xml")).second, 0);
}

TEST(MonitorPlan, AnUnreadablePlanExitsTwoWithoutTouchingThePortAndALostReportIsAFailure) {
    QTemporaryDir folder;
    EmulatorProgram emulator(folder);
    QFile plan(folder.filePath("bad.json"));
    ASSERT_TRUE(plan.open(QIODevice::WriteOnly));
    plan.write(R"({"name": "bad", "steps": [{"step": "wait", "seconds": 1}, {"step": "set", "setpoint": "resistance", "value": 900}]})");
    plan.close();
    const TMonitorRun refused = RunMonitor({"--plan", plan.fileName(), emulator.Path()});
    EXPECT_EQ(refused.Exit, 2);
    EXPECT_EQ(refused.Err.toStdString(), plan.fileName().toStdString() + ": step 2: 'value' is 900, outside 0 to 255\n");
    QFile record(folder.filePath("record.txt"));
    ASSERT_TRUE(record.open(QIODevice::ReadOnly));
    EXPECT_THAT(record.readAll().toStdString(), testing::Not(testing::ContainsRegex("\n[0-9.]+ in ")));

    // A plan that passed but whose report could not be kept is no success.
    ASSERT_TRUE(plan.open(QIODevice::WriteOnly | QIODevice::Truncate));
    plan.write(R"({"steps": [{"step": "wait", "seconds": 0.5}]})");
    plan.close();
    const TMonitorRun lost = RunMonitor({"--plan", plan.fileName(), "--junit", folder.filePath("gone/out.xml"), emulator.Path()});
    EXPECT_EQ(lost.Exit, 1);
    EXPECT_THAT(lost.Out.toStdString(), HasSubstr("PLAN Verdict: PASSED"));
    EXPECT_THAT(lost.Err.toStdString(), HasSubstr("Cannot write the report " + folder.filePath("gone/out.xml").toStdString() +
                                                  ": No such file or directory"));
}
