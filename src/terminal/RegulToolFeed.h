#pragma once

#include <string>
#include <vector>

class TTerminalSession;

// What the device's events write into a regulation tool window.
class TRegulToolView {
public:
    virtual ~TRegulToolView() = default;
    // A new ride: "MemoSpeed", "MemoHeartRegul" and "MemoHeartArray" are emptied.
    virtual void ClearMemos() = 0;
    virtual void AddHeartRegulLine(const std::string& line) = 0;
    virtual void ShowHeartArray(const std::vector<std::string>& lines) = 0;
    virtual void ShowSpeedAndCadenceArrays(const std::vector<std::string>& speed,
                                           const std::vector<std::string>& cadence) = 0;
    virtual void ShowHeartLabel(const std::string& text) = 0;
    virtual void ShowCadenceLabel(const std::string& text) = 0;
    virtual void ShowSpeedLabel(const std::string& text) = 0;
};

// Hands the device's events to every open regulation tool window. A window attaches itself
// when it opens and detaches when it closes, so a closed one is never written to.
class TRegulToolFeed {
public:
    explicit TRegulToolFeed(TTerminalSession& session);
    TRegulToolFeed(const TRegulToolFeed&) = delete;
    TRegulToolFeed& operator=(const TRegulToolFeed&) = delete;

    void Attach(TRegulToolView& view);
    void Detach(TRegulToolView& view);
    std::size_t OpenCount() const { return FViews.size(); }

    static std::string HeartLabel(std::int32_t heartRate);
    static std::string CadenceLabel(std::int32_t cadence);
    static std::string SpeedLabel(long double speed);
    static constexpr const char* HeartLostLine = "Heart conn. lost";
    static constexpr const char* HeartArrayEnd = "-----";
    // Above it the heart label shows the rate.
    static constexpr std::int32_t LowestShownHeartRate = 35;
    // Up to it each message refreshes the arrays.
    static constexpr double HighestArrayVersion = 4.5;

private:
    void HookDevice();
    template <typename Write> void ToEach(Write write);
    std::vector<std::string> HeartArrayLines() const;

    TTerminalSession& FSession;
    std::vector<TRegulToolView*> FViews;
};
