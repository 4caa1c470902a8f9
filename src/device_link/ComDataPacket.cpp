#include "device_link/ComDataPacket.h"

#include "device_link/ComLinkHost.h"

#include <algorithm>

TComDataPacket::TComDataPacket() {
    FLink.OnRxBuf = [this](TComponent*, const char* buffer, int count) {
        AppendReceived(ByteString(buffer, static_cast<std::size_t>(std::max(count, 0))));
    };
}

TComDataPacket::~TComDataPacket() {
    SetComPort(nullptr);
    BeginDestruction();
}

void TComDataPacket::SetComPort(TComLinkHost* port) {
    if (port == FComPort) return;
    if (FComPort != nullptr) {
        FComPort->UnregisterLink(&FLink);
        FComPort->RemoveFreeNotification(this);
    }
    FComPort = port;
    if (FComPort != nullptr) {
        FComPort->FreeNotification(this);
        FComPort->RegisterLink(&FLink);
    }
}

void TComDataPacket::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    // The port is going away with its link list; there is nothing left to unregister from.
    if (operation == opRemove && component == FComPort) FComPort = nullptr;
}

template <typename T> void TComDataPacket::SetFramingProperty(T& field, const T& value) {
    if (field == value) return;
    field = value;
    if (!IsLoading()) DiscardBuffer();
}

void TComDataPacket::SetStartString(const ByteString& value) { SetFramingProperty(FStartString, value); }
void TComDataPacket::SetStopString(const ByteString& value) { SetFramingProperty(FStopString, value); }
void TComDataPacket::SetSize(std::int32_t value) { SetFramingProperty(FSize, value); }
void TComDataPacket::SetCaseInsensitive(bool value) { SetFramingProperty(FCaseInsensitive, value); }

ByteString TComDataPacket::MatchForm(const ByteString& Str) const {
    ByteString result = Str;
    for (char& c : result) c = static_cast<char>(MatchByte(c));
    return result;
}

std::uint8_t TComDataPacket::MatchByte(char c) const {
    const auto byte = static_cast<std::uint8_t>(c);
    return FCaseInsensitive && byte >= 0x61 && byte <= 0x7A ? static_cast<std::uint8_t>(byte - 0x20) : byte;
}

std::int32_t TComDataPacket::Search(const ByteString& pattern, std::string_view text) const {
    if (pattern.empty()) return 0;
    // Compares in match form without copying the buffer: this runs for every received chunk.
    const auto found = std::search(text.begin(), text.end(), pattern.begin(), pattern.end(),
                                   [this](char a, char b) { return MatchByte(a) == MatchByte(b); });
    return found == text.end() ? 0 : static_cast<std::int32_t>(found - text.begin()) + 1;
}

bool TComDataPacket::HasEndCondition() const {
    return FSize > 0 || !FStopString.empty() || static_cast<bool>(OnCustomStop);
}

void TComDataPacket::AppendReceived(const ByteString& Str) {
    if (!HasEndCondition()) {
        DoPacket(Str);
        return;
    }
    FBuffer += Str;
    ProcessBuffer();
}

void TComDataPacket::ProcessBuffer() {
    try {
        bool delivered = true;
        while (delivered) {
            if (!FInPacket) SeekPacketStart();
            delivered = false;
            if (FInPacket) {
                SeekPacketEnd();
                delivered = !FInPacket;
            }
        }
    } catch (...) {
        EnforceBufferLimit();
        throw;
    }
    EnforceBufferLimit();
}

void TComDataPacket::EnforceBufferLimit() {
    if (FMaxBufferSize > 0 && FBuffer.size() >= static_cast<std::size_t>(FMaxBufferSize)) DiscardBuffer();
}

void TComDataPacket::SeekPacketStart() {
    std::int32_t pos = NoPosition;
    DoCustomStart(FBuffer, pos);
    if (pos > 0) {
        DropBeforeStart(pos);
    } else if (pos == NoPosition) {
        if (FStartString.empty()) {
            FInPacket = true;
        } else {
            pos = Search(FStartString, FBuffer);
            if (pos > 0) DropBeforeStart(pos);
        }
    }
    // Any other custom position (0, or negative other than -1): no packet starts yet.
}

void TComDataPacket::DropBeforeStart(std::int32_t Pos) {
    FInPacket = true;
    if (Pos <= 1) return;
    const std::size_t count = std::min(static_cast<std::size_t>(Pos - 1), FBuffer.size());
    const ByteString dropped = FBuffer.substr(0, count);
    FBuffer.erase(0, count);
    // A start beyond an empty buffer throws nothing away, so there is nothing to report.
    if (!dropped.empty()) DoDiscard(dropped);
}

void TComDataPacket::SeekPacketEnd() {
    std::int32_t pos = NoPosition;
    DoCustomStop(FBuffer, pos);
    std::int32_t length = 0;
    if (pos > 0) {
        length = pos;
    } else if (pos == NoPosition) {
        const auto buffered = static_cast<std::int32_t>(FBuffer.size());
        if (FSize > 0 && buffered >= FSize) {
            length = FSize;
        } else {
            // The stop string counts only after the start string.
            const auto startLength = static_cast<std::int32_t>(FStartString.size());
            const std::string_view afterStart =
                buffered > startLength ? std::string_view(FBuffer).substr(FStartString.size()) : std::string_view();
            const std::int32_t stop = Search(FStopString, afterStart);
            if (stop > 0) length = startLength + stop + static_cast<std::int32_t>(FStopString.size()) - 1;
        }
    }
    if (length > 0) {
        FInPacket = false;
        CutPacket(length);
    }
}

void TComDataPacket::CutPacket(std::int32_t length) {
    const std::size_t count = std::min(static_cast<std::size_t>(length), FBuffer.size());
    ByteString packet = FBuffer.substr(0, count);
    FBuffer.erase(0, count);
    if (!FIncludeStrings) packet = RemoveMarkers(std::move(packet));
    DoPacket(packet);
}

ByteString TComDataPacket::RemoveMarkers(ByteString Str) const {
    if (Search(FStartString, Str) == 1) Str.erase(0, FStartString.size());
    // A packet shorter than the stop string cannot end with it; without the found test its
    // "not found" would equal the expected position and the erase would start before the packet.
    const auto stopLength = static_cast<std::int32_t>(FStopString.size());
    const auto length = static_cast<std::int32_t>(Str.size());
    const std::int32_t stopAt = Search(FStopString, Str);
    if (stopAt > 0 && stopAt == length - stopLength + 1) Str.erase(Str.size() - FStopString.size());
    return Str;
}

void TComDataPacket::DiscardBuffer() {
    if (FBuffer.empty()) return;
    const ByteString discarded = FBuffer;
    FBuffer.clear();
    FInPacket = false;
    DoDiscard(discarded);
}

void TComDataPacket::DoDiscard(const ByteString& Str) {
    if (OnDiscard) OnDiscard(this, Str);
}

void TComDataPacket::DoPacket(const ByteString& Str) {
    if (OnPacket) OnPacket(this, Str);
}

void TComDataPacket::DoCustomStart(const ByteString& Str, std::int32_t& Pos) {
    if (OnCustomStart) OnCustomStart(this, Str, Pos);
}

void TComDataPacket::DoCustomStop(const ByteString& Str, std::int32_t& Pos) {
    if (OnCustomStop) OnCustomStop(this, Str, Pos);
}
