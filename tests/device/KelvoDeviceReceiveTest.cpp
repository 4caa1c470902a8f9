#include "device/DeviceEventLog.h"
#include "device/KelvoDevice.h"
#include "device_link/ManualClock.h"

#include <gmock/gmock.h>

using testing::ElementsAre;

namespace {

class TestableDevice : public TKelvoDevice {
public:
    using TKelvoDevice::FindPacketStart;
};

class DeviceReceiveTest : public testing::Test {
protected:
    TManualClock clock{1000};
    TestableDevice device;

    ByteString LongInfos(std::uint16_t rollPeriod) {
        return BytesOf({0xF0, 0x01, 0x00, static_cast<std::uint8_t>(rollPeriod >> 8),
                        static_cast<std::uint8_t>(rollPeriod), 0x00, 0x00, 0x00, 0x00, 0xF7});
    }
};

// ---- Identification ----

TEST_F(DeviceReceiveTest, IdentificationAnswerSetsTheVersionThenConnects) {
    DeviceEventLog log(device);
    EXPECT_TRUE(device.ParseMessage(BytesOf({0xF0, 0x08, 0x54, 0x00, 0x00, 0xF7})));
    EXPECT_EQ(device.GetVersion(), 5.0);
    EXPECT_TRUE(device.GetConnected());
    EXPECT_THAT(log.events, ElementsAre("version", "status 0->1", "connected", "message 3"));
    EXPECT_EQ(log.messages.back().value1, 84.0L);
}

TEST_F(DeviceReceiveTest, UnknownIdentificationAnswerDisconnects) {
    device.SetConnected(true);
    DeviceEventLog log(device);
    device.ParseMessage(BytesOf({0xF0, 0x08, 0x51, 0x00, 0x00, 0xF7}));
    EXPECT_FALSE(device.GetConnected());
    EXPECT_EQ(log.messages.back().type, MtIdentification);
}

TEST_F(DeviceReceiveTest, ByteStreamAnswerIsTheFirstByteOfAChunk) {
    device.SetVersion(3);
    device.ParseMessage(BytesOf({0x51}));
    EXPECT_FALSE(device.GetConnected());
    device.ParseMessage(BytesOf({0x50, 0x40}));
    EXPECT_TRUE(device.GetConnected());
}

// ---- Measurement messages ----

TEST_F(DeviceReceiveTest, LongInfosWhileDisconnectedRaisesNothing) {
    device.SetVersion(5);
    DeviceEventLog log(device);
    device.ParseMessage(LongInfos(642));
    EXPECT_TRUE(log.messages.empty());
    EXPECT_EQ(device.GetSpeed(), 0.0L);
}

TEST_F(DeviceReceiveTest, ShortInfosWhileDisconnectedIsStillReported) {
    DeviceEventLog log(device);
    device.ParseMessage(BytesOf({0xF0, 0x01, 0x30, 0x07, 0x00, 0xF7}));
    ASSERT_EQ(log.messages.size(), 1u);
    EXPECT_EQ(log.messages[0].value1, 7.0L);
    EXPECT_EQ(log.messages[0].value2, 1.0L);
    EXPECT_EQ(log.messages[0].value3, 1.0L);
}

TEST_F(DeviceReceiveTest, ByteStreamChunkRaisesOneMessagePerNonZeroByte) {
    device.SetVersion(3);
    device.ParseMessage(BytesOf({0x50}));
    DeviceEventLog log(device);
    device.ParseMessage(BytesOf({0x20, 0x00, 0x10}));
    ASSERT_EQ(log.messages.size(), 2u);
    EXPECT_EQ(log.messages[0].value2, 1.0L);
    EXPECT_EQ(log.messages[0].value3, 0.0L);
    EXPECT_EQ(log.messages[1].value2, 0.0L);
    EXPECT_EQ(log.messages[1].value3, 1.0L);
}

TEST_F(DeviceReceiveTest, LongInfosGivesTheSpeedOfItsRollPeriod) {
    device.SetVersion(5);
    device.SetConnected(true);
    device.SetPrecisionSpeed(2);
    device.SetSpeedArrayLength(1);
    device.ParseMessage(LongInfos(642));
    // 0.1414 m x 36 x 3787.8787... / 642 = 30.03 km/h
    EXPECT_NEAR(static_cast<double>(device.GetSpeed()), 30.03, 1e-9);
}

// ---- Rejection and dispatch per family ----

TEST_F(DeviceReceiveTest, FramedLengthWithoutStartByteIsRejected) {
    DeviceEventLog log(device);
    EXPECT_FALSE(device.ParseMessage(BytesOf({0x01, 0x02, 0x03, 0x04, 0x05, 0x06})));
    EXPECT_THAT(log.events, ElementsAre("rejected 01 02 03 04 05 06"));
    EXPECT_EQ(device.GetMessageCount(), 1);
}

TEST_F(DeviceReceiveTest, UnknownTypeIsRejectedInShortFramesAndIgnoredInLongFrames) {
    DeviceEventLog log(device);
    EXPECT_TRUE(device.ParseMessage(BytesOf({0xF0, 0x07, 0x00, 0x00, 0x00, 0xF7})));
    EXPECT_THAT(log.events, ElementsAre("rejected F0 07 00 00 00 F7"));
    device.SetVersion(5);
    log.events.clear();
    EXPECT_TRUE(device.ParseMessage(BytesOf({0xF0, 0x07, 0, 0, 0, 0, 0, 0, 0, 0xF7})));
    EXPECT_THAT(log.events, ElementsAre());
}

TEST_F(DeviceReceiveTest, FrameWithoutStopByteIsStillATotalRollCount) {
    device.ParseMessage(BytesOf({0xF0, 0x02, 0x00, 0x00, 0x01, 0x00}));
    EXPECT_EQ(device.GetRollCount(), 1.0L);
    device.ParseMessage(BytesOf({0xF0, 0x02, 0x00, 0x00, 0x00, 0xF7}));
    EXPECT_EQ(device.GetRollCount(), 1.0L);
}

TEST_F(DeviceReceiveTest, ShortSerialNumberIsTakenOnceLongOneAlwaysReplaces) {
    DeviceEventLog log(device);
    device.ParseMessage(BytesOf({0xF0, 0x03, 0x00, 0x00, 0x05, 0xF7}));
    device.ParseMessage(BytesOf({0xF0, 0x03, 0x00, 0x00, 0x06, 0xF7}));
    EXPECT_EQ(device.GetSerialNumber(), 5);
    EXPECT_EQ(std::count(log.events.begin(), log.events.end(), "serial"), 1);
    device.SetVersion(5);
    device.ParseMessage(BytesOf({0xF0, 0x03, 0x00, 0x00, 0x07, 0xFF, 0xFF, 0x00, 0x00, 0xF7}));
    EXPECT_EQ(device.GetSerialNumber(), 7);
    EXPECT_DOUBLE_EQ(device.GetOrientation(), -135.0);
    EXPECT_EQ(device.GetRotationHex1(), 0xFF);
}

TEST_F(DeviceReceiveTest, CutShortFrameIsNeverReadPastItsEnd) {
    DeviceEventLog log(device);
    EXPECT_TRUE(device.ParseMessage(BytesOf({0xF0, 0x01, 0xF7})));
    ASSERT_EQ(log.messages.size(), 1u);
    EXPECT_EQ(log.messages[0].value1, 0.0L);
}

TEST_F(DeviceReceiveTest, MessageCountWrapsBackToOne) {
    for (int i = 0; i < 2147483; ++i) device.ParseMessage(BytesOf({0xF0, 0x05, 0, 0, 0, 0xF7}));
    EXPECT_EQ(device.GetMessageCount(), 2147483);
    device.ParseMessage(BytesOf({0xF0, 0x05, 0, 0, 0, 0xF7}));
    EXPECT_EQ(device.GetMessageCount(), 1);
}

// ---- Long-frame finder ----

TEST_F(DeviceReceiveTest, FindPacketStartNeedsTheStopByteAFrameFurther) {
    device.SetVersion(5);
    std::int32_t pos = -1;
    device.FindPacketStart(nullptr, BytesOf({0x00, 0xF0, 1, 2, 3, 4, 5, 6, 7, 8, 0xF7}), pos);
    EXPECT_EQ(pos, 2);
    EXPECT_EQ(TKelvoDevice::FoundPacketSize, 10);
    pos = -1;
    device.FindPacketStart(nullptr, BytesOf({0xF0, 0x01, 0x02}), pos);
    EXPECT_EQ(pos, 0);
}

TEST_F(DeviceReceiveTest, LongFramesAreFoundInTheSplittersBuffer) {
    device.SetVersion(5);
    device.SetConnected(true);
    DeviceEventLog log(device);
    std::vector<std::string> discards;
    device.OnComDataPacketDiscard = [&](TComponent*, const ByteString& s) { discards.push_back(HexText(s)); };
    ByteString stream = BytesOf({0xF0, 0x01});
    stream += LongInfos(642);
    device.GetDataPacket()->AppendReceived(stream.substr(0, 5));
    device.GetDataPacket()->AppendReceived(stream.substr(5));
    EXPECT_THAT(discards, ElementsAre(" F0 01"));
    ASSERT_EQ(log.messages.size(), 1u);
    EXPECT_EQ(log.messages[0].type, mtInfos);
}

} // namespace
