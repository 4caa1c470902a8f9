#include "terminal/LinkLedger.h"

#include "device/SurveyReports.h"
#include "device_link/TickClock.h"
#include "terminal/EventText.h"

#include <algorithm>

namespace {

constexpr std::array<const char*, TLinkLedger::RowCount> RowNames = {
    "mtInfos", "mtRollCount", "MtSerialNumber", "MtIdentification", "mtProductVersion", "mtAck", "rejected"};

using std::to_string;

std::string SecondsText(std::uint32_t ms) {
    return EventText::Fixed(ms / 1000.0L, 3);
}

std::string MsText(std::uint32_t ms) {
    return to_string(ms) + " ms";
}

const char* OutcomeText(TLinkLedger::TRepairOutcome outcome) {
    switch (outcome) {
    case TLinkLedger::roRepaired:
        return "repaired";
    case TLinkLedger::roGivenUp:
        return "given up";
    case TLinkLedger::roRepairing:
        break;
    }
    return "repairing";
}

} // namespace

TLinkLedger::TLinkLedger() : TLinkLedger(TickCount(), 0, lsPortOpened) {}

void TLinkLedger::Reset(std::size_t buffered, TStart start) {
    *this = TLinkLedger(TickCount(), buffered, start);
}

TLinkLedger::TLinkLedger(std::uint32_t startTick, std::size_t carried, TStart start)
    : FStartTick(startTick), FStart(start), FBytesCarried(carried) {}

void TLinkLedger::PortClosed() {
    if (!FClosedTick) FClosedTick = TickCount();
}

void TLinkLedger::BytesRead(std::size_t count) {
    FBytesRead += count;
}

void TLinkLedger::PacketCut(std::size_t size) {
    FBytesInPackets += size;
    ++FPackets;
}

void TLinkLedger::BytesDiscarded(std::size_t count) {
    FBytesDiscarded += count;
}

void TLinkLedger::MessageTaken(TKelvoDeviceMessageType type, std::uint32_t arrivedTick) {
    MessageArrived(static_cast<std::size_t>(type), arrivedTick);
}

void TLinkLedger::FrameRejected(std::uint32_t arrivedTick) {
    MessageArrived(RejectedRow, arrivedTick);
}

void TLinkLedger::MessageArrived(std::size_t row, std::uint32_t now) {
    TRow& tally = FRows.at(row);
    ++tally.Count;
    if (tally.LastTick) tally.Gaps.Add(now - *tally.LastTick);
    tally.LastTick = now;
    if (FLastMessageTick) FLongestSilenceMs = std::max(FLongestSilenceMs, now - *FLastMessageTick);
    FLastMessageTick = now;
    if (!FRepairs.empty() && !FRepairs.back().MessageAfterMs)
        FRepairs.back().MessageAfterMs = SinceStart(now) - FRepairs.back().StartMs;
}

void TLinkLedger::SurveyReport(std::int32_t code, std::int32_t occurence) {
    switch (code) {
    case SurveyReport::RepairAttempt:
        if (occurence <= 1 || FRepairs.empty() || FRepairs.back().Outcome != roRepairing) {
            ++FSilences;
            if (FRepairs.size() == KeptRepairs) FRepairs.pop_front();
            FRepairs.push_back({SinceStart(TickCount()), 0, 1, roRepairing, std::nullopt, {}, 0});
        } else {
            FRepairs.back().Attempts = occurence;
        }
        break;
    case SurveyReport::PortNotOpen:
        ++FReopenFailures;
        break;
    case SurveyReport::Restored:
        EndRepair(roRepaired);
        break;
    case SurveyReport::GivenUp:
        // At its limit the survey announces one more attempt, then gives up without making it:
        // the give-up's own count is the attempts made.
        EndRepair(roGivenUp, occurence);
        break;
    default:
        break;
    }
}

void TLinkLedger::ReopenFailed(const std::string& reason) {
    if (FRepairs.empty() || FRepairs.back().Outcome != roRepairing) return;
    TRepair& repair = FRepairs.back();
    ++repair.ReopenFailureCount;
    if (repair.ReopenFailures.size() == KeptReopenFailures) repair.ReopenFailures.pop_front();
    repair.ReopenFailures.push_back(reason);
}

void TLinkLedger::EndRepair(TRepairOutcome outcome, std::optional<std::int32_t> attempts) {
    if (FRepairs.empty() || FRepairs.back().Outcome != roRepairing) return;
    TRepair& repair = FRepairs.back();
    repair.Outcome = outcome;
    if (attempts) repair.Attempts = *attempts;
    repair.DurationMs = SinceStart(TickCount()) - repair.StartMs;
    FLongestRepairMs = std::max(FLongestRepairMs, repair.DurationMs);
    ++(outcome == roRepaired ? FRepaired : FGivenUp);
}

