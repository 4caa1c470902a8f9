// Discovery over real pseudo-terminals, with the emulated console on one of them.
#include "console_sim/ConsoleSimulator.h"
#include "device/DeviceDiscovery.h"
#include "device/PseudoTerminalLine.h"
#include "device/KelvoDevice.h"
#include "device/ProgressOperations.h"
#include "device_link/ApplicationError.h"
#include "device_link/ManualClock.h"
#include "device_link/SerialPortList.h"
#include "device_link/WaitWithMessages.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>
#include <gmock/gmock.h>

#include <string>
#include <vector>

using testing::ElementsAre;
using testing::IsEmpty;

namespace {

// Records what the progress dialog would show.
class RecordingProgress : public TProgressPresenter {
public:
    RecordingProgress() : FPrevious(InstallProgressPresenter(this)) {}
    ~RecordingProgress() override { InstallProgressPresenter(FPrevious); }
    void Show(std::int32_t cancel, std::int32_t max, const std::string& text) override {
        steps.push_back("show " + std::to_string(cancel) + " " + std::to_string(max) + " " + text);
    }
    void Update(std::int32_t max, std::int32_t position, const std::string& text) override {
        steps.push_back(std::to_string(position) + "/" + std::to_string(max) + " " + text);
    }
    void Close() override { steps.push_back("close"); }
    void SetBusyCursor(bool busy) override { steps.push_back(busy ? "busy" : "normal"); }
    std::vector<std::string> steps;

private:
    TProgressPresenter* FPrevious;
};

class DiscoveryTest : public testing::Test {
protected:
    DiscoveryTest() {
        DeviceDiscovery::DiscoveryLog = [this](const std::string& line) { log.push_back(line); };
    }
    ~DiscoveryTest() override {
        DeviceDiscovery::DiscoveryLog = nullptr;
        qunsetenv("KELVO_EXTRA_PORTS");
    }
    std::string PathOf(const char* name) const { return QDir(folder.path()).filePath(name).toStdString(); }

    QTemporaryDir folder;
    RecordingProgress progress;
    TKelvoDevice device;
    std::vector<std::string> log;
};

// The lines of one probe that finds nothing.
std::vector<std::string> NotPresentLines(const std::string& port) {
    return {"",
            port + " Opening port...",
            port + " Opened",
            port + " Sending Kelvo identification...",
            port + " KELVO is not present on this port",
            port + " Closing port..."};
}

TEST_F(DiscoveryTest, ConsoleOnTheSecondOfThreePortsIsFoundAndTheThirdNeverOpened) {
    const std::string first = PathOf("kelvoA"), second = PathOf("kelvoB"), third = PathOf("kelvoC");
    PseudoTerminalLine lineA(first), lineC(third);
    TConsoleSettings settings;
    settings.Version = 5;
    TConsoleSimulator console(settings);
    console.SetLinkPath(second);
    console.Start();
    qputenv("KELVO_EXTRA_PORTS", (third + ":" + first + ":" + second).c_str());
    QStringList ports;
    ListSerialPorts(ports);
    ASSERT_GE(ports.size(), 3);
    ASSERT_EQ(ports[0].toStdString(), first); // paths sort before the system's port names

    ASSERT_TRUE(DeviceDiscovery::FindDevice(device, 3, 100));

    EXPECT_TRUE(device.GetConnected());
    EXPECT_TRUE(device.GetComPortConnected());
    EXPECT_EQ(device.GetComPortPort(), second);
    EXPECT_EQ(device.GetVersion(), 5.0);
    EXPECT_EQ(lineC.Drain(), "");

    std::vector<std::string> expected = {"", "FINDING DEVICE: 1/3", "List active com ports"};
    for (const QString& port : ports) expected.push_back("\t" + port.toStdString());
    const std::vector<std::string> firstProbe = NotPresentLines(first);
    expected.insert(expected.end(), firstProbe.begin(), firstProbe.end());
    expected.insert(expected.end(), {"", second + " Opening port...", second + " Opened",
                                     second + " Sending Kelvo identification...",
                                     second + " KELVO Found on this port!"});
    EXPECT_EQ(log, expected);

    EXPECT_THAT(progress.steps, ElementsAre("show -1 3 Reading the com ports...", "1/3 Time  1",
                                            "1/3 Opening port " + first, "1/3 Opening port " + second,
                                            "2/3 Time  2", "close"));
    console.Stop();
}

TEST_F(DiscoveryTest, QuietPortGetsTheIdentificationThreeTimesAndIsClosedAgain) {
    TManualClock clock(1000);
    PseudoTerminalLine line(PathOf("quiet"));
    device.SetComPortPort(line.PortName());
    EXPECT_FALSE(DeviceDiscovery::ProbePort(device, 100));
    const std::vector<std::string> lines = NotPresentLines(line.PortName());
    EXPECT_EQ(log, std::vector<std::string>(lines.begin() + 1, lines.end()));
    EXPECT_EQ(HexText(line.Drain()), " F0 08 28 00 00 F7 F0 08 28 00 00 F7 F0 08 28 00 00 F7");
    EXPECT_FALSE(device.GetComPortConnected());
    EXPECT_EQ(clock.Now(), 1000u + 200 + 3 * 100);
}

TEST_F(DiscoveryTest, PortNameIsLoggedWithoutItsTrailingNul) {
    const std::string path = PathOf("nul");
    device.SetComPortPort(path + '\0');
    EXPECT_FALSE(DeviceDiscovery::ProbePort(device, 100));
    ASSERT_THAT(log, testing::SizeIs(2));
    EXPECT_EQ(log[0], path + " Opening port...");
    EXPECT_THAT(log[1], testing::StartsWith(path + " Unable to open com port"));
}

TEST_F(DiscoveryTest, NoPassesShowsAndClosesTheDialogOnly) {
    EXPECT_FALSE(DeviceDiscovery::FindDevice(device, 0, 100));
    EXPECT_THAT(log, IsEmpty());
    EXPECT_THAT(progress.steps, ElementsAre("show -1 0 Reading the com ports...", "close"));
}

TEST_F(DiscoveryTest, NoPortsEndTheSearchAtOnce) {
    DeviceDiscovery::PortLister = [](QStringList& ports) { ports.clear(); };
    std::vector<std::string> errorBoxes;
    SetApplicationErrorDisplay([&](const std::exception_ptr& error) {
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& shown) {
            errorBoxes.push_back(shown.what());
            EXPECT_TRUE(IsProgressDialogShown()); // the dialog goes only after the box
        }
    });
    EXPECT_FALSE(DeviceDiscovery::FindDevice(device, 3, 100));
    DeviceDiscovery::PortLister = ListSerialPorts;
    SetApplicationErrorDisplay(nullptr);
    EXPECT_THAT(errorBoxes, ElementsAre("Cannot list the com ports of the computer!"));
    EXPECT_THAT(log, ElementsAre("", "FINDING DEVICE: 1/3", "List active com ports"));
    EXPECT_THAT(progress.steps,
                ElementsAre("show -1 3 Reading the com ports...", "1/3 Time  1",
                            "1/3 Cannot list the com ports of the computer!", "close"));
}

