#include "device/ApplicationMessageRecorder.h"
#include "device/KelvoDevice.h"
#include "device_link/ManualClock.h"

#include <gmock/gmock.h>

#include <vector>

using testing::ElementsAre;
using testing::IsEmpty;

namespace {

class TestableDevice : public TKelvoDevice {
public:
    using TKelvoDevice::KeyRepeatTick;
    TQorinThreadTimer& KeyTimer() { return *FKeyRepeatTimer; }
    // Each test starts as the program does: no key seen yet.
    static void ForgetLastKey() { LastKeyTick = 0; }
};

// A 10-byte infos frame whose status byte carries `status`, the roller standing still.
ByteString InfosFrame(std::uint8_t status) {
    return BytesOf({0xF0, 0x01, status, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xF7});
}

class KeysTest : public testing::Test {
protected:
    KeysTest() {
        TestableDevice::ForgetLastKey();
        device.SetVersion(5);
        device.SetSimulationMode(true); // connected, so infos frames are decoded
        device.OnConsoleKeyDown = [this](TComponent* sender, TConsoleKey key) {
            EXPECT_EQ(sender, &device);
            keys.push_back(key);
        };
    }

    // One message every 100 ms; the repeat timer runs out when the test says so.
    void Message(std::uint8_t status) {
        device.ParseMessage(InfosFrame(status));
        clock.Advance(100);
    }
    void RepeatTimerRunsOut() { device.KeyRepeatTick(&device.KeyTimer()); }