std::uint32_t TLinkLedger::EndTick() const {
    return FClosedTick.value_or(TickCount());
}

std::uint32_t TLinkLedger::GetElapsedMs() const {
    return SinceStart(EndTick());
}

bool TLinkLedger::AccountingCloses(std::size_t buffered) const {
    return FBytesRead + FBytesCarried == FBytesInPackets + FBytesDiscarded + buffered;
}

double TLinkLedger::Rate(std::size_t row) const {
    const std::uint32_t elapsed = GetElapsedMs();
    return elapsed == 0 ? 0 : static_cast<double>(FRows.at(row).Count) * 1000 / elapsed;
}

std::optional<std::uint32_t> TLinkLedger::QuietMs() const {
    if (!FLastMessageTick) return std::nullopt;
    return EndTick() - *FLastMessageTick;
}

std::uint32_t TLinkLedger::GetLongestSilenceMs() const {
    return std::max(FLongestSilenceMs, QuietMs().value_or(0));
}

std::vector<TLinkLedger::TRepair> TLinkLedger::Repairs() const {
    std::vector<TRepair> repairs(FRepairs.begin(), FRepairs.end());
    if (!repairs.empty() && repairs.back().Outcome == roRepairing)
        repairs.back().DurationMs = GetElapsedMs() - repairs.back().StartMs;
    return repairs;
}

std::string TLinkLedger::RowLine(std::size_t row) const {
    const TRow& tally = FRows.at(row);
    std::string line = std::string(RowNames.at(row)) + " count=" + to_string(tally.Count) +
                       " rate=" + EventText::Fixed(Rate(row), 2) + "/s";
    if (tally.Gaps.GetCount() > 0)
        line += " gap median=" + to_string(tally.Gaps.Percentile(50)) +
                " p99=" + to_string(tally.Gaps.Percentile(99)) +
                " largest=" + MsText(tally.Gaps.GetLargest());
    return line;
}

std::string TLinkLedger::RepairLine(const TRepair& repair) const {
    const std::string back =
        repair.MessageAfterMs ? ", first message after " + MsText(*repair.MessageAfterMs) : "";
    return "repair at " + SecondsText(repair.StartMs) + " s: " + OutcomeText(repair.Outcome) + ", " +
           MsText(repair.DurationMs) + ", " + to_string(repair.Attempts) +
           (repair.Attempts == 1 ? " attempt" : " attempts") + back + ReopenFailuresText(repair);
}

std::string TLinkLedger::ReopenFailuresText(const TRepair& repair) {
    if (repair.ReopenFailureCount == 0) return {};
    std::string text = ", " + to_string(repair.ReopenFailureCount) + " reopen" +
                       (repair.ReopenFailureCount == 1 ? "" : "s") + " failed";
    if (repair.ReopenFailureCount > repair.ReopenFailures.size())
        text += " (the last " + to_string(repair.ReopenFailures.size()) + ")";
    for (const std::string& reason : repair.ReopenFailures) text += ": " + reason;
    return text;
}

std::vector<std::string> TLinkLedger::ReportLines(std::size_t buffered) const {
    std::vector<std::string> lines{
        "link quality over " + SecondsText(GetElapsedMs()) + (FStart == lsUserReset ? " s since the reset" : " s since the port opened") +
            (FClosedTick ? ", until it closed" : ""),
        "bytes read=" + to_string(FBytesRead) + " packets=" + to_string(FBytesInPackets) +
            " discarded=" + to_string(FBytesDiscarded) + " buffered=" + to_string(buffered) +
            " carried=" + to_string(FBytesCarried) +
            (AccountingCloses(buffered) ? " (all accounted for)" : " (NOT accounted for)"),
        "frames cut=" + to_string(FPackets),
    };
    for (std::size_t row = 0; row < RowCount; ++row)
        if (row == RejectedRow || FRows.at(row).Count > 0) lines.push_back(RowLine(row));
    const std::optional<std::uint32_t> quiet = QuietMs();
    lines.push_back("silences=" + to_string(FSilences) + " longest=" + MsText(GetLongestSilenceMs()) +
                    " quiet=" + (quiet ? MsText(*quiet) : "(nothing received)"));
    lines.push_back("repairs begun=" + to_string(FSilences) + " repaired=" + to_string(FRepaired) +
                    " givenup=" + to_string(FGivenUp) + " reopenfailures=" + to_string(FReopenFailures) +
                    " longest=" + MsText(FLongestRepairMs));
    for (const TRepair& repair : Repairs())
        lines.push_back(RepairLine(repair));
    return lines;
}
