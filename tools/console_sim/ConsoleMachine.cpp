#include "console_sim/ConsoleMachine.h"

#include "console_sim/ConsoleFrames.h"
#include "device/KelvoProtocol.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace {

namespace Kp = KelvoProtocol;
using ConsoleFrames::Big16;
using ConsoleFrames::Big24;
using ConsoleFrames::Frame;

constexpr double Never = std::numeric_limits<double>::infinity();
// A roll period of p units stands for 125000 / 33 / p roll events in one 100 ms frame.
constexpr long double RollConstant = 125000.0L / 33.0L;
// The period that stands for "not turning".
constexpr std::uint32_t NoPeriod = 0xFFFF;
// A byte-stream PC answers every chunk; a 0x28 after this much quiet is an identification
// request rather than a resistance of 40.
constexpr double IdentificationQuietMs = 250;
// A thread that fell this far behind skips the frames instead of sending a burst.
constexpr double LongestCatchUpMs = 1000;
constexpr std::uint8_t BadStartByte = 0x00;
// Every infos frame stands for 100 ms of riding.
constexpr double FrameMs = 100;
// Beat-to-beat variation of a resting heart, as a share of the beat period.
constexpr double BeatVariation = 0.02;

char Byte(std::uint32_t value) { return static_cast<char>(static_cast<std::uint8_t>(value & 0xFF)); }

std::uint32_t PeriodMs(double perMinute) {
    if (perMinute <= 0) return 0;
    return static_cast<std::uint32_t>(std::min<double>(NoPeriod, std::round(60000.0 / perMinute)));
}

} // namespace

TConsoleMachine::TConsoleMachine(const TConsoleSettings& settings)
    : FVersion(ConsoleVersionOf(settings.Version)), FSerial(settings.Serial), FProduct(settings.Product),
      FLastPcByteMs(-Never), FRandom(1), FBeatRandom(2) {
    FRider.SetBaseSpeed(settings.Speed);
    FRider.SetBaseCadence(settings.Cadence);
    FRider.SetBaseHeart(settings.Heart);
}

void TConsoleMachine::SetReplay(std::vector<TRecordEntry> played) {
    FReplay = std::move(played);
    FReplayNext = 0;
}

TConsoleActions TConsoleMachine::Start(double nowMs) {
    TConsoleActions actions;
    for (; FScriptNext < FScript.size() && FScript[FScriptNext].AtStart; ++FScriptNext) {
        TConsoleActions done = Apply(nowMs, FScript[FScriptNext].Command);
        actions.insert(actions.end(), done.begin(), done.end());
    }
    return actions;
}

bool TConsoleMachine::Emit(TConsoleActions& actions, double nowMs, const ByteString& bytes) const {
    if (nowMs < FSilentUntilMs) return false;
    actions.push_back({TConsoleAction::akSend, bytes, 0});
    return true;
}

// ---- What the PC sends ----

TConsoleActions TConsoleMachine::Receive(double nowMs, const ByteString& bytes) {
    TConsoleActions actions;
    if (FVersion.Family == TConsoleFamily::cfByteStream) {
        ReceiveByteStream(actions, nowMs, bytes);
    } else {
        ReceiveFrames(actions, nowMs, bytes);
    }
    return actions;
}

void TConsoleMachine::ReceiveByteStream(TConsoleActions& actions, double nowMs, const ByteString& bytes) {
    bool quiet = nowMs - FLastPcByteMs >= IdentificationQuietMs;
    FLastPcByteMs = nowMs;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const std::uint8_t byte = ByteAt(bytes, i);
        if (byte == Kp::IdentificationCode && (quiet || !FHandshaken)) {
            AnswerIdentification(actions, nowMs);
        } else if (FHandshaken && !IsReplaying()) {
            FRider.SetSetPoints(byte, 0);
        }
        quiet = false;
    }
}

void TConsoleMachine::ReceiveFrames(TConsoleActions& actions, double nowMs, const ByteString& bytes) {
    FRequestBuffer += bytes;
    for (;;) {
        const std::size_t start = FRequestBuffer.find(Byte(Kp::StartByte));
        if (start == ByteString::npos) {
            FRequestBuffer.clear();
            return;
        }
        FRequestBuffer.erase(0, start);
        if (FRequestBuffer.size() < Kp::RequestFrameSize) return;
        // A start byte without its stop byte five bytes on is noise: look for the next one.
        if (ByteAt(FRequestBuffer, Kp::RequestFrameSize - 1) == Kp::StopByte) {
            HandleRequest(actions, nowMs, FRequestBuffer.substr(0, Kp::RequestFrameSize));
            FRequestBuffer.erase(0, Kp::RequestFrameSize);
        } else {
            FRequestBuffer.erase(0, 1);
        }
    }
}

