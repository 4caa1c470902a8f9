#include "device_link/EComPort.h"

#include <gtest/gtest.h>

TEST(EComPort, SystemCodeIsAppendedOnlyWhenPresent) {
    EXPECT_STREQ(EComPort(1, 2).what(), "Unable to open com port (win error code: 2)");
    EXPECT_STREQ(EComPort(18).what(), "Link (un)registration failed");
    EXPECT_EQ(EComPort(14).SystemErrorCode(), -1);
}

TEST(EComPort, EveryCodeHasItsText) {
    EXPECT_EQ(EComPort::CodeText(7), "SetCommState function failed");
    EXPECT_EQ(EComPort::CodeText(8), "SetCommTimeouts failed");
    EXPECT_EQ(EComPort::CodeText(23), "Registry error");
    EXPECT_EQ(EComPort::CodeText(0), "");
    EXPECT_EQ(EComPort::CodeText(24), "");
}
