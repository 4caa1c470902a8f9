#pragma once

#include "device_link/ComDataPacket.h"

#include <string>
#include <vector>

// Records the packets and discards of a splitter in the order they come: "P:<hex>" or "D:<hex>".
struct SplitterRecorder {
    explicit SplitterRecorder(TComDataPacket& splitter) {
        splitter.OnPacket = [this](TComponent*, const ByteString& s) { events.push_back("P:" + HexText(s)); };
        splitter.OnDiscard = [this](TComponent*, const ByteString& s) { events.push_back("D:" + HexText(s)); };
    }
    std::vector<std::string> events;
};

// The device's framing: F0 .. F7, packets keep their markers, 4096-byte limit.
inline void ConfigureAsDevice(TComDataPacket& splitter, std::int32_t size) {
    splitter.SetStartString(BytesOf({0xF0}));
    splitter.SetStopString(BytesOf({0xF7}));
    splitter.SetCaseInsensitive(true);
    splitter.SetIncludeStrings(true);
    splitter.SetMaxBufferSize(4096);
    splitter.SetSize(size);
}
