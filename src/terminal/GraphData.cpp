#include "terminal/GraphData.h"

#include <algorithm>
#include <sstream>

void TGraphData::Add(const std::array<double, SeriesCount>& values) {
    FPoints.push_back({FNextX++, values});
    if (FPoints.size() > MaxPoints) FPoints.pop_front();
}

void TGraphData::Clear() {
    FPoints.clear();
    FNextX = 0;
    ShowPage(0);
}

void TGraphData::ShowPage(std::int64_t page) {
    const std::int64_t lastPage = std::max<std::int64_t>(LastX(), 0) / FPointsPerPage;
    FPage = std::clamp<std::int64_t>(page, 0, lastPage);
    FRange = {FPage * FPointsPerPage, (FPage + 1) * FPointsPerPage};
}

void TGraphData::ShowLastValue() {
    const std::int64_t n = LastX();
    FPage = std::max<std::int64_t>(n, 0) / FPointsPerPage;
    FRange = {n - FPointsPerPage, n};
}

std::deque<TGraphData::TPoint> TGraphData::VisiblePoints(std::size_t limit) const {
    const auto byX = [](const TPoint& point, std::int64_t x) { return point.X < x; };
    const auto first = std::lower_bound(FPoints.begin(), FPoints.end(), FRange.first, byX);
    const auto last = std::lower_bound(first, FPoints.end(), FRange.second + 1, byX);
    const auto count = static_cast<std::size_t>(last - first);
    const std::size_t stride = limit == 0 ? 1 : std::max<std::size_t>(1, (count + limit - 1) / limit);
    std::deque<TPoint> visible;
    for (std::size_t i = 0; i < count; i += stride) visible.push_back(first[static_cast<std::ptrdiff_t>(i)]);
    return visible;
}

std::string TGraphData::CsvText() const {
    std::ostringstream csv;
    csv << "x";
    for (const char* title : Titles) csv << ';' << title;
    csv << "\r\n";
    for (const TPoint& point : FPoints) {
        csv << point.X;
        for (double value : point.Values) csv << ';' << value;
        csv << "\r\n";
    }
    return csv.str();
}