void TConsoleMachine::HandleRequest(TConsoleActions& actions, double nowMs, const ByteString& request) {
    const std::uint8_t type = ByteAt(request, 1);
    const std::uint8_t a = ByteAt(request, 2);
    if (type == Kp::rqIdentification) {
        if (a == Kp::IdentificationCode) AnswerIdentification(actions, nowMs);
        return;
    }
    if (FHandshaken && !IsReplaying()) AnswerRequest(actions, nowMs, type, a, ByteAt(request, 3));
}

void TConsoleMachine::AnswerRequest(TConsoleActions& actions, double nowMs, std::uint8_t type, std::uint8_t a,
                                    std::uint8_t b) {
    namespace Mb = Kp::MessageByte;
    const bool long_ = FVersion.Family == TConsoleFamily::cfLongFrames;
    switch (type) {
    case Kp::rqSetPoints: FRider.SetSetPoints(a, b); break;
    case Kp::rqTotalRollCount: Emit(actions, nowMs, Answer(Mb::RollCount, Big24(FTotalRollCount))); break;
    case Kp::rqSerialNumber:
        Emit(actions, nowMs, Answer(Mb::SerialNumber, Big24(FSerial) + (long_ ? ByteString{Byte(FOrientationX), Byte(FOrientationY)} : "")));
        break;
    case Kp::rqResetRollerTurns:
        ResetRollCount();
        Emit(actions, nowMs, Ack());
        break;
    case Kp::rqResetConsole:
        ResetRollCount();
        FRider.SetSetPoints(0, 0);
        FPaused = false;
        Emit(actions, nowMs, Ack());
        break;
    case Kp::rqPauseConsole:
        FPaused = a != 0;
        Emit(actions, nowMs, Ack());
        break;
    case Kp::rqProductVersion: Emit(actions, nowMs, Answer(Mb::ProductVersion, ByteString(1, Byte(FProduct)))); break;
    default: break; // a console ignores requests it does not know
    }
}

void TConsoleMachine::AnswerIdentification(TConsoleActions& actions, double nowMs) {
    if (FIdentificationMuted) return;
    const std::uint8_t answer = FWrongAnswer.value_or(FVersion.IdentificationAnswer);
    FWrongAnswer.reset();
    const ByteString bytes = ConsoleFrames::IdentificationAnswerBytes(FVersion.Family, answer);
    if (Emit(actions, nowMs, bytes) && answer == FVersion.IdentificationAnswer && !FHandshaken)
        BeginStreaming(actions, nowMs);
}

void TConsoleMachine::BeginStreaming(TConsoleActions& actions, double nowMs) {
    FHandshaken = true;
    FNextStreamMs = nowMs + FVersion.StreamPeriodMs();
    if (FFirstHandshakeMs < 0) FFirstHandshakeMs = nowMs;
    actions.push_back({TConsoleAction::akNote, "handshake", 0});
}

ByteString TConsoleMachine::Answer(std::uint8_t type, const ByteString& payload) const {
    return Frame(FVersion.FrameSize(), type, payload);
}

ByteString TConsoleMachine::Ack() const { return Answer(Kp::MessageByte::Ack, ""); }

void TConsoleMachine::ResetRollCount() {
    FTotalRollCount = 0;
    FRollEvents = 0;
}

void TConsoleMachine::LineLost() {
    FHandshaken = false;
    FRequestBuffer.clear();
    FLastPcByteMs = -Never;
}

// ---- What falls due with time ----

TConsoleActions TConsoleMachine::Advance(double nowMs) {
    TConsoleActions actions;
    AdvanceScript(actions, nowMs);
    AdvanceStream(actions, nowMs);
    AdvanceReplay(actions, nowMs);
    return actions;
}

double TConsoleMachine::NextDueMs() const {
    double due = Never;
    if (FHandshaken && !IsReplaying()) due = FNextStreamMs;
    if (FFirstHandshakeMs >= 0 && FScriptNext < FScript.size())
        due = std::min(due, FFirstHandshakeMs + FScript[FScriptNext].TimeMs);
    if (FFirstHandshakeMs >= 0 && FReplayNext < FReplay.size())
        due = std::min(due, FFirstHandshakeMs + FReplay[FReplayNext].TimeMs);
    return due;
}

void TConsoleMachine::AdvanceScript(TConsoleActions& actions, double nowMs) {
    if (FFirstHandshakeMs < 0) return;
    for (; FScriptNext < FScript.size() && FFirstHandshakeMs + FScript[FScriptNext].TimeMs <= nowMs; ++FScriptNext) {
        TConsoleActions done = Apply(nowMs, FScript[FScriptNext].Command);
        actions.insert(actions.end(), done.begin(), done.end());
    }
}

