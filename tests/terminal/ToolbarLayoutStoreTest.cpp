#include "terminal/ToolbarLayoutStore.h"

#include "device_link/UserSettingsFolder.h"
#include "support/SmallDisk.h"

#include <QFile>
#include <QSettings>
#include <gtest/gtest.h>

namespace {

class ToolbarLayoutStoreTest : public testing::Test {
protected:
    ToolbarLayoutStoreTest() { QFile::remove(UserSettingsFolder() + QStringLiteral("/Corvane/Tavrik.conf")); }

    static QVariant Stored(const char* key) {
        const QSettings registry(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Corvane"),
                                 QStringLiteral("Tavrik"));
        return registry.value(QString::fromLatin1(key));
    }

    TToolbarLayoutStore Store;
};

TEST_F(ToolbarLayoutStoreTest, EachToolbarKeepsItsValuesUnderItsOwnName) {
    const TToolbarLayout floating{false, 0, 0, 120, 340, QStringLiteral("+"), QStringLiteral("Top")};
    const TToolbarLayout docked{true, 1, 57, 0, 0, QStringLiteral("Bottom"), QStringLiteral("Bottom")};
    EXPECT_EQ(Store.Save(QStringLiteral("TBToolbar1"), floating), "");
    EXPECT_EQ(Store.Save(QStringLiteral("ToolBarButton"), docked), "");

    EXPECT_EQ(Stored("TBToolbar1/Rev").toInt(), 2000);
    EXPECT_EQ(Stored("TBToolbar1/Visible").toInt(), 0);
    EXPECT_EQ(Stored("TBToolbar1/FloatLeft").toInt(), 120);
    EXPECT_EQ(Stored("TBToolbar1/FloatTop").toInt(), 340);
    EXPECT_EQ(Stored("TBToolbar1/DockedTo").toString(), QStringLiteral("+"));
    EXPECT_EQ(Stored("ToolBarButton/Visible").toInt(), 1);
    EXPECT_EQ(Stored("ToolBarButton/DockRow").toInt(), 1);
    EXPECT_EQ(Stored("ToolBarButton/DockPos").toInt(), 57);
    EXPECT_EQ(Stored("ToolBarButton/LastDock").toString(), QStringLiteral("Bottom"));
}

TEST_F(ToolbarLayoutStoreTest, WindowStateAndGeometryComeBackByteForByte) {
    EXPECT_TRUE(Store.LoadWindowState().isEmpty());
    const QByteArray state("\x00\x01state\xff", 8);
    EXPECT_EQ(Store.SaveWindowState(state, QByteArray("geometry")), "");
    EXPECT_EQ(TToolbarLayoutStore().LoadWindowState(), state);
    EXPECT_EQ(TToolbarLayoutStore().LoadWindowGeometry(), "geometry");
}

// The store's file on a disk with one page left, then none: complete either way, and why not.
TEST(ToolbarLayoutStoreFullDiskTest, TheStoresFileEndsCompleteOrStaysAsItWasAndTheSystemSaysWhy) {
    TSmallDisk disk(UserSettingsFolder() + QStringLiteral("/KelvoFullDisk"));
    if (!disk.Mounted()) GTEST_SKIP() << "mounting a small disk needs root";
    const TToolbarLayoutStore store(QStringLiteral("\\Software\\KelvoFullDisk\\Tavrik"));
    const TToolbarLayout docked{true, 0, 0, 0, 0, QStringLiteral("Top"), QStringLiteral("Top")};
    ASSERT_EQ(store.Save(QStringLiteral("ToolBarButton"), docked), "");
    const QString file = disk.Path(QStringLiteral("Tavrik.conf"));
    auto contents = [&file] {
        QFile stored(file);
        return stored.open(QIODevice::ReadOnly) ? stored.readAll() : QByteArray();
    };

    disk.Fill(TSmallDisk::PageSize);
    ASSERT_EQ(store.Save(QStringLiteral("TBToolbar1"), docked), "");
    const QByteArray complete = contents();
    EXPECT_TRUE(complete.contains("[ToolBarButton]") && complete.contains("[TBToolbar1]")) << complete.toStdString();

    disk.Free();
    disk.Fill();
    const std::string failure = store.Save(QStringLiteral("TBToolbar2"), docked);
    EXPECT_NE(failure.find("No space left on device"), std::string::npos) << failure;
    EXPECT_EQ(contents(), complete);
}

} // namespace
