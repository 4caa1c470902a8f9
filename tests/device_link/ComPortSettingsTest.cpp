#include "device_link/ComPortSettings.h"
#include "device_link/EComPort.h"
#include "device_link/PortUnderTest.h"
#include "device_link/UserSettingsFolder.h"

#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString DevicePath = QStringLiteral("\\Software\\Corvane\\Tavrik");

class ComPortSettingsTest : public testing::Test {
protected:
    void SetUp() override {
        UserSettingsFolder();
        Key().clear();
    }

    static QSettings Key() {
        return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Corvane"),
                         QStringLiteral("Tavrik"));
    }
    static void Store(const char* name, const QVariant& value) {
        QSettings key = Key();
        key.setValue(QString::fromLatin1(name), value);
    }
    void OpenPort() {
        Port.OpenCounting(Terminal.SlavePath());
        ASSERT_TRUE(Port.GetConnected());
    }

    static int ErrorOf(const std::function<void()>& call) {
        try {
            call();
        } catch (const EComPort& error) {
            return error.ErrorCode();
        }
        return 0;
    }

    TPtyPair Terminal;
    TCountingComPort Port;
    TComPortSettings Settings{Port};
};

// --- saving ---

TEST_F(ComPortSettingsTest, DevicePortDefaultsGiveExactlyTheSixBasicValues) {
    Settings.SaveSettings(stRegistry, DevicePath);
    QSettings key = Key();
    QStringList names = key.childKeys();
    names.sort();
    EXPECT_EQ(names, (QStringList{"BaudRate", "DataBits", "FlowControl", "Parity", "Port", "StopBits"}));
    EXPECT_EQ(key.value("Port").toString(), "COM1");
    EXPECT_EQ(key.value("BaudRate").toString(), "9600");
    EXPECT_EQ(key.value("StopBits").toString(), "1");
    EXPECT_EQ(key.value("DataBits").toString(), "8");
    EXPECT_EQ(key.value("Parity").toString(), "Even");
    EXPECT_EQ(key.value("FlowControl").toString(), "None");
}

TEST_F(ComPortSettingsTest, SavingWithoutAKeyFailsWith16) {
    EXPECT_EQ(ErrorOf([&] { Settings.SaveSettings(stRegistry, QStringLiteral("Tavrik")); }), 16);
}

// --- loading from the registry ---

TEST_F(ComPortSettingsTest, NewSpeedReachesAnOpenPortOnceAtTheEnd) {
    OpenPort();
    Settings.SaveSettings(stRegistry, DevicePath);
    Store("BaudRate", "19200");
    Settings.LoadSettings(stRegistry, DevicePath);
    ExpectAppliedOnceWithoutReopen(Port, br19200);
}

TEST_F(ComPortSettingsTest, EmptyKeyGivesTheFallbacksToAClosedPort) {
    Port.SetBaudRate(br19200);
    Port.SetStopBits(sbTwoStopBits);
    Port.SetDataBits(dbSeven);
    Settings.LoadSettings(stRegistry, DevicePath);
    EXPECT_EQ(Port.GetPort(), "");
    EXPECT_EQ(Port.GetBaudRate(), br9600);
    EXPECT_EQ(Port.GetStopBits(), sbOneStopBit);
    EXPECT_EQ(Port.GetDataBits(), dbEight);
    EXPECT_EQ(Port.GetParity().GetBits(), prNone);
    EXPECT_EQ(Port.GetFlowControl().GetFlowControl(), fcNone);
}

TEST_F(ComPortSettingsTest, EmptyKeyClosesAnOpenPortAndStopsReading) {
    OpenPort();
    Port.SetBaudRate(br19200);
    EXPECT_EQ(ErrorOf([&] { Settings.LoadSettings(stRegistry, DevicePath); }), 17);
    EXPECT_FALSE(Port.GetConnected());
    EXPECT_EQ(Port.GetBaudRate(), br19200);
    // The update counter is back at 0: a later update applies again.
    Port.Applies = 0;
    Port.BeginSettingsUpdate();
    Port.EndSettingsUpdate();
    EXPECT_EQ(Port.Applies, 1);
}

TEST_F(ComPortSettingsTest, TextsAreReadIgnoringCase) {
    Store("Parity", "even");
    Store("BaudRate", "cUSTOM");
    Store("CustomBaudRate", 31250);
    Settings.LoadSettings(stRegistry, DevicePath);
    EXPECT_EQ(Port.GetParity().GetBits(), prEven);
    EXPECT_EQ(Port.GetBaudRate(), brCustom);
    EXPECT_EQ(Port.GetCustomBaudRate(), 31250);
}

TEST_F(ComPortSettingsTest, CustomSpeedWithoutItsValueFailsWith17) {
    Store("BaudRate", "Custom");
    EXPECT_EQ(ErrorOf([&] { Settings.LoadSettings(stRegistry, DevicePath); }), 17);
}

// --- INI files and the other groups ---

TEST_F(ComPortSettingsTest, EveryGroupSurvivesAnIniFileRoundTrip) {
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("port.ini"));
    const TStoredGroups all{sgBasic, sgFlowControl, sgBuffer, sgTimeouts, sgParity, sgOthers};
    Port.SetPort("ttyUSB3");
    Port.SetBaudRate(brCustom);
    Port.SetCustomBaudRate(31250);
    Port.SetEventChar(200);
    Port.SetDiscardNull(true);
    Port.GetParity().SetCheck(true);
    Port.GetParity().SetReplaceChar('?');
    Port.GetBuffer().SetInputSize(4096);
    Port.GetTimeouts().SetWriteTotalConstant(250);
    Port.GetFlowControl().SetControlDTR(dtrHandshake);
    Port.GetFlowControl().SetXonChar(0);
    Settings.SetStoredGroups(all);
    Settings.SaveSettings(stIniFile, file);

    TCountingComPort copy;
    TComPortSettings copySettings(copy, QString());
    copySettings.SetStoredGroups(all);
    copySettings.LoadSettings(stIniFile, file);
    EXPECT_EQ(copy.GetPort(), "ttyUSB3");
    EXPECT_EQ(copy.GetCustomBaudRate(), 31250);
    EXPECT_EQ(copy.GetEventChar(), 200);
    EXPECT_TRUE(copy.GetDiscardNull());
    EXPECT_TRUE(copy.GetParity().GetCheck());
    EXPECT_EQ(copy.GetParity().GetReplaceChar(), '?');
    EXPECT_EQ(copy.GetBuffer().GetInputSize(), 4096);
    EXPECT_EQ(copy.GetTimeouts().GetWriteTotalConstant(), 250);
    EXPECT_EQ(copy.GetFlowControl().GetControlDTR(), dtrHandshake);
    EXPECT_EQ(copy.GetFlowControl().GetXonChar(), 0);
}

TEST_F(ComPortSettingsTest, MissingIniValuesKeepThePortsValues) {
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("port.ini"));
    {
        QSettings ini(file, QSettings::IniFormat);
        ini.setValue(QStringLiteral("Port1/BaudRate"), QStringLiteral("Custom"));
    }
    Port.SetPort("ttyS1");
    Port.SetCustomBaudRate(31250);
    TComPortSettings named(Port, QStringLiteral("Port1"));
    named.LoadSettings(stIniFile, file);
    EXPECT_EQ(Port.GetPort(), "ttyS1");
    EXPECT_EQ(Port.GetBaudRate(), brCustom);
    EXPECT_EQ(Port.GetCustomBaudRate(), 9600);
    EXPECT_EQ(Port.GetParity().GetBits(), prEven);
}

} // namespace