TEST_F(DiscoveryTest, ADeviceDestroyedDuringTheSearchEndsItAtOnceAndIsFreedAfterIt) {
    TManualClock clock(1000);
    PseudoTerminalLine lineA(PathOf("kelvoA")), lineB(PathOf("kelvoB"));
    DeviceDiscovery::PortLister = [&](QStringList& ports) {
        ports = {QString::fromStdString(lineA.PortName()), QString::fromStdString(lineB.PortName())};
    };
    auto searched = std::make_unique<TKelvoDevice>();
    TKelvoDevice& searching = *searched;
    QTimer::singleShot(0, QCoreApplication::instance(), [&] { DestroyAfterWaits(std::move(searched)); });
    EXPECT_FALSE(DeviceDiscovery::FindDevice(searching, 3, 100));
    DeviceDiscovery::PortLister = ListSerialPorts;
    EXPECT_EQ(clock.Now(), 1000u) << "no wait of the search let time pass";
    EXPECT_EQ(lineA.Drain(), "") << "nothing sent by a device going away";
    EXPECT_EQ(progress.steps.back(), "close");
    QCoreApplication::processEvents();
}

// ---- Device information ----

TEST_F(DiscoveryTest, InformationOfADisconnectedDeviceIsNotAvailable) {
    const DeviceDiscovery::TDeviceInfo info = DeviceDiscovery::GetDeviceInfo(device, 1000);
    EXPECT_EQ(info.VersionText, "Not available");
    EXPECT_EQ(info.ProductVersionText, "Not available");
    EXPECT_EQ(info.SerialText, "Not available");
    EXPECT_THAT(progress.steps, ElementsAre("busy", "normal"));
}

TEST_F(DiscoveryTest, InformationAsksOnlyForWhatIsMissing) {
    TManualClock clock(1000);
    PseudoTerminalLine line(PathOf("info"));
    device.SetComPortPort(line.PortName());
    device.SetComPortConnected(true);
    device.SetConnected(true);
    device.ParseMessage(BytesOf({0xF0, 0x03, 0x01, 0xE2, 0x40, 0xF7})); // serial 123456
    line.Drain();

    const DeviceDiscovery::TDeviceInfo info = DeviceDiscovery::GetDeviceInfo(device, 1000);

    EXPECT_EQ(HexText(line.Drain()), " F0 09 00 00 00 F7");
    EXPECT_EQ(clock.Now(), 2000u);
    EXPECT_EQ(info.VersionText, "4");
    EXPECT_EQ(info.SerialText, "123456");
    EXPECT_EQ(info.ProductVersionText, "Not available");
}

} // namespace