void TConsoleMachine::AdvanceStream(TConsoleActions& actions, double nowMs) {
    if (!FHandshaken || IsReplaying()) return;
    if (nowMs - FNextStreamMs > LongestCatchUpMs) FNextStreamMs = nowMs;
    for (; FNextStreamMs <= nowMs; FNextStreamMs += FVersion.StreamPeriodMs()) {
        const ByteString bytes = StreamedBytes(FNextStreamMs);
        Emit(actions, nowMs, bytes);
    }
}

void TConsoleMachine::AdvanceReplay(TConsoleActions& actions, double nowMs) {
    if (FFirstHandshakeMs < 0 || !FHandshaken) return;
    for (; FReplayNext < FReplay.size() && FFirstHandshakeMs + FReplay[FReplayNext].TimeMs <= nowMs; ++FReplayNext)
        Emit(actions, nowMs, FReplay[FReplayNext].Bytes);
    if (FReplayNext == FReplay.size() && IsReplaying()) {
        actions.push_back({TConsoleAction::akNote, "replay-finished", 0});
        FReplayNext = FReplay.size() + 1;
    }
}

ByteString TConsoleMachine::StreamedBytes(double atMs) {
    switch (FVersion.Family) {
    case TConsoleFamily::cfByteStream: return ByteStreamStatus(atMs);
    case TConsoleFamily::cfShortFrames: return ShortInfos(atMs);
    case TConsoleFamily::cfLongFrames: break;
    }
    return LongInfos(atMs);
}

ByteString TConsoleMachine::ByteStreamStatus(double atMs) {
    std::uint8_t status = KeyBits(atMs) | ImpulseBits();
    if (CountRollEvents(RollEventsIn(FVersion.StreamPeriodMs()), 1) != 0) status |= Kp::StatusBit::Roll;
    return ByteString(1, Byte(status));
}

ByteString TConsoleMachine::ShortInfos(double atMs) {
    const std::uint8_t status = KeyBits(atMs) | ImpulseBits();
    return InfosFrame(Kp::ShortFrameSize, status, CountRollEvents(RollEventsIn(FVersion.StreamPeriodMs()), 0xFF));
}

ByteString TConsoleMachine::LongInfos(double atMs) {
    AdvanceHeartBeat(atMs);
    const std::uint32_t period = RollPeriod();
    if (period != NoPeriod) CountRollEvents(RollConstant / period, std::numeric_limits<std::uint32_t>::max());
    return InfosFrame(Kp::LongFrameSize, KeyBits(atMs), period);
}

// The short frame carries the roll events of the period, the long one the roll period.
ByteString TConsoleMachine::InfosFrame(std::size_t size, std::uint8_t status, std::uint32_t roll) const {
    if (size == Kp::ShortFrameSize) return Frame(size, Kp::MessageByte::Infos, {Byte(status), Byte(roll)});
    return Frame(size, Kp::MessageByte::Infos,
                 ByteString(1, Byte(status)) + Big16(roll) + Big16(PeriodMs(FRider.GetCadence())) +
                     Big16(FHeartPeriodMs));
}

// A console reports the period of the last beat until the next one: the PC takes only a changed
// period as a beat, so each beat's period differs a little from the one before.
void TConsoleMachine::AdvanceHeartBeat(double atMs) {
    const std::uint32_t resting = PeriodMs(FRider.GetHeart());
    if (resting == 0) {
        FHeartPeriodMs = 0;
        FNextBeatMs = atMs;
        return;
    }
    if (atMs < FNextBeatMs) return;
    const auto spread = static_cast<int>(std::lround(resting * BeatVariation));
    std::uniform_int_distribution<int> variation(-spread, spread);
    auto period = static_cast<std::uint32_t>(std::clamp<long>(resting + variation(FBeatRandom), 1, NoPeriod - 1));
    if (period == FHeartPeriodMs) period = period > resting ? period - 1 : period + 1;
    // A console that was not asked for frames for a while starts beating again now.
    if (atMs - FNextBeatMs > period) FNextBeatMs = atMs;
    FNextBeatMs += period;
    FHeartPeriodMs = period;
}

std::uint8_t TConsoleMachine::ImpulseBits() {
    std::uint8_t bits = 0;
    if (Impulse(FPedalPhase, FRider.GetCadence())) bits |= Kp::StatusBit::Pedal;
    if (Impulse(FHeartPhase, FRider.GetHeart())) bits |= Kp::StatusBit::Heart;
    return bits;
}

std::uint8_t TConsoleMachine::KeyBits(double atMs) const {
    std::uint8_t bits = 0;
    for (int key = 0; key < KeyCount; ++key)
        if (atMs < FKeyUntilMs[key]) bits |= static_cast<std::uint8_t>(1u << key);
    return bits;
}

double TConsoleMachine::RollEventsIn(double ms) const {
    const double metresPerSecond = FRider.GetSpeed() / 3.6;
    return metresPerSecond / FVersion.DistancePerRollEvent * ms / 1000.0;
}

