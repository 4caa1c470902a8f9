// Receive intake: port and splitter handlers, the long-frame finder and message dispatch.
#include "device/KelvoDevice.h"

#include "device/KelvoProtocol.h"
#include "device_link/TickClock.h"

#include <cmath>

using namespace KelvoProtocol;

namespace {
// MessageCount wraps back to 1 beyond this value.
constexpr std::int32_t MessageCountLimit = 2147483;

long double Rounded(long double value) { return std::nearbyint(value); } // halves to even
} // namespace

void TKelvoDevice::HookPortEvents() {
    TComPort& port = *FComPort;
    port.OnRxChar = [this](TComponent* sender, int count) { PortRxChar(sender, count); };
    port.OnAfterOpen = [this](TComponent*) {
        FPortOpenedTick = TickCount();
        FPortCloseSinceOpen.reset();
        Raise(OnComPortAfterOpen, this);
    };
    port.OnBeforeOpen = [this](TComponent*) {
        CancelRepair();
        Raise(OnComPortBeforeOpen, this);
    };
    port.OnBeforeClose = [this](TComponent*) {
        if (IsDestroying()) return;
        FPortCloseSinceOpen = TPortClose{TickElapsed(FPortOpenedTick, TickCount()), FRepairMovesPort};
        CancelRepair();
        // A repair closes and reopens the port on purpose; any other close ends the connection.
        if (!FRepairing) SetConnected(false);
        Raise(OnComPortBeforeClose, this);
    };
    auto guarded = [this](auto forward) {
        return [this, forward](TComponent*, auto... args) {
            if (!IsDestroying()) forward(args...);
        };
    };
    port.OnAfterClose = guarded([this] { Raise(OnComPortAfterClose, this); });
    port.OnRxBuf = guarded([this](const char* buffer, int count) { Raise(OnComPortRxBuf, this, buffer, count); });
    port.OnTxEmpty = guarded([this] { Raise(OnComPortTxEmpty, this); });
    port.OnBreak = guarded([this] { Raise(OnComPortBreak, this); });
    port.OnRing = guarded([this] { Raise(OnComPortRing, this); });
    port.OnCTSChange = guarded([this](bool onOff) { Raise(OnComPortCTSChange, this, onOff); });
    port.OnDSRChange = guarded([this](bool onOff) { Raise(OnComPortDSRChange, this, onOff); });
    port.OnRLSDChange = guarded([this](bool onOff) { Raise(OnComPortRLSDChange, this, onOff); });
    port.OnRxFlag = guarded([this] { Raise(OnComPortRxFlag, this); });
    port.OnError = guarded([this](TComErrors errors) { Raise(OnComPortError, this, errors); });
    port.OnRx80Full = guarded([this] { Raise(OnComPortRx80Full, this); });
}

void TKelvoDevice::PortRxChar(TComponent*, int Count) {
    if (IsDestroying()) return;
    ++FMessageCount;
    ByteString chunk;
    FComPort->ReadString(chunk, Count);
    ParseMessage(chunk);
    const bool inRide = FStatus >= dsConnected && FStatus <= dsStopped;
    if (FConnected && inRide && FVersion < 4) {
        const std::uint8_t answer = FStatus == dsRunning ? static_cast<std::uint8_t>(FKelvoResistance & 0xFF) : 0;
        Send(BytesOf({answer}));
    }
    Raise(OnComPortRxChar, this, Count);
}

void TKelvoDevice::PacketReceived(TComponent*, const ByteString& Str) {
    if (IsDestroying()) return;
    ParseMessage(Str);
    KeepAliveAfterFrame();
    Raise(OnComDataPacketPacket, this, Str);
}

void TKelvoDevice::PacketDiscarded(TComponent*, const ByteString& Str) {
    if (IsDestroying()) return;
    Raise(OnComDataPacketDiscard, this, Str);
}

