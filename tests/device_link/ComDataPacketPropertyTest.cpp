#include "device_link/ComDataPacket.h"
#include "device_link/SplitterRecorder.h"

#include <gtest/gtest.h>
#include <random>

namespace {

struct Framing {
    const char* name;
    ByteString start;
    ByteString stop;
    std::int32_t size;
    bool includeStrings;
    bool caseInsensitive;
    // A size rule with a stop string depends on how many bytes have arrived when the stop
    // byte is seen, so only the conservation of bytes holds for it under any chunking.
    bool chunkInvariant;
};

const Framing framings[] = {
    {"device short frames", BytesOf({0xF0}), BytesOf({0xF7}), 6, true, true, false},
    {"start and stop", BytesOf({0xF0}), BytesOf({0xF7}), 0, true, false, true},
    {"stripped markers", BytesOf({0xF0}), BytesOf({0xF7}), 0, false, false, true},
    {"two-byte markers", "AB", "ba", 0, true, true, true},
    {"stop only", {}, BytesOf({0xF7}), 0, true, false, true},
    {"size only", {}, {}, 4, true, false, true},
    {"stripped device frames", BytesOf({0xF0}), BytesOf({0xF7}), 6, false, true, false},
    {"stripped, size below the markers", BytesOf({0xF0}), BytesOf({0xF7}), 1, false, false, false},
    {"stripped two-byte markers with size", "AB", "ba", 3, false, true, false},
    {"stripped stop only", {}, BytesOf({0xF7}), 0, false, false, true},
};

// Markers and letters are drawn often, so that random streams are full of starts and stops.
ByteString RandomStream(std::mt19937& random, std::size_t length) {
    static const std::uint8_t alphabet[] = {0xF0, 0xF7, 0x01, 0x00, 0x41, 0x42, 0x61, 0x62, 0xFF};
    std::uniform_int_distribution<std::size_t> pick(0, std::size(alphabet) - 1);
    ByteString stream;
    for (std::size_t i = 0; i < length; ++i) stream.push_back(static_cast<char>(alphabet[pick(random)]));
    return stream;
}

struct Event {
    char kind;
    ByteString bytes;
};

struct Outcome {
    std::vector<std::string> events;
    std::vector<Event> raw;
    ByteString buffer;
    std::size_t deliveredBytes = 0;
};

Outcome Split(const Framing& framing, const ByteString& stream, const std::vector<std::size_t>& cuts) {
    TComDataPacket splitter;
    splitter.SetStartString(framing.start);
    splitter.SetStopString(framing.stop);
    splitter.SetSize(framing.size);
    splitter.SetIncludeStrings(framing.includeStrings);
    splitter.SetCaseInsensitive(framing.caseInsensitive);
    splitter.SetMaxBufferSize(0);
    Outcome outcome;
    auto record = [&](const char* kind, const ByteString& s) {
        outcome.events.push_back(kind + HexText(s));
        outcome.raw.push_back({kind[0], s});
        outcome.deliveredBytes += s.size();
    };
    splitter.OnPacket = [&](TComponent*, const ByteString& s) { record("P:", s); };
    splitter.OnDiscard = [&](TComponent*, const ByteString& s) { record("D:", s); };
    std::size_t from = 0;
    for (std::size_t cut : cuts) {
        splitter.AppendReceived(stream.substr(from, cut - from));
        from = cut;
    }
    splitter.AppendReceived(stream.substr(from));
    outcome.buffer = splitter.GetBuffer();
    return outcome;
}

std::vector<std::size_t> RandomCuts(std::mt19937& random, std::size_t length) {
    std::vector<std::size_t> cuts;
    std::bernoulli_distribution cutHere(0.3);
    for (std::size_t i = 1; i < length; ++i)
        if (cutHere(random)) cuts.push_back(i);
    return cuts;
}

// Stripping changes the packets only: the same events come, discards and the buffer are
// unchanged, and each packet is its marked twin with at most the start string taken from its
// front and the stop string from its back.
void ExpectStrippedTwin(const Framing& framing, const ByteString& stream, const Outcome& stripped) {
    Framing marked = framing;
    marked.includeStrings = true;
    const Outcome twin = Split(marked, stream, {});
    ASSERT_EQ(stripped.raw.size(), twin.raw.size()) << framing.name << ":" << HexText(stream);
    ASSERT_EQ(stripped.buffer, twin.buffer) << framing.name << ":" << HexText(stream);
    for (std::size_t i = 0; i < twin.raw.size(); ++i) {
        const Event& got = stripped.raw[i];
        const Event& full = twin.raw[i];
        ASSERT_EQ(got.kind, full.kind) << framing.name << ":" << HexText(stream);
        if (got.kind == 'D') {
            ASSERT_EQ(got.bytes, full.bytes) << framing.name << ":" << HexText(stream);
            continue;
        }
        auto sitsAt = [&](std::size_t front) { return full.bytes.compare(front, got.bytes.size(), got.bytes) == 0; };
        ASSERT_TRUE(sitsAt(0) || sitsAt(framing.start.size())) << framing.name << ":" << HexText(stream);
        ASSERT_GE(got.bytes.size() + framing.start.size() + framing.stop.size(), full.bytes.size())
            << framing.name << ":" << HexText(stream);
    }
}

TEST(SplitterProperty, ChunkingNeverChangesPacketsOrDiscards_AndNoByteIsLost) {
    std::mt19937 random(20261209);
    for (const Framing& framing : framings) {
        for (int round = 0; round < 300; ++round) {
            const ByteString stream = RandomStream(random, 1 + random() % 60);
            const Outcome whole = Split(framing, stream, {});
            const Outcome chunked = Split(framing, stream, RandomCuts(random, stream.size()));
            if (framing.chunkInvariant) {
                ASSERT_EQ(whole.events, chunked.events) << framing.name << ":" << HexText(stream);
                ASSERT_EQ(whole.buffer, chunked.buffer) << framing.name << ":" << HexText(stream);
            }
            if (framing.includeStrings) {
                ASSERT_EQ(chunked.deliveredBytes + chunked.buffer.size(), stream.size())
                    << framing.name << ":" << HexText(stream);
            } else {
                ExpectStrippedTwin(framing, stream, whole);
            }
        }
    }
}

} // namespace