std::uint32_t TConsoleMachine::RollPeriod() const {
    const double events = RollEventsIn(FrameMs);
    if (events <= 0) return NoPeriod;
    return static_cast<std::uint32_t>(std::clamp<long double>(std::round(RollConstant / events), 1, NoPeriod));
}

std::uint32_t TConsoleMachine::CountRollEvents(long double events, std::uint32_t most) {
    FRollEvents += events;
    const long double whole = std::floor(FRollEvents);
    const std::uint32_t counted = whole > most ? most : static_cast<std::uint32_t>(whole);
    // Events beyond what one frame can carry are lost, as they would be on the console.
    FRollEvents = whole > most ? 0 : FRollEvents - whole;
    if (!FPaused) FTotalRollCount += counted;
    return counted;
}

bool TConsoleMachine::Impulse(double& phase, double perMinute) {
    phase += perMinute * FVersion.StreamPeriodMs() / 60000.0;
    if (phase < 1) return false;
    phase = std::fmod(phase, 1.0);
    return true;
}

// ---- Commands ----

void TConsoleMachine::Check(const TConsoleCommand& command) const {
    const bool framed = FVersion.Family != TConsoleFamily::cfByteStream;
    if ((command.Kind == TSimCommandKind::scCut || command.Kind == TSimCommandKind::scUnknownType) && !framed)
        throw std::invalid_argument("the byte-stream console sends no frames to cut or to type");
    if (command.Kind == TSimCommandKind::scCut && command.Value >= FVersion.FrameSize())
        throw std::invalid_argument("cut: a frame of this version has " + std::to_string(FVersion.FrameSize()) +
                                    " bytes; cut it shorter");
}

TConsoleActions TConsoleMachine::Apply(double nowMs, const TConsoleCommand& command) {
    Check(command);
    TConsoleActions actions;
    using K = TSimCommandKind;
    const auto byte = static_cast<std::uint8_t>(command.Value);
    switch (command.Kind) {
    case K::scSpeed: FRider.SetBaseSpeed(command.Value); break;
    case K::scCadence: FRider.SetBaseCadence(command.Value); break;
    case K::scHeart: FRider.SetBaseHeart(command.Value); break;
    case K::scKey: FKeyUntilMs[byte] = nowMs + command.Second; break;
    case K::scOrientation:
        FOrientationX = byte;
        FOrientationY = static_cast<std::uint8_t>(command.Second);
        break;
    case K::scSilence: FSilentUntilMs = nowMs + command.Value; break;
    case K::scGarbage: Emit(actions, nowMs, Garbage(static_cast<std::size_t>(command.Value))); break;
    case K::scCut:
    case K::scBadStart:
    case K::scUnknownType: Emit(actions, nowMs, FaultFrame(command)); break;
    case K::scWrongId: FWrongAnswer = byte; break;
    case K::scNoId: FIdentificationMuted = command.Value != 0; break;
    case K::scNoBrake: FRider.SetBrakeFailed(command.Value != 0); break;
    case K::scHangUp: actions.push_back({TConsoleAction::akHangUp, "", command.Value}); break;
    }
    return actions;
}

ByteString TConsoleMachine::FaultFrame(const TConsoleCommand& command) {
    switch (command.Kind) {
    case TSimCommandKind::scCut: {
        ByteString cut = InfosShape(FVersion.FrameSize()).substr(0, static_cast<std::size_t>(command.Value));
        if (command.Second != 0) cut.back() = Byte(Kp::StopByte);
        return cut;
    }
    case TSimCommandKind::scBadStart: {
        ByteString frame = InfosShape(static_cast<std::size_t>(command.Value));
        frame[0] = Byte(BadStartByte);
        return frame;
    }
    default: break;
    }
    return Answer(static_cast<std::uint8_t>(command.Value), "");
}

// An infos frame of the given size with what the rider does now, without counting its roll
// events: faults show realistic bytes but do not move the console's counters.
// What the rider does now in an infos frame of the given size, without counting its roll
// events: faults show realistic bytes but do not move the console's counters.
ByteString TConsoleMachine::InfosShape(std::size_t size) const {
    const bool shortFrame = size == Kp::ShortFrameSize;
    const auto events = static_cast<std::uint32_t>(std::min(255.0, std::round(RollEventsIn(FrameMs))));
    return InfosFrame(size, 0, shortFrame ? events : RollPeriod());
}

ByteString TConsoleMachine::Garbage(std::size_t count) {
    std::uniform_int_distribution<int> byte(0, 255);
    ByteString bytes;
    for (std::size_t i = 0; i < count; ++i) bytes += Byte(static_cast<std::uint32_t>(byte(FRandom)));
    return bytes;
}
