#include "device_link/SettingsStore.h"
#include "device_link/UserSettingsFolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <stdexcept>

namespace {

QString ConfigFile(const QString& relative) {
    return QDir(UserSettingsFolder()).filePath(relative);
}

class SettingsStoreTest : public testing::Test {
protected:
    void SetUp() override {
        QFile::remove(ConfigFile(QStringLiteral("Corvane/Tavrik.conf")));
        QFile::remove(ConfigFile(QStringLiteral("Acme/Lab.conf")));
    }
};

TEST_F(SettingsStoreTest, RegistryPathSelectsCompanyApplicationAndGroup) {
    TSettingsStore store(stRegistry, QStringLiteral("HKEY_CURRENT_USER\\Software\\Acme\\Lab\\Ports"),
                         QStringLiteral("Port1"));
    store.WriteText(QStringLiteral("Port"), QStringLiteral("ttyUSB0"));
    store.Flush();
    QSettings written(ConfigFile(QStringLiteral("Acme/Lab.conf")), QSettings::IniFormat);
    EXPECT_EQ(written.value(QStringLiteral("Ports/Port1/Port")).toString(), QStringLiteral("ttyUSB0"));
}

TEST_F(SettingsStoreTest, UnknownOrEmptyRootMeansTheCurrentUser) {
    for (const char* path : {"\\Software\\Corvane\\Tavrik", "HKEY_NOWHERE\\Software\\Corvane\\Tavrik\\"}) {
        TSettingsStore store(stRegistry, QString::fromLatin1(path), QString());
        store.WriteInteger(QStringLiteral("Buffer.InputSize"), 2048);
        store.Flush();
        QSettings written(ConfigFile(QStringLiteral("Corvane/Tavrik.conf")), QSettings::IniFormat);
        EXPECT_EQ(written.value(QStringLiteral("Buffer.InputSize")).toInt(), 2048) << path;
        QFile::remove(written.fileName());
    }
}

TEST_F(SettingsStoreTest, RegistryPathWithoutABackslashOpensNothing) {
    EXPECT_THROW(TSettingsStore(stRegistry, QStringLiteral("Software"), QString()), std::runtime_error);
}

TEST_F(SettingsStoreTest, MissingValuesReadAsEmptyOrFailInTheRegistry) {
    const TSettingsStore store(stRegistry, QStringLiteral("\\Software\\Corvane\\Tavrik"), QString());
    EXPECT_EQ(store.ReadText(QStringLiteral("Port"), QStringLiteral("COM1")), QString());
    EXPECT_THROW(store.ReadInteger(QStringLiteral("CustomBaudRate"), 9600), std::runtime_error);
}

TEST_F(SettingsStoreTest, MissingValuesAreNotTakenFromTheOrganisationsFile) {
    const QString organisation = ConfigFile(QStringLiteral("Corvane.conf"));
    {
        QSettings shared(organisation, QSettings::IniFormat);
        shared.setValue(QStringLiteral("Port"), QStringLiteral("COM9"));
        shared.setValue(QStringLiteral("CustomBaudRate"), 31250);
    }
    const TSettingsStore store(stRegistry, QStringLiteral("\\Software\\Corvane\\Tavrik"), QString());
    EXPECT_EQ(store.ReadText(QStringLiteral("Port"), QStringLiteral("COM1")), QString());
    EXPECT_THROW(store.ReadInteger(QStringLiteral("CustomBaudRate"), 9600), std::runtime_error);
    QFile::remove(organisation);
}

TEST_F(SettingsStoreTest, MissingValuesKeepTheCurrentOneInAnIniFile) {
    QTemporaryDir folder;
    TSettingsStore store(stIniFile, folder.filePath(QStringLiteral("port.ini")), QStringLiteral("ComPort1"));
    EXPECT_EQ(store.ReadText(QStringLiteral("Port"), QStringLiteral("COM1")), QStringLiteral("COM1"));
    EXPECT_EQ(store.ReadInteger(QStringLiteral("CustomBaudRate"), 9600), 9600);
    store.WriteInteger(QStringLiteral("CustomBaudRate"), 31250);
    store.Flush();
    EXPECT_EQ(store.ReadInteger(QStringLiteral("CustomBaudRate"), 9600), 31250);
}

TEST_F(SettingsStoreTest, StoreThatCannotBeWrittenFailsOnFlush) {
    QTemporaryDir folder;
    TSettingsStore store(stIniFile, folder.filePath(QStringLiteral("no-such-folder/deeper/port.ini")),
                         QString());
    QFile blocker(folder.filePath(QStringLiteral("no-such-folder")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    store.WriteText(QStringLiteral("Port"), QStringLiteral("COM3"));
    EXPECT_THROW(store.Flush(), std::runtime_error);
}

} // namespace
