#include "terminal/TerminalSession.h"

#include "device/ApplicationMessageEvent.h"
#include "device/PseudoTerminalLine.h"
#include "device_link/ManualClock.h"

#include <QCoreApplication>
#include <gmock/gmock.h>

using testing::ElementsAre;

namespace {

class TerminalSessionTest : public testing::Test {
protected:
    TManualClock clock{1000};
    TTerminalSession session;
    std::vector<std::string> lines;
    int clears = 0;
    int beeps = 0;

    void SetUp() override {
        session.OnAddLine = [this](const std::string& line) { lines.push_back(line); };
        session.OnClearTerminal = [this] {
            ++clears;
            lines.clear();
        };
        session.OnBeep = [this] { ++beeps; };
    }

    // Opens the line as a port without starting a run, so that nothing but the test writes.
    void OpenQuietly(const PseudoTerminalLine& line) {
        session.Device().OnComPortAfterOpen = nullptr;
        session.Device().SetComPortPort(line.PortName());
        session.Device().SetComPortConnected(true);
        lines.clear(); // the modem-line lines of the open
    }

    static void Deliver(std::uint32_t message) {
        QCoreApplication::postEvent(QCoreApplication::instance(), new TApplicationMessageEvent(message));
        QCoreApplication::sendPostedEvents();
    }
};

constexpr char ProductVersionEcho[] = "\tTRX <<<   F0 09 00 00 00 F7 9 Request: Product version";
constexpr char SerialNumberEcho[] = "\tTRX <<<   F0 03 00 00 00 F7 3 Request: Serial number";

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

TEST_F(TerminalSessionTest, DeviceStartsAsTheWindowsBoxesSayAndFollowsThemAllAtOnce) {
    TKelvoDevice& device = session.Device();
    // The layout stores the first heart filter; the checked "HRFilter2Active" box wins.
    EXPECT_TRUE(device.GetHrFilter2Active());
    EXPECT_TRUE(device.GetSecurityActive());
    EXPECT_TRUE(session.WriteToMemo);
    session.ApplyOptionBoxes({.WriteToMemo = false, .MantConsoleActive = false, .EnableConSurvey = false,
                              .HrFilter2Active = false, .Security = false});
    EXPECT_FALSE(session.WriteToMemo);
    EXPECT_FALSE(device.GetMaintainsConsoleActive());
    EXPECT_FALSE(device.GetConnectionSurvey());
    EXPECT_FALSE(device.GetHrFilter2Active());
    EXPECT_FALSE(device.GetSecurityActive());
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

TEST_F(TerminalSessionTest, OpeningAMissingPortNamesItInTheMessage_AndTheSystemsReasonInALine) {
    session.Device().SetComPortPort("/nonexistent/kelvo");
    EXPECT_EQ(session.OpenOrClosePort(), "Cannot open the com port !\r\n/nonexistent/kelvo\r\nPlease verify your connection");
    EXPECT_FALSE(session.Device().GetComPortConnected());
    const char* const reason = "Cannot open /nonexistent/kelvo: No such file or directory (system error 2)";
    EXPECT_THAT(lines, ElementsAre(reason));
    EXPECT_THAT(session.OpenFailureReason(), ElementsAre(reason));
}

TEST_F(TerminalSessionTest, OpeningAPortHeldElsewhereSaysSo) {
    PseudoTerminalLine line;
    TComPort holder;
    holder.SetPort(line.PortName());
    holder.Open();
    session.Device().SetComPortPort(line.PortName());
    EXPECT_NE(session.OpenOrClosePort(), "");
    // Root passes the holder's exclusive mode and meets its lock; any other user meets the mode.
    EXPECT_THAT(lines, ElementsAre(testing::AnyOf("Cannot open " + line.PortName() +
                                                      ": Resource temporarily unavailable (system error 11)",
                                                  "Cannot open " + line.PortName() +
                                                      ": Device or resource busy (system error 16)"),
                                   "Hint: another program has the port open"));
    holder.Close();
    EXPECT_EQ(session.OpenOrClosePort(), "");
    EXPECT_THAT(session.OpenFailureReason(), testing::IsEmpty());
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

TEST_F(TerminalSessionTest, FailedCloseLeavesTheBeepToTheCallerAfterItsMessage) {
    PseudoTerminalLine line;
    OpenQuietly(line);
    session.Device().OnComPortBeforeClose = [](TComponent*) { throw std::runtime_error("close refused"); };
    EXPECT_EQ(session.OpenOrClosePort(), "close refused");
    EXPECT_EQ(beeps, 0);
}

// ---- Console requests ----

TEST_F(TerminalSessionTest, RequestWithThePortClosedWritesItsEchoAndAnEmptyLine) {
    session.SendConsoleRequest(9, 0, 0);
    EXPECT_THAT(lines, ElementsAre(ProductVersionEcho, ""));
    session.TerminalVisible = false;
    session.SendConsoleRequest(9, 0, 0);
    EXPECT_THAT(lines, ElementsAre(ProductVersionEcho, "", ""));
}

TEST_F(TerminalSessionTest, UncheckedWriteToMemoKeepsTheEchoAlone) {
    session.WriteToMemo = false;
    lines = {"older line"};
    session.SendConsoleRequest(9, 0, 0);
    EXPECT_EQ(clears, 1);
    EXPECT_THAT(lines, ElementsAre(ProductVersionEcho));
}

TEST_F(TerminalSessionTest, RequestReachesTheLine_ByteStreamConsolesGetOnlyTheIdentificationByte) {
    PseudoTerminalLine line;
    OpenQuietly(line);
    session.SendConsoleRequest(7, 1, 0);
    EXPECT_EQ(line.Drain(), BytesOf({0xF0, 0x07, 0x01, 0x00, 0x00, 0xF7}));
    session.Device().SetVersion(3);
    session.SendConsoleRequest(3, 0, 0);
    session.SendConsoleRequest(8, 0x28, 0);
    EXPECT_EQ(line.Drain(), BytesOf({0x28}));
    EXPECT_EQ(lines.size(), 6u); // every request still echoes
}

TEST_F(TerminalSessionTest, FailedWriteIsOneLineAndABeep) {
    PseudoTerminalLine line;
    OpenQuietly(line);
    line.CloseMaster();
    EXPECT_NO_THROW(session.SendConsoleRequest(9, 0, 0));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_THAT(lines[2], testing::StartsWith("!!! Send failed: "));
    EXPECT_EQ(beeps, 1);
}

TEST_F(TerminalSessionTest, EveryStartAsksForTheSerialNumber) {
    TKelvoDevice& device = session.Device();
    device.SetVersion(5);
    device.SetConnected(true);
    device.Start();
    EXPECT_THAT(lines, ElementsAre(SerialNumberEcho, ""));
    EXPECT_EQ(beeps, 1);
}

// ---- Application messages ----

TEST_F(TerminalSessionTest, EnterKeyMessageIsAnEnterPress_OtherNumbersAreIgnored) {
    std::vector<TConsoleKey> pressed;
    session.OnConsoleKeyPressed = [&](TConsoleKey key) { pressed.push_back(key); };
    Deliver(TTerminalSession::EnterKeyMessage);
    Deliver(TTerminalSession::EnterKeyMessage + 1);
    EXPECT_THAT(lines, ElementsAre("ckEnter pressed"));
    EXPECT_THAT(pressed, ElementsAre(ckEnter));
}

TEST_F(TerminalSessionTest, FailingEnterKeyHandlingStaysInsideTheSession) {
    session.OnAddLine = [](const std::string&) { throw std::runtime_error("terminal gone"); };
    EXPECT_NO_THROW(Deliver(TTerminalSession::EnterKeyMessage));
}

} // namespace
