#pragma once

#include "device_link/ByteString.h"
#include "device_link/ComLink.h"
#include "device_link/Component.h"

#include <cstdint>
#include <functional>

class TComLinkHost;

// Cuts the byte stream of a serial port into packets, by start string, stop string, fixed
// size, or custom start and end tests. Unfinished packets wait in the buffer between reads;
// bytes outside any packet are handed out through OnDiscard.
class TComDataPacket : public TComponent {
public:
    using TComStrEvent = std::function<void(TComponent* Sender, const ByteString& Str)>;
    using TCustPacketEvent = std::function<void(TComponent* Sender, const ByteString& Str, std::int32_t& Pos)>;

    TComDataPacket();
    ~TComDataPacket() override;

    TComLinkHost* GetComPort() const { return FComPort; }
    void SetComPort(TComLinkHost* port);

    const ByteString& GetStartString() const { return FStartString; }
    void SetStartString(const ByteString& value);
    const ByteString& GetStopString() const { return FStopString; }
    void SetStopString(const ByteString& value);
    std::int32_t GetSize() const { return FSize; }
    void SetSize(std::int32_t value);
    bool GetCaseInsensitive() const { return FCaseInsensitive; }
    void SetCaseInsensitive(bool value);
    std::int32_t GetMaxBufferSize() const { return FMaxBufferSize; }
    void SetMaxBufferSize(std::int32_t value) { FMaxBufferSize = value; }
    bool GetIncludeStrings() const { return FIncludeStrings; }
    void SetIncludeStrings(bool value) { FIncludeStrings = value; }

    // Bytes neither delivered nor discarded yet, and whether they begin a packet.
    const ByteString& GetBuffer() const { return FBuffer; }
    bool GetInPacket() const { return FInPacket; }

    // The receive entry: what the linked port calls with every chunk it reads.
    void AppendReceived(const ByteString& Str);

    // The form in which strings are compared: with CaseInsensitive, a..z become A..Z.
    ByteString MatchForm(const ByteString& Str) const;

    // Hands the whole buffer to OnDiscard and empties it.
    void DiscardBuffer();

    TComStrEvent OnPacket;
    TComStrEvent OnDiscard;
    TCustPacketEvent OnCustomStart;
    TCustPacketEvent OnCustomStop;

protected:
    virtual void ProcessBuffer();
    virtual void DoDiscard(const ByteString& Str);
    virtual void DoPacket(const ByteString& Str);
    virtual void DoCustomStart(const ByteString& Str, std::int32_t& Pos);
    virtual void DoCustomStop(const ByteString& Str, std::int32_t& Pos);

    void Notification(TComponent* component, TOperation operation) override;

private:
    static constexpr std::int32_t NoPosition = -1;

    bool HasEndCondition() const;
    std::uint8_t MatchByte(char c) const;
    // 1-based position of the first occurrence of `pattern` in `text` in match form; 0 if none.
    std::int32_t Search(const ByteString& pattern, std::string_view text) const;
    void SeekPacketStart();
    void DropBeforeStart(std::int32_t Pos);
    void SeekPacketEnd();
    void CutPacket(std::int32_t length);
    ByteString RemoveMarkers(ByteString Str) const;
    void EnforceBufferLimit();
    // Stores a framing property; a real change throws away what is buffered.
    template <typename T> void SetFramingProperty(T& field, const T& value);

    TComLinkHost* FComPort = nullptr;
    ByteString FStartString;
    ByteString FStopString;
    std::int32_t FSize = 0;
    std::int32_t FMaxBufferSize = 1024;
    bool FCaseInsensitive = false;
    bool FIncludeStrings = false;
    ByteString FBuffer;
    bool FInPacket = false;
    TComLink FLink;
};
