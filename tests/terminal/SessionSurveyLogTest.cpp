#include "terminal/SurveyLog.h"
#include "terminal/TerminalSession.h"

#include "device_link/ManualClock.h"

#include <QFile>
#include <QTemporaryDir>
#include <gmock/gmock.h>

namespace {

using testing::HasSubstr;

class SessionSurveyLogTest : public testing::Test {
protected:
    SessionSurveyLogTest() { Session.AttachSurveyLog(&Log); }
    ~SessionSurveyLogTest() override { Session.AttachSurveyLog(nullptr); }

    std::string LogText() const {
        QFile file(Log.GetFileName());
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
    }

    TManualClock Clock{1000};
    QTemporaryDir Folder;
    TSurveyLog Log{Folder.filePath(QStringLiteral("CS.log"))};
    TTerminalSession Session;
};

TEST_F(SessionSurveyLogTest, DeviceEventsReachTheLogAndADisconnectionWithoutPortEndsTheRide) {
    TKelvoDevice& device = Session.Device();
    device.SetSimulationMode(true); // connects without a port
    device.Start();
    ASSERT_TRUE(device.GetStatsTimerEnabled());
    device.OnComDataPacketDiscard(&device, BytesOf({0xF0, 0x01, 0xF7}));
    device.SetSimulationMode(false);

    const std::string text = LogText();
    EXPECT_THAT(text, HasSubstr("connected on "));
    EXPECT_THAT(text, HasSubstr("\t100\tConsole message discarded:  F0 01 F7\r\n"));
    EXPECT_THAT(text, HasSubstr("\t------ Kvd Disconnected ------\r\n"));
    EXPECT_THAT(text, HasSubstr("End reason:\tKvd Disconnected\r\n"));
    EXPECT_FALSE(device.GetStatsTimerEnabled());
}

} // namespace