    TManualClock clock{10000};
    TestableDevice device;
    std::vector<TConsoleKey> keys;
    ApplicationMessageRecorder posted;
};

// ---- First key and repeats ----

TEST_F(KeysTest, FirstKeyOfTheRunIsRaisedAtOnceEvenEnter) {
    Message(0x04);
    EXPECT_THAT(keys, ElementsAre(ckEnter));
    EXPECT_THAT(posted.Delivered(), IsEmpty());
    EXPECT_TRUE(device.KeyTimer().GetEnabled());
}

TEST_F(KeysTest, HeldKeyRepeatsOncePerInterval) {
    for (int i = 0; i < 5; ++i) Message(0x01); // 0..400 ms
    EXPECT_THAT(keys, ElementsAre(ckPlus));
    RepeatTimerRunsOut(); // at 500 ms
    Message(0x01);
    EXPECT_THAT(keys, ElementsAre(ckPlus, ckPlus));
    for (int i = 0; i < 4; ++i) Message(0x01);
    RepeatTimerRunsOut();
    Message(0x01);
    EXPECT_THAT(keys, ElementsAre(ckPlus, ckPlus, ckPlus));
}

TEST_F(KeysTest, ReleasedKeyPressedAgainTooSoonRaisesNothing) {
    Message(0x01);
    RepeatTimerRunsOut(); // the timer waits on real time; the delay is measured on the tick counter
    clock.Advance(200);
    Message(0x01);
    EXPECT_THAT(keys, ElementsAre(ckPlus));
}

TEST_F(KeysTest, OtherKeyWithinTheIntervalRestartsTheTimerButRaisesNothing) {
    Message(0x01);
    clock.Advance(100); // minus 200 ms after plus
    Message(0x02);
    EXPECT_THAT(keys, ElementsAre(ckPlus));
    EXPECT_EQ(device.GetLastConsoleKey(), ckMinus);
    EXPECT_TRUE(device.KeyTimer().GetEnabled());
}

TEST_F(KeysTest, SecondEnterIsPostedToTheApplicationInsteadOfRaised) {
    device.SetEnterKeyMessage(1479);
    Message(0x04);
    RepeatTimerRunsOut();
    clock.Advance(900); // 1 s after the first
    Message(0x04);
    EXPECT_THAT(keys, ElementsAre(ckEnter));
    EXPECT_THAT(posted.Delivered(), ElementsAre(1479u));
}

TEST_F(KeysTest, StatusByteReportsOnlyItsLowestKey) {
    Message(0x05);
    EXPECT_THAT(keys, ElementsAre(ckPlus));
    EXPECT_EQ(device.GetLastConsoleKey(), ckPlus);
}

// ---- Switched off ----

TEST_F(KeysTest, WithoutAHandlerKeysChangeNothing) {
    device.OnConsoleKeyDown = nullptr;
    Message(0x02);
    EXPECT_FALSE(device.KeyTimer().GetEnabled());
    EXPECT_EQ(device.GetLastConsoleKey(), ckPlus);
    // The first key with a handler is still the program's first one.
    device.OnConsoleKeyDown = [this](TComponent*, TConsoleKey key) { keys.push_back(key); };
    Message(0x04);
    EXPECT_THAT(keys, ElementsAre(ckEnter));
}

TEST_F(KeysTest, DisabledKeysRunTheTimerButRaiseNothing) {
    device.DisableConsoleKeys();
    Message(0x02);
    EXPECT_THAT(keys, IsEmpty());
    EXPECT_TRUE(device.KeyTimer().GetEnabled());
    EXPECT_EQ(device.GetLastConsoleKey(), ckMinus);
    device.EnableConsoleKeys();
    RepeatTimerRunsOut();
    Message(0x02);
    EXPECT_THAT(keys, ElementsAre(ckMinus));
}

TEST_F(KeysTest, HandlerThatProcessesMessagesCannotReenterTheKeyLogic) {
    device.OnConsoleKeyDown = [this](TComponent*, TConsoleKey key) {
        keys.push_back(key);
        RepeatTimerRunsOut();
        device.ParseMessage(InfosFrame(0x02)); // a frame parsed inside the handler's wait
    };
    Message(0x01);
    EXPECT_THAT(keys, ElementsAre(ckPlus));
    EXPECT_EQ(device.GetLastConsoleKey(), ckPlus);
}

// ---- Orientation ----

TEST_F(KeysTest, OrientationOfTheLongSerialNumberFrame) {
    device.ParseMessage(BytesOf({0xF0, 0x03, 0x01, 0xE2, 0x40, 0x40, 0x00, 0x00, 0x00, 0xF7}));
    EXPECT_EQ(device.GetRotationHex1(), 0x40);
    EXPECT_EQ(device.GetRotationHex2(), 0x00);
    EXPECT_DOUBLE_EQ(device.GetOrientation(), 0.0);
    device.ParseMessage(BytesOf({0xF0, 0x03, 0x01, 0xE2, 0x40, 0x00, 0x80, 0x00, 0x00, 0xF7}));
    EXPECT_DOUBLE_EQ(device.GetOrientation(), 180.0);
    device.ParseMessage(BytesOf({0xF0, 0x03, 0x01, 0xE2, 0x40, 0x40, 0x40, 0x00, 0x00, 0xF7}));
    EXPECT_DOUBLE_EQ(device.GetOrientation(), 45.0); // arctan(64 / 64)
    device.ParseMessage(BytesOf({0xF0, 0x03, 0x01, 0xE2, 0x40, 0xC0, 0xC0, 0x00, 0x00, 0xF7}));
    EXPECT_DOUBLE_EQ(device.GetOrientation(), -135.0); // x, y = -64: 45 - 180
}

TEST_F(KeysTest, ShortFramesLeaveTheOrientation) {
    device.ParseMessage(BytesOf({0xF0, 0x03, 0x01, 0xE2, 0x40, 0x00, 0x80, 0x00, 0x00, 0xF7}));
    device.SetVersion(4);
    device.ParseMessage(BytesOf({0xF0, 0x03, 0x01, 0xE2, 0x40, 0xF7}));
    EXPECT_DOUBLE_EQ(device.GetOrientation(), 180.0);
    EXPECT_EQ(device.GetRotationHex2(), 0x80);
}

} // namespace
