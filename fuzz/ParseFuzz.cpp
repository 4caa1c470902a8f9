// ParseMessage behind the splitter, as kelvo-monitor runs it: a terminal session's device,
// connected and riding in the family the first byte chooses, turns every event into its
// terminal line. Identification answers in the input may switch the family mid-run, as a real
// console's would. The byte stream has no splitter: its chunks go to ParseMessage directly.
#include "FuzzDevice.h"
#include "FuzzInput.h"

#include "device_link/ManualClock.h"
#include "terminal/TerminalSession.h"

#include <QCoreApplication>

#include <iterator>

namespace {

constexpr double Versions[] = {1, 2, 3, 4, 4.5, 5, 5.5, 6, 7};
constexpr std::uint8_t DebugModeBit = 0x10;

// Each input starts a new ride: the previous one stopped, the splitter empty, the family chosen.
void Ride(TKelvoDevice& device, std::uint8_t setup) {
    device.Stop();
    device.SetConnected(false);
    device.GetDataPacket()->DiscardBuffer();
    device.SetVersion(Versions[setup % std::size(Versions)]);
    device.SetDebugMode((setup & DebugModeBit) != 0);
    device.SetConnected(true);
    // The statistics timer counts real time from here; an input takes far less than its second,
    // and the tick would wait for a main loop that never runs anyway.
    device.Start();
}

void Receive(TKelvoDevice& device, const ByteString& chunk) {
    TComDataPacket& splitter = *device.GetDataPacket();
    // Unlinked, the port hands its bytes straight to ParseMessage (the byte stream).
    if (splitter.GetComPort() == nullptr) device.ParseMessage(chunk);
    else splitter.AppendReceived(chunk);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    TFuzzDevice::PrepareProcess();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static TManualClock clock(1);
    // One session for the whole run: building one per input costs its timer threads.
    static TTerminalSession session;
    // Every line is built in full; where it would go does not matter here.
    session.OnAddLine = [](const std::string&) {};
    session.SetConnectionSurveyEnabled(false);
    TKelvoDevice& device = session.Device();
    // A repeated enter key posts an application message; nothing runs the event loop here, so
    // the messages of the previous input are dropped instead of piling up.
    QCoreApplication::removePostedEvents(nullptr);
    TFuzzInput input(data, size);
    Ride(device, input.Byte());
    while (!input.Empty()) {
        const ByteString chunk = input.Chunk(clock);
        if (!chunk.empty()) Receive(device, chunk);
    }
    return 0;
}
