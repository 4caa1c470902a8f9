#include "device_link/TrafficRecord.h"

#include <gtest/gtest.h>

#include <sstream>

TEST(TrafficRecord, LinesReadBackAsWritten) {
    const std::vector<TRecordEntry> entries = {
        {12.5, TRecordDirection::rdIn, ByteString("\xF0\x08\x28\x00\x00\xF7", 6)},
        {13.25, TRecordDirection::rdOut, ByteString("\x00\xFF\x7F\x80", 4)},
        {14, TRecordDirection::rdNote, "reappear-failed no such device"},
    };
    std::stringstream text;
    for (const TRecordEntry& entry : entries) text << RecordLineText(entry) << "\n";
    EXPECT_EQ(RecordLineText(entries[1]), "13.250 out 00 FF 7F 80");
    const auto parsed = ParseRecord(text);
    ASSERT_EQ(parsed.size(), entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(parsed[i].TimeMs, entries[i].TimeMs);
        EXPECT_EQ(parsed[i].Direction, entries[i].Direction);
        EXPECT_EQ(parsed[i].Bytes, entries[i].Bytes);
    }
}

// A capture cut by a crash ends in half a line; anywhere else such a line is a mistake.
TEST(TrafficRecord, OnlyATornLastLineIsLeftOut) {
    std::istringstream torn("1.000 out F0 01\n2.000 out F0 0");
    const auto parsed = ParseRecord(torn);
    ASSERT_EQ(parsed.size(), 1u);
    EXPECT_EQ(parsed[0].Bytes, ByteString("\xF0\x01", 2));
    std::istringstream tornAfterAByte("1.000 out F0 01\n2.000 out F0 01");
    EXPECT_EQ(ParseRecord(tornAfterAByte).size(), 1u) << "a cut frame the PC never read";

    std::istringstream bad("1.0 out F0 0\n2.000 out F0 01\n");
    EXPECT_THROW(ParseRecord(bad), std::invalid_argument);
    std::istringstream lastWithEnd("1.000 out F0 01\n2.000 out F0 0\n");
    EXPECT_THROW(ParseRecord(lastWithEnd), std::invalid_argument);
}