void TKelvoDevice::FindPacketStart(TComponent*, const ByteString& Str, std::int32_t& Pos) {
    if (IsDestroying()) return;
    if (FVersion <= 4) {
        Raise(OnComDataPacketCustomStart, this, Str, Pos);
        return;
    }
    Pos = 0;
    if (Str.empty()) return;
    FoundPacketSize = 0;
    const std::size_t frameLength = static_cast<std::size_t>(std::max(FPacketSize, 1));
    // A start byte in the last place cannot begin a frame.
    for (std::size_t start = 0; start + 1 < Str.size(); ++start) {
        if (ByteAt(Str, start) != StartByte) continue;
        const std::size_t end = start + frameLength - 1;
        if (end < Str.size() && ByteAt(Str, end) == StopByte) {
            Pos = static_cast<std::int32_t>(start) + 1;
            FoundPacketSize = FPacketSize;
            return;
        }
    }
}

void TKelvoDevice::FindPacketEnd(TComponent*, const ByteString& Str, std::int32_t& Pos) {
    if (IsDestroying()) return;
    if (FVersion <= 4) {
        Raise(OnComDataPacketCustomStop, this, Str, Pos);
        return;
    }
    if (static_cast<std::int32_t>(Str.size()) >= FoundPacketSize) Pos = FoundPacketSize;
}

void TKelvoDevice::CountMessage() {
    FMessageCount = FMessageCount >= MessageCountLimit ? 1 : FMessageCount + 1;
    FNoMessageSinceTick = false;
    FMessageTick = TickCount();
}

bool TKelvoDevice::ParseMessage(const ByteString& Data) {
    if (IsDestroying()) return false;
    CountMessage();
    if (FVersion < 4) {
        if (FConnected) ParseStatusBytes(Data);
        else ParseByteStreamIdentification(Data);
        return true;
    }
    if (IsRejectedFrame(Data)) {
        DoMessageRejected(Data);
        return false;
    }
    if (FrameByte(Data, 1) == MessageByte::Identification) ParseIdentification(Data);
    else if (FVersion > 4) ParseLongFrame(Data);
    else ParseShortFrame(Data);
    return true;
}

void TKelvoDevice::ParseByteStreamIdentification(const ByteString& Data) {
    if (!Data.empty() && ByteAt(Data, 0) == ByteStreamAnswer) {
        SetConnected(true);
        DoKelvoMessage(MtIdentification, Data, -1, -1, -1);
    } else {
        SetConnected(false);
    }
}

void TKelvoDevice::ParseStatusBytes(const ByteString& Data) {
    for (std::size_t i = 0; i < Data.size(); ++i) {
        const std::uint8_t status = ByteAt(Data, i);
        ++FStatusByteCount;
        // A zero byte carries nothing and raises no message, but counts towards the speed sample.
        const TStatusImpulses impulses = status != 0 ? DecodeStatus(status) : TStatusImpulses{};
        const long double roll = RollImpulse(status);
        if (FStatus != dsDisconnected) {
            if (FStatus == dsRunning) AddRollEvents(roll);
            FStatusRollSum += roll;
            if (FStatusByteCount >= FStatusBytesPerSpeedSample) {
                FSpeed = AddSpeedSample(static_cast<double>(FStatusRollSum));
                FStatusRollSum = 0;
                FStatusByteCount = 0;
            }
            TakeImpulses(impulses);
        }
        if (status != 0) DoKelvoMessage(mtInfos, Data, roll, impulses.Heart, impulses.Cadence);
    }
}

void TKelvoDevice::ParseIdentification(const ByteString& Data) {
    const std::uint8_t answer = FrameByte(Data, 2);
    if (const std::optional<double> version = VersionOfIdentificationAnswer(answer)) {
        SetVersion(*version);
        // Bytes queued behind the answer belong to the old framing; a closed port has none.
        if (*version != 4 && FComPort->GetConnected()) FComPort->ClearBuffers(true, false);
        SetConnected(true);
    } else {
        SetConnected(false);
    }
    DoKelvoMessage(MtIdentification, Data, answer, -1, -1);
}

