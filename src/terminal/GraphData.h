#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <utility>

// The four series of the graphics window, one point per sample, with the window's paging.
// x counts the samples from 0. The store is bounded: past MaxPoints samples (about 28 hours at
// one point a second) the oldest points go, so a long run keeps its memory and its redraw time.
class TGraphData {
public:
    enum TSeries { gsSpeed, gsResistance, gsCadence, gsHeartRate };
    static constexpr std::size_t SeriesCount = 4;
    static constexpr std::array<const char*, SeriesCount> Titles{"Velocita", "Resistenza", "Cadenza", "FC"};
    static constexpr std::size_t MaxPoints = 100000;

    struct TPoint {
        std::int64_t X = 0;
        std::array<double, SeriesCount> Values{};
    };

    void Add(const std::array<double, SeriesCount>& values);
    void Clear();
    std::size_t Count() const { return FPoints.size(); }
    // x of the newest point, -1 when there is none.
    std::int64_t LastX() const { return FNextX - 1; }
    const std::deque<TPoint>& Points() const { return FPoints; }

    // ---- Paging ----
    void SetPointsPerPage(std::int64_t points) { FPointsPerPage = points; }
    std::int64_t GetPointsPerPage() const { return FPointsPerPage; }
    std::int64_t GetPage() const { return FPage; }
    void ShowPage(std::int64_t page);
    void NextPage() { ShowPage(FPage + 1); }
    void PreviousPage() { ShowPage(FPage - 1); }
    // "Show last Value": the axis runs from n - points per page to n, n the newest x.
    void ShowLastValue();
    // The bottom axis's range.
    std::pair<std::int64_t, std::int64_t> Range() const { return FRange; }
    // The points whose x lies in the range, at most `limit` of them (evenly thinned).
    std::deque<TPoint> VisiblePoints(std::size_t limit) const;

    // "x;Velocita;Resistenza;Cadenza;FC" and one line per point.
    std::string CsvText() const;

private:
    std::deque<TPoint> FPoints;
    std::int64_t FNextX = 0;
    std::int64_t FPointsPerPage = 60;
    std::int64_t FPage = 0;
    std::pair<std::int64_t, std::int64_t> FRange{0, 60};
};
