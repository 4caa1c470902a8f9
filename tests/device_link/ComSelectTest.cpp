#include "device_link/ComSelect.h"
#include "device_link/PortUnderTest.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

TEST(ComSelect, UnboundListSelectsItsFirstItemAndNoneEmptiesIt) {
    TComSelect select;
    select.SetComProperty(cpParity);
    EXPECT_EQ(select.GetItems(), (QStringList{"None", "Odd", "Even", "Mark", "Space"}));
    EXPECT_EQ(select.GetText(), QStringLiteral("None"));
    select.SetText(QStringLiteral("mark"));
    EXPECT_EQ(select.GetText(), QStringLiteral("Mark"));
    select.SetText(QStringLiteral("Purple"));
    EXPECT_EQ(select.GetText(), QStringLiteral("Mark"));
    select.SetComProperty(cpNone);
    EXPECT_TRUE(select.GetItems().isEmpty());
    EXPECT_EQ(select.GetText(), QString());
}

TEST(ComSelect, ChoiceReachesThePortOnlyWithAutoApply) {
    TCountingComPort port;
    TComSelect select;
    select.SetComProperty(cpStopBits);
    select.SetComPort(&port);
    EXPECT_EQ(select.GetText(), QStringLiteral("1"));
    select.Choose(2);
    EXPECT_EQ(port.GetStopBits(), sbOneStopBit);
    select.SetAutoApply(true);
    select.Choose(1);
    EXPECT_EQ(port.GetStopBits(), sbOne5StopBits);
}

TEST(ComSelect, DestroyedPortIsForgottenAndTheFirstItemSelected) {
    auto port = std::make_unique<TCountingComPort>();
    TComSelect select;
    select.SetComProperty(cpBaudRate);
    select.SetComPort(port.get());
    EXPECT_EQ(select.GetText(), QStringLiteral("9600"));
    port.reset();
    EXPECT_EQ(select.GetComPort(), nullptr);
    EXPECT_EQ(select.GetText(), QStringLiteral("Custom"));
}

} // namespace
