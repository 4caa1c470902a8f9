// The device's packet splitter in every framing the device sets up, fed arbitrary chunks.
// Every received byte must come out exactly once and in order, as a packet or a discard, or
// still wait in the buffer; each packet must have its framing's shape; a discard may never hold
// a whole frame; the buffer stays below its limit.
#include "FuzzDevice.h"
#include "FuzzInput.h"

#include "device/KelvoProtocol.h"
#include "device_link/ManualClock.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

struct TFraming {
    double Version;
    bool Handshake; // the 6-byte framing of TryConnect at this version
};
constexpr TFraming Framings[] = {{4, false}, {4.5, false}, {5, false}, {4.5, true}, {5, true}};

void Check(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "splitter invariant broken: %s\n", what);
    std::abort();
}

bool StartsAndEndsAsFrame(const ByteString& bytes, std::size_t first, std::size_t size) {
    return ByteAt(bytes, first) == KelvoProtocol::StartByte &&
           ByteAt(bytes, first + size - 1) == KelvoProtocol::StopByte;
}

bool HoldsWholeFrame(const ByteString& bytes, std::size_t frameSize) {
    for (std::size_t first = 0; first + frameSize <= bytes.size(); ++first)
        if (StartsAndEndsAsFrame(bytes, first, frameSize)) return true;
    return false;
}

// Short frames (version 4): cut at six bytes, or earlier at the first stop byte after the start.
void CheckShortPacket(const ByteString& packet) {
    Check(!packet.empty() && ByteAt(packet, 0) == KelvoProtocol::StartByte, "short packet without start byte");
    if (packet.size() == KelvoProtocol::ShortFrameSize) return;
    Check(packet.size() < KelvoProtocol::ShortFrameSize, "short packet longer than a frame");
    Check(packet.size() > 1 && packet.find(static_cast<char>(KelvoProtocol::StopByte), 1) == packet.size() - 1,
          "short packet not ended by its first stop byte");
}

class TSplitterRun {
public:
    explicit TSplitterRun(const TFraming& framing) {
        FDevice.SetVersion(framing.Version);
        if (framing.Handshake) FDevice.UseShortFraming();
        FCustomFrames = framing.Version > 4;
        FFrameSize = static_cast<std::size_t>(FDevice.GetPacketSize());
        TComDataPacket& splitter = *FDevice.GetDataPacket();
        // The device's own start and end finders stay; only what comes out is watched.
        splitter.OnPacket = [this](TComponent*, const ByteString& packet) { Packet(packet); };
        splitter.OnDiscard = [this](TComponent*, const ByteString& discarded) { Discard(discarded); };
    }

    // Back to an empty splitter, as if the device had just set its framing up.
    void Reset() {
        TComDataPacket& splitter = *FDevice.GetDataPacket();
        const TComDataPacket::TComStrEvent watcher = splitter.OnDiscard;
        splitter.OnDiscard = nullptr;
        splitter.DiscardBuffer();
        splitter.OnDiscard = watcher;
        FReceived.clear();
        FDelivered.clear();
    }

    void Receive(const ByteString& chunk) {
        FReceived += chunk;
        TComDataPacket& splitter = *FDevice.GetDataPacket();
        splitter.AppendReceived(chunk);
        Check(splitter.GetBuffer().size() < static_cast<std::size_t>(splitter.GetMaxBufferSize()),
              "buffer at or over its limit");
    }

    void CheckNothingLost() const {
        Check(FDelivered + FDevice.GetDataPacket()->GetBuffer() == FReceived, "bytes lost, added or reordered");
    }

private:
    void Packet(const ByteString& packet) {
        FDelivered += packet;
        if (!FCustomFrames) return CheckShortPacket(packet);
        Check(packet.size() == FFrameSize && StartsAndEndsAsFrame(packet, 0, FFrameSize), "malformed long packet");
    }

    void Discard(const ByteString& discarded) {
        FDelivered += discarded;
        Check(!discarded.empty(), "empty discard");
        if (FCustomFrames) Check(!HoldsWholeFrame(discarded, FFrameSize), "a whole frame discarded");
        else Check(discarded.find(static_cast<char>(KelvoProtocol::StartByte)) == ByteString::npos,
                   "a start byte discarded");
    }

    TFuzzDevice FDevice;
    bool FCustomFrames = false;
    std::size_t FFrameSize = 0;
    ByteString FReceived;
    ByteString FDelivered;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    TFuzzDevice::PrepareProcess();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static TManualClock clock;
    // One device per framing for the whole run: building one per input costs its timer threads.
    static std::vector<std::unique_ptr<TSplitterRun>> runs = [] {
        std::vector<std::unique_ptr<TSplitterRun>> made;
        for (const TFraming& framing : Framings) made.push_back(std::make_unique<TSplitterRun>(framing));
        return made;
    }();
    TFuzzInput input(data, size);
    TSplitterRun& run = *runs[input.Byte() % runs.size()];
    run.Reset();
    while (!input.Empty()) {
        const ByteString chunk = input.Chunk(clock);
        if (!chunk.empty()) run.Receive(chunk);
    }
    run.CheckNothingLost();
    return 0;
}
