// The connection survey against the emulated console when its line hangs up during a ride.
#include "console_sim/ConsoleSimulator.h"
#include "device/KelvoDevice.h"
#include "integration/EmulatorFixture.h"

#include <QDir>
#include <QTemporaryDir>
#include <gmock/gmock.h>

#include <string>
#include <vector>

namespace {

class SurveyWithEmulator : public testing::Test {
protected:
    SurveyWithEmulator() : console(Settings()) {
        console.SetLinkPath(linkPath);
        console.Start();
        device.OnKvdErrorInfo = [this](TComponent*, int, int code, int) { reports.push_back(code); };
        device.OnConnectionLost = [this](TComponent*) { lost = true; };
    }
    ~SurveyWithEmulator() override { console.Stop(); }

    static TConsoleSettings Settings() {
        TConsoleSettings settings;
        settings.Version = 5;
        return settings;
    }

    // Connected on the link, riding, frames flowing.
    void StartRide() {
        device.SetComPortPort(linkPath);
        device.SetComPortConnected(true);
        ASSERT_TRUE(device.TryConnect(300));
        device.Start();
        ASSERT_TRUE(FramesFlow());
    }

    bool FramesFlow() {
        const std::int32_t before = device.GetMessageCount();
        return EmulatorFixture::ServeUntil([&] { return device.GetMessageCount() >= before + 5; }, 2000);
    }

    bool Reported(int code) const { return std::find(reports.begin(), reports.end(), code) != reports.end(); }

    QTemporaryDir folder;
    const std::string linkPath = QDir(folder.path()).filePath("console").toStdString();
    TConsoleSimulator console;
    TKelvoDevice device;
    std::vector<int> reports;
    bool lost = false;
};

TEST_F(SurveyWithEmulator, ShortHangUpIsRepairedOnTheReappearedLine) {
    StartRide();
    console.Command("hangup 1500");
    ASSERT_TRUE(EmulatorFixture::ServeUntil([&] { return Reported(614); }, 15000));
    EXPECT_TRUE(FramesFlow());
    EXPECT_EQ(device.GetDisconnectionCount(), 1);
    EXPECT_TRUE(device.GetConnected());
    EXPECT_EQ(device.GetStatus(), dsRunning);
    EXPECT_EQ(reports.front(), 720);
    EXPECT_FALSE(lost);
}

TEST_F(SurveyWithEmulator, HangUpBeyondThreeAttemptsLosesTheConnection) {
    StartRide();
    console.Command("hangup 30000");
    ASSERT_TRUE(EmulatorFixture::ServeUntil([&] { return lost; }, 20000));
    EXPECT_THAT(reports, testing::ElementsAre(720, 710, 720, 710, 720, 710, 711));
    EXPECT_FALSE(device.GetConnected());
    EXPECT_EQ(device.GetDisconnectionCount(), 1);
}

} // namespace
