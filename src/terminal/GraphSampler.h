#pragma once

#include "terminal/GraphData.h"

#include <cstdint>
#include <functional>
#include <string>

class TTerminalSession;

// The "Graphics" page without widgets: while "Enable" is checked, every F-th statistics tick
// (F = "Sample Frequency (s):") adds a point of speed, resistance, cadence and heart rate to
// the graph. F of 0 or less adds none.
class TGraphSampler {
public:
    TGraphSampler(TTerminalSession& session, TGraphData& graph);
    TGraphSampler(const TGraphSampler&) = delete;
    TGraphSampler& operator=(const TGraphSampler&) = delete;

    static constexpr std::int64_t MaxPointsPerPage = 100000;

    // "Enable" clicked.
    void SetEnabled(bool enabled);
    bool GetEnabled() const { return FEnabled; }
    // "Sample Frequency (s):" changed: an integer restarts the count, so the next point comes
    // F ticks later; other text changes nothing.
    void SetSampleFrequencyText(const std::string& text);
    std::int32_t GetSampleFrequency() const { return FSampleFrequency; }
    // "Points for Page:" changed: an integer within 1..100000 sets the page; other text (an
    // empty field while typing) changes nothing. False when refused.
    bool SetPointsForPageText(const std::string& text);

    // An edit of one of the two fields ended: whether its text reads as the value in force (else
    // the value was refused), that value as the field shows it, and the words of a refusal.
    enum TField { gfSampleFrequency, gfPointsForPage };
    bool ShowsValueInForce(TField field, const std::string& text) const;
    std::string ValueInForceText(TField field) const;
    static const char* RefusalText(TField field);
    // "Show last Value" on the graphics window.
    bool ShowLastValue = true;

    // One statistics tick.
    void StatsTick();

    // A point was added (the window redraws, batched).
    std::function<void()> OnPointAdded;

private:
    std::int64_t ValueInForce(TField field) const;

    TTerminalSession& FSession;
    TGraphData& FGraph;
    bool FEnabled = false;
    std::int32_t FSampleFrequency = 1;
    std::int32_t FSampleCount = 1;
};
