#pragma once

#include "console_sim/ConsoleCommand.h"
#include "device_link/TrafficRecord.h"
#include "console_sim/ConsoleVersion.h"
#include "console_sim/RiderModel.h"
#include "device_link/ByteString.h"

#include <array>
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

struct TConsoleSettings {
    double Version = 5;
    std::uint32_t Serial = 123456;
    std::uint8_t Product = 1;
    double Speed = 25;
    double Cadence = 80;
    double Heart = 120;
};

// What the console does to its line: send bytes, note a step of its own in the record, or
// hang the line up for a while.
struct TConsoleAction {
    enum TKind { akSend, akNote, akHangUp } Kind = akSend;
    ByteString Bytes; // sent bytes, or the note's text
    double Ms = 0;    // how long the line stays away
};
using TConsoleActions = std::vector<TConsoleAction>;

// The console's behaviour without a line or a clock: it is told the time and what the PC sent,
// and says what it sends back. Steppable, so the timing is exact in tests and the same in the
// threaded emulator.
class TConsoleMachine {
public:
    explicit TConsoleMachine(const TConsoleSettings& settings);

    const TConsoleVersion& GetVersion() const { return FVersion; }
    bool IsHandshaken() const { return FHandshaken; }

    void SetScript(std::vector<TScriptLine> script) { FScript = std::move(script); }
    // The sent part of a capture (ReplayedPart): after the handshake it takes the place of the
    // streams and of the answers to requests.
    void SetReplay(std::vector<TRecordEntry> played);

    // Runs the script's start lines.
    TConsoleActions Start(double nowMs);
    TConsoleActions Receive(double nowMs, const ByteString& bytes);
    // Streams, script lines and replayed bytes that fell due by nowMs.
    TConsoleActions Advance(double nowMs);
    TConsoleActions Apply(double nowMs, const TConsoleCommand& command);
    // Throws std::invalid_argument for a command that this console's family cannot carry out.
    void Check(const TConsoleCommand& command) const;
    // When Advance next has something to do (infinity when nothing is planned).
    double NextDueMs() const;
    // The line went away: the next line needs a handshake again before anything streams.
    void LineLost();

private:
    static constexpr int KeyCount = 4;

    bool Emit(TConsoleActions& actions, double nowMs, const ByteString& bytes) const;
    bool IsReplaying() const { return !FReplay.empty(); }

    void ReceiveByteStream(TConsoleActions& actions, double nowMs, const ByteString& bytes);
    void ReceiveFrames(TConsoleActions& actions, double nowMs, const ByteString& bytes);
    void HandleRequest(TConsoleActions& actions, double nowMs, const ByteString& request);
    void AnswerRequest(TConsoleActions& actions, double nowMs, std::uint8_t type, std::uint8_t a, std::uint8_t b);
    void AnswerIdentification(TConsoleActions& actions, double nowMs);
    void BeginStreaming(TConsoleActions& actions, double nowMs);
    ByteString Answer(std::uint8_t type, const ByteString& payload) const;
    ByteString Ack() const;
    void ResetRollCount();

    void AdvanceScript(TConsoleActions& actions, double nowMs);
    void AdvanceStream(TConsoleActions& actions, double nowMs);
    void AdvanceReplay(TConsoleActions& actions, double nowMs);
    ByteString StreamedBytes(double atMs);
    ByteString ByteStreamStatus(double atMs);
    ByteString ShortInfos(double atMs);
    ByteString LongInfos(double atMs);
    ByteString InfosFrame(std::size_t size, std::uint8_t status, std::uint32_t roll) const;
    std::uint8_t ImpulseBits();
    void AdvanceHeartBeat(double atMs);

    std::uint8_t KeyBits(double atMs) const;
    double RollEventsIn(double ms) const;
    std::uint32_t RollPeriod() const;
    // Whole roll events ridden in one period, at most `most`; counted into the total unless paused.
    std::uint32_t CountRollEvents(long double events, std::uint32_t most);
    bool Impulse(double& phase, double perMinute);

    ByteString FaultFrame(const TConsoleCommand& command);
    ByteString InfosShape(std::size_t size) const;
    ByteString Garbage(std::size_t count);

    TConsoleVersion FVersion;
    std::uint32_t FSerial;
    std::uint8_t FProduct;
    TRiderModel FRider;

    bool FHandshaken = false;
    double FFirstHandshakeMs = -1;
    double FNextStreamMs = 0;
    double FSilentUntilMs = 0;
    double FLastPcByteMs;
    ByteString FRequestBuffer;

    std::optional<std::uint8_t> FWrongAnswer;
    bool FIdentificationMuted = false;
    std::array<double, KeyCount> FKeyUntilMs{};
    std::uint8_t FOrientationX = 0;
    std::uint8_t FOrientationY = 0;

    long double FRollEvents = 0;
    std::uint32_t FTotalRollCount = 0;
    bool FPaused = false;
    double FPedalPhase = 0;
    double FHeartPhase = 0;
    // The period frames carry: a new one at each beat, repeated by the frames between beats.
    std::uint32_t FHeartPeriodMs = 0;
    double FNextBeatMs = 0;
    std::mt19937 FRandom;
    // Its own generator, so that the beats stay the same whatever else draws random bytes.
    std::mt19937 FBeatRandom;

    std::vector<TScriptLine> FScript;
    std::size_t FScriptNext = 0;
    std::vector<TRecordEntry> FReplay;
    std::size_t FReplayNext = 0;
};
