// Throughput of the receive path's splitter, in the device's short-frame configuration.
// The line delivers at most 872.7 bytes/s (9600 baud, 8E1); the splitter must stay far above.
#include "device/KelvoProtocol.h"
#include "device_link/ComDataPacket.h"

#include <benchmark/benchmark.h>

namespace {

ByteString ShortFrameStream(std::size_t frames) {
    ByteString stream;
    for (std::size_t i = 0; i < frames; ++i)
        stream += BytesOf({0xF0, 0x01, 0x10, static_cast<std::uint8_t>(i), 0x00, 0xF7});
    return stream;
}

void SplitShortFrames(benchmark::State& state) {
    const auto chunkSize = static_cast<std::size_t>(state.range(0));
    const ByteString stream = ShortFrameStream(1000);
    TComDataPacket splitter;
    splitter.SetStartString(BytesOf({KelvoProtocol::StartByte}));
    splitter.SetStopString(BytesOf({KelvoProtocol::StopByte}));
    splitter.SetCaseInsensitive(true);
    splitter.SetIncludeStrings(true);
    splitter.SetMaxBufferSize(4096);
    splitter.SetSize(6);
    std::size_t packets = 0;
    splitter.OnPacket = [&](TComponent*, const ByteString&) { ++packets; };
    for (auto _ : state) {
        for (std::size_t from = 0; from < stream.size(); from += chunkSize)
            splitter.AppendReceived(stream.substr(from, chunkSize));
    }
    benchmark::DoNotOptimize(packets);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
}
BENCHMARK(SplitShortFrames)->Arg(1)->Arg(6)->Arg(64)->Arg(1024);

} // namespace

BENCHMARK_MAIN();
