#include "terminal/TerminalSession.h"

#include "device_link/ManualClock.h"

#include <gmock/gmock.h>

using testing::ElementsAre;

namespace {

class TerminalSessionTest : public testing::Test {
protected:
    TManualClock clock{1000};
    TTerminalSession session;
    std::vector<std::string> lines;
    int clears = 0;

    void SetUp() override {
        session.OnAddLine = [this](const std::string& line) { lines.push_back(line); };
        session.OnClearTerminal = [this] {
            ++clears;
            lines.clear();
        };
    }
};

// ---- Start-up ----

TEST_F(TerminalSessionTest, StartsAtFourAndAHalfWithTheConsoleLine) {
    TKelvoDevice& device = session.Device();
    EXPECT_EQ(device.GetVersion(), 4.5);
    EXPECT_EQ(device.GetSpeedArrayLength(), 6);
    EXPECT_EQ(device.GetComPort()->GetBaudRate(), br9600);
    EXPECT_EQ(device.GetComPort()->GetParity().GetBits(), prEven);
    EXPECT_EQ(device.GetComPort()->GetEvents(), (TComEvents{evRxChar, evTxEmpty, evBreak, evError, evRx80Full}));
    EXPECT_EQ(device.GetPrecisionSpeed(), 8);
    EXPECT_EQ(device.GetKeyRepeatInterval(), 600);
    // The checked "Enable Con. survey" box wins over the layout's stored "off".
    EXPECT_TRUE(device.GetConnectionSurvey());
}

TEST_F(TerminalSessionTest, HeartIsWatchedAndASwitchedOnDeviceNeverStopsForTheAbsoluteLimit) {
    TKelvoDevice& device = session.Device();
    EXPECT_TRUE(device.GetHeartEnabled());
    EXPECT_TRUE(device.GetHeartConnectionSurvey());
    EXPECT_TRUE(device.GetHeartConnectionActive());
    EXPECT_EQ(device.GetAlarmHeartAbsoluteLimit(), 221);
    EXPECT_EQ(device.GetTolerance(), 2.0);
    session.SwitchDevice(true); // no port: nothing connects, the limits are set all the same
    EXPECT_EQ(device.GetAlarmHeartAbsoluteLimit(), 99999999);
}

TEST_F(TerminalSessionTest, VersionChangesPickTheSpeedArrayLength) {
    TKelvoDevice& device = session.Device();
    device.SetVersion(4);
    EXPECT_EQ(device.GetSpeedArrayLength(), 25);
    device.SetVersion(7);
    EXPECT_EQ(device.GetSpeedArrayLength(), 6);
    device.SetVersion(3);
    EXPECT_EQ(device.GetSpeedArrayLength(), 6);
}

TEST_F(TerminalSessionTest, SurveyBoxDrivesTheSurveyItself) {
    session.SetConnectionSurveyEnabled(false);
    EXPECT_FALSE(session.Device().GetConnectionSurvey());
    session.SetConnectionSurveyEnabled(true);
    EXPECT_TRUE(session.Device().GetConnectionSurvey());
}

// ---- Opening the port ----

TEST_F(TerminalSessionTest, OpeningWithoutAPortNameAsksForOne) {
    session.Device().SetComPortPort("");
    EXPECT_EQ(session.OpenOrClosePort(), "Please assign a com port !");
}

TEST_F(TerminalSessionTest, OpeningAMissingPortNamesItInTheMessage) {
    session.Device().SetComPortPort("/nonexistent/kelvo");
    EXPECT_EQ(session.OpenOrClosePort(), "Cannot open the com port !\r\n/nonexistent/kelvo\r\nPlease verify your connection");
    EXPECT_FALSE(session.Device().GetComPortConnected());
}

// ---- Lines ----

TEST_F(TerminalSessionTest, UncheckedWriteToMemoClearsBeforeShortFamilyMeasurements) {
    session.WriteToMemo = false;
    session.Device().SetVersion(4);
    session.Device().ParseMessage(BytesOf({0xF0, 0x01, 0x00, 0x02, 0x00, 0xF7}));
    session.Device().ParseMessage(BytesOf({0xF0, 0x01, 0x00, 0x03, 0x00, 0xF7}));
    EXPECT_EQ(clears, 2);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_THAT(lines[0], testing::StartsWith("Rcv>>  F0 01 00 03 00 F7 mtInfos, Rolls: 3,"));
}

TEST_F(TerminalSessionTest, RejectedAndDiscardedFramesGetTheirLines) {
    session.Device().SetVersion(4);
    session.Device().ParseMessage(BytesOf({0x01, 0x02, 0x03, 0x04, 0x05, 0x06}));
    session.Device().GetDataPacket()->SetComPort(nullptr);
    session.Device().GetDataPacket()->AppendReceived(BytesOf({0x33, 0xF0, 0x05, 0, 0, 0, 0xF7}));
    EXPECT_THAT(lines, ElementsAre("!!! Rejected:  01 02 03 04 05 06", "*** Discarded:  33",
                                   "Rcv>>mtAck: -------- ACK --------"));
}

} // namespace
