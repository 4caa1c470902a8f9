// kelvo-monitor driven from its standard input while it rides the emulated console.
#include "integration/EmulatorFixture.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <gmock/gmock.h>

#include <vector>

using testing::HasSubstr;

namespace {

// The speed of every STATS line the monitor printed so far.
class StatsSpeeds {
public:
    explicit StatsSpeeds(QProcess& monitor) : FMonitor(monitor) {}

    const std::vector<double>& Read() {
        FText += QString::fromUtf8(FMonitor.readAllStandardOutput());
        static const QRegularExpression speed("STATS .*\\| Speed: *([0-9.]+) Km/h");
        FSpeeds.clear();
        for (auto match = speed.globalMatch(FText); match.hasNext();) FSpeeds.push_back(match.next().captured(1).toDouble());
        return FSpeeds;
    }

    // Waits until `count` more STATS lines have come.
    bool AwaitMore(std::size_t count, int timeoutMs) {
        const std::size_t target = Read().size() + count;
        QElapsedTimer elapsed;
        elapsed.start();
        while (Read().size() < target) {
            if (elapsed.elapsed() > timeoutMs) return false;
            FMonitor.waitForReadyRead(100);
        }
        return true;
    }

private:
    QProcess& FMonitor;
    QString FText;
    std::vector<double> FSpeeds;
};

TEST(MonitorRide, SpeedFollowsAResistanceTypedOnStandardInput) {
    EmulatorFixture emulator(5); // 25 km/h with no load
    QProcess monitor;
    monitor.start(KELVO_MONITOR_PATH, {"--seconds", "30", QString::fromStdString(emulator.Path())});
    ASSERT_TRUE(monitor.waitForStarted());
    StatsSpeeds stats(monitor);
    ASSERT_TRUE(stats.AwaitMore(3, 8000));
    EXPECT_NEAR(stats.Read().back(), 25, 0.5);

    monitor.write("resistance many\nresistance 100\n");
    // The rider model: 25 x 128 / (128 + 100) km/h once the next keep-alive carries 100.
    ASSERT_TRUE(stats.AwaitMore(3, 8000));
    EXPECT_NEAR(stats.Read().back(), 25.0 * 128 / 228, 0.5);

    monitor.terminate(); // SIGTERM ends the ride through the event loop
    ASSERT_TRUE(monitor.waitForFinished(10000));
    EXPECT_EQ(monitor.exitCode(), 0);
    EXPECT_THAT(monitor.readAllStandardError().toStdString(),
                HasSubstr("ignored 'resistance many': resistance: 'many' is not a number"));
}

} // namespace
