#include "terminal/ToolbarLayoutStore.h"

#include "device_link/UserSettingsFolder.h"

#include <QFile>
#include <QSettings>
#include <gtest/gtest.h>

namespace {

class ToolbarLayoutStoreTest : public testing::Test {
protected:
    ToolbarLayoutStoreTest() { QFile::remove(UserSettingsFolder() + QStringLiteral("/Corvane/Tavrik.conf")); }

    TToolbarLayoutStore Store;
};

TEST_F(ToolbarLayoutStoreTest, EachToolbarKeepsItsOwnValuesUnderItsName) {
    EXPECT_FALSE(Store.Load(QStringLiteral("TBToolbar1")));
    const TToolbarLayout floating{false, 0, 0, 120, 340, QStringLiteral("+"), QStringLiteral("Top")};
    const TToolbarLayout docked{true, 1, 57, 0, 0, QStringLiteral("Top"), QStringLiteral("Top")};
    EXPECT_EQ(Store.Save(QStringLiteral("TBToolbar1"), floating), "");
    EXPECT_EQ(Store.Save(QStringLiteral("ToolBarButton"), docked), "");

    const auto first = TToolbarLayoutStore().Load(QStringLiteral("TBToolbar1"));
    ASSERT_TRUE(first);
    EXPECT_FALSE(first->Visible);
    EXPECT_EQ(first->FloatLeft, 120);
    EXPECT_EQ(first->FloatTop, 340);
    EXPECT_EQ(first->DockedTo, QStringLiteral("+"));
    const auto second = Store.Load(QStringLiteral("ToolBarButton"));
    ASSERT_TRUE(second);
    EXPECT_EQ(second->DockRow, 1);
    EXPECT_EQ(second->DockPos, 57);

    QSettings registry(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Corvane"), QStringLiteral("Tavrik"));
    EXPECT_EQ(registry.value(QStringLiteral("TBToolbar1/Rev")).toInt(), 2000);
    EXPECT_EQ(registry.value(QStringLiteral("TBToolbar1/Visible")).toInt(), 0);
}

TEST_F(ToolbarLayoutStoreTest, ValueThatIsNoNumberKeepsItsDefaultAndWindowStateRoundTrips) {
    {
        QSettings registry(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Corvane"), QStringLiteral("Tavrik"));
        registry.setValue(QStringLiteral("TBToolbar2/Rev"), 2000);
        registry.setValue(QStringLiteral("TBToolbar2/DockRow"), QStringLiteral("two"));
        registry.setValue(QStringLiteral("TBToolbar2/DockPos"), 9);
    }
    const auto layout = Store.Load(QStringLiteral("TBToolbar2"));
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->DockRow, 0);
    EXPECT_EQ(layout->DockPos, 9);
    EXPECT_TRUE(layout->Visible);

    const QByteArray state("\x00\x01state\xff", 8);
    EXPECT_EQ(Store.SaveWindowState(state), "");
    EXPECT_EQ(TToolbarLayoutStore().LoadWindowState(), state);
}

} // namespace
