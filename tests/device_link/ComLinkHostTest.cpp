#include "device_link/ComLinkHost.h"
#include "device_link/EComPort.h"

#include <gtest/gtest.h>

namespace {

class Host : public TComLinkHost {};

int RegistrationError(const std::function<void()>& call) {
    try {
        call();
    } catch (const EComPort& error) {
        EXPECT_EQ(error.SystemErrorCode(), EComPort::NoSystemError);
        return error.ErrorCode();
    }
    return 0;
}

TEST(ComLinkHost, RegisteringTwiceOrUnregisteringAStrangerFailsWith18) {
    Host host;
    TComLink link;
    host.RegisterLink(&link);
    EXPECT_EQ(RegistrationError([&] { host.RegisterLink(&link); }), 18);
    host.UnregisterLink(&link);
    EXPECT_EQ(RegistrationError([&] { host.UnregisterLink(&link); }), 18);
}

TEST(ComLinkHost, HasLinkOnlyForLinksThatTakeReceivedBytes) {
    Host host;
    TComLink silent;
    TComLink receiving;
    receiving.OnRxBuf = [](TComponent*, const char*, int) {};
    host.RegisterLink(&silent);
    EXPECT_FALSE(host.HasLink());
    host.RegisterLink(&receiving);
    EXPECT_TRUE(host.HasLink());
    host.UnregisterLink(&receiving);
    EXPECT_FALSE(host.HasLink());
}

} // namespace
