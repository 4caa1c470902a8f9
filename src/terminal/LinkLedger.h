#pragma once

#include "device/KelvoTypes.h"
#include "terminal/GapHistogram.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

// The quality of the link since the port opened, fed by the device's events (it never reads
// the port): messages per type with their rate and the gaps between them, where every received
// byte went, rejected frames, silences, and the repairs with their length and outcome. Time is
// TickCount(), so a manual clock makes every figure exact. Memory stays bounded however long
// the ride: gaps go to histograms and only the newest repairs are kept one by one.
class TLinkLedger {
public:
    // One row per message type, and a last one for rejected frames.
    static constexpr std::size_t RejectedRow = mtAck + 1;
    static constexpr std::size_t RowCount = RejectedRow + 1;
    static constexpr std::size_t KeptRepairs = 10;
    static constexpr std::size_t KeptReopenFailures = 3;

    enum TRepairOutcome { roRepairing, roRepaired, roGivenUp };
    struct TRepair {
        std::uint32_t StartMs = 0; // since the ledger began
        std::uint32_t DurationMs = 0;
        std::int32_t Attempts = 1;
        TRepairOutcome Outcome = roRepairing;
        // From the start to the first message received after it: when the link really came back
        // (a repair succeeds as soon as the port is open, the console may still be silent).
        std::optional<std::uint32_t> MessageAfterMs;
        // Why its reopens failed, the newest KeptReopenFailures of them, and how many failed.
        std::deque<std::string> ReopenFailures;
        std::uint32_t ReopenFailureCount = 0;
    };
    struct TRow {
        std::uint64_t Count = 0;
        TGapHistogram Gaps;
        std::optional<std::uint32_t> LastTick;
    };

    TLinkLedger();
    // What the figures count from, which the report's first line names.
    enum TStart { lsPortOpened, lsUserReset };
    // Starts again from now. `buffered` bytes already wait in the splitter: they were read
    // before, and are carried in so that the byte accounting still closes.
    void Reset(std::size_t buffered = 0, TStart start = lsPortOpened);
    // The port closed: the figures stop there (elapsed time, rates, the quiet time and a
    // running repair's length) instead of fading while nothing can arrive, until the next Reset.
    void PortClosed();

    void BytesRead(std::size_t count);
    void PacketCut(std::size_t size);
    void BytesDiscarded(std::size_t count);
    // `arrivedTick`: the device's GetMessageTick(), so that the ledger adds no clock reading.
    void MessageTaken(TKelvoDeviceMessageType type, std::uint32_t arrivedTick);
    void FrameRejected(std::uint32_t arrivedTick);
    // The survey's reports: 720 (a repair attempt, occurrence 1 for a new silence), 710 (the
    // port did not reopen), 614 (repaired) and 711 (given up, the device disconnects).
    void SurveyReport(std::int32_t code, std::int32_t occurence);
    // Why the port did not reopen (the device's GetReopenFailure()), after its 710 report.
    void ReopenFailed(const std::string& reason);

    std::uint32_t GetElapsedMs() const;
    std::uint64_t GetBytesRead() const { return FBytesRead; }
    std::uint64_t GetBytesInPackets() const { return FBytesInPackets; }
    std::uint64_t GetPackets() const { return FPackets; }
    std::uint64_t GetBytesDiscarded() const { return FBytesDiscarded; }
    std::uint64_t GetBytesCarried() const { return FBytesCarried; }
    // Every byte read (or carried in) was cut into a packet, discarded, or is still buffered.
    bool AccountingCloses(std::size_t buffered) const;
    const TRow& Row(std::size_t row) const { return FRows.at(row); }
    // Messages per second since the ledger began.
    double Rate(std::size_t row) const;
    std::uint64_t GetSilences() const { return FSilences; }
    // The longest time between two received messages of any type, the silence since the last
    // one included (a hang-up given up is the ride's longest silence, though no message ends it).
    std::uint32_t GetLongestSilenceMs() const;
    // Since the last message; empty before the first.
    std::optional<std::uint32_t> QuietMs() const;
    std::uint64_t GetRepaired() const { return FRepaired; }
    std::uint64_t GetGivenUp() const { return FGivenUp; }
    std::uint64_t GetReopenFailures() const { return FReopenFailures; }
    std::uint32_t GetLongestRepairMs() const { return FLongestRepairMs; }
    // The newest repairs, oldest first; one still running has its length so far.
    std::vector<TRepair> Repairs() const;

    // The ledger as lines of text, for the window's page and the monitor.
    std::vector<std::string> ReportLines(std::size_t buffered) const;

private:
    TLinkLedger(std::uint32_t startTick, std::size_t carried, TStart start);
    void MessageArrived(std::size_t row, std::uint32_t now);
    void EndRepair(TRepairOutcome outcome, std::optional<std::int32_t> attempts = std::nullopt);
    std::uint32_t SinceStart(std::uint32_t tick) const { return tick - FStartTick; }
    // Now, or when the port closed.
    std::uint32_t EndTick() const;
    std::string RowLine(std::size_t row) const;
    std::string RepairLine(const TRepair& repair) const;
    static std::string ReopenFailuresText(const TRepair& repair);

    std::uint32_t FStartTick = 0;
    TStart FStart = lsPortOpened;
    std::optional<std::uint32_t> FClosedTick;
    std::uint64_t FBytesRead = 0;
    std::uint64_t FBytesInPackets = 0;
    std::uint64_t FPackets = 0;
    std::uint64_t FBytesDiscarded = 0;
    std::uint64_t FBytesCarried = 0;
    std::array<TRow, RowCount> FRows;
    std::optional<std::uint32_t> FLastMessageTick;
    std::uint32_t FLongestSilenceMs = 0;
    std::uint64_t FSilences = 0;
    std::uint64_t FRepaired = 0;
    std::uint64_t FGivenUp = 0;
    std::uint64_t FReopenFailures = 0;
    std::uint32_t FLongestRepairMs = 0;
    std::deque<TRepair> FRepairs;
};