void TKelvoDevice::ParseLongFrame(const ByteString& Data) {
    switch (FrameByte(Data, 1)) {
    case MessageByte::Infos: ParseLongInfos(Data); break;
    case MessageByte::RollCount: ParseRollCount(Data); break;
    case MessageByte::SerialNumber:
        if (const std::uint32_t counter = CounterValue(Data); counter != 0)
            FSerialNumber = static_cast<std::int32_t>(counter);
        FRotationHex1 = FrameByte(Data, 5);
        FRotationHex2 = FrameByte(Data, 6);
        FOrientation = KelvoProtocol::Orientation(FRotationHex1, FRotationHex2);
        DoKelvoMessage(MtSerialNumber, Data, -1, -1, -1);
        break;
    case MessageByte::Ack: DoKelvoMessage(mtAck, Data, -1, -1, -1); break;
    case MessageByte::ProductVersion:
        FProductVersion = KelvoProtocol::ProductVersion(Data);
        DoKelvoMessage(mtProductVersion, Data, FProductVersion, -1, -1);
        break;
    default: break; // unknown long frames are ignored
    }
}

void TKelvoDevice::ParseShortFrame(const ByteString& Data) {
    switch (FrameByte(Data, 1)) {
    case MessageByte::Infos: ParseShortInfos(Data); break;
    case MessageByte::RollCount: ParseRollCount(Data); break;
    case MessageByte::SerialNumber:
        if (const std::uint32_t counter = CounterValue(Data); counter != 0 && FSerialNumber == 0) {
            FSerialNumber = static_cast<std::int32_t>(counter);
            DoSerialNumber();
        }
        DoKelvoMessage(MtSerialNumber, Data, -1, -1, -1);
        break;
    case MessageByte::Ack: DoKelvoMessage(mtAck, Data, -1, -1, -1); break;
    case MessageByte::ProductVersion:
        FProductVersion = KelvoProtocol::ProductVersion(Data);
        DoProductVersion();
        DoKelvoMessage(mtProductVersion, Data, FProductVersion, -1, -1);
        break;
    default: DoMessageRejected(Data); break;
    }
}

TKelvoDevice::TStatusImpulses TKelvoDevice::DecodeStatus(std::uint8_t status) {
    if (const std::optional<int> key = ConsoleKeyOfStatus(status)) ConsoleKeyDown(static_cast<TConsoleKey>(*key));
    return {KelvoProtocol::HeartImpulse(status), CadenceImpulse(status)};
}

void TKelvoDevice::TakeImpulses(const TStatusImpulses& impulses) {
    if (impulses.Heart > 0) {
        FHeartImpulseSeen = true;
        HeartImpulse();
    }
    if (impulses.Cadence > 0) AddCadenceSample(1);
}

void TKelvoDevice::TakeRolls(double speedRolls, long double roll) {
    FSpeed = AddSpeedSample(speedRolls);
    if (FStatus == dsRunning) AddRollEvents(roll);
}

void TKelvoDevice::ParseLongInfos(const ByteString& Data) {
    const TStatusImpulses impulses = DecodeStatus(FrameByte(Data, 2));
    const long double roll = FDebugMode ? FRollValue : LongRollValue(Data);
    if (FStatus == dsDisconnected) return;
    TakeRolls(static_cast<double>(roll), roll);
    // In debug mode the message reports the impulse flags instead of the decoded periods.
    long double heart = impulses.Heart;
    long double cadence = impulses.Cadence;
    if (!FDebugMode) {
        heart = LongHeartRate(Data);
        DeviceHeartValue(heart);
        cadence = LongCadence(Data);
        if (cadence > 0) AddCadenceSample(static_cast<std::int32_t>(Rounded(cadence)));
    }
    DoKelvoMessage(mtInfos, Data, roll, heart, cadence);
}

void TKelvoDevice::ParseShortInfos(const ByteString& Data) {
    const TStatusImpulses impulses = DecodeStatus(FrameByte(Data, 2));
    const long double roll = FDebugMode ? FRollValue : ShortRollValue(Data);
    if (FStatus != dsDisconnected) {
        TakeRolls(static_cast<double>(Rounded(roll)), roll);
        TakeImpulses(impulses);
    }
    DoKelvoMessage(mtInfos, Data, roll, impulses.Heart, impulses.Cadence);
}

void TKelvoDevice::ParseRollCount(const ByteString& Data) {
    if (const std::uint32_t counter = CounterValue(Data); counter != 0) {
        FRollCount = counter;
        UpdateDistance(FDistancePerRollEvent * FRollCount);
    }
    DoKelvoMessage(mtRollCount, Data, -1, -1, -1);
}
