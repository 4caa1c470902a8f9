#pragma once

#include "terminal/GraphData.h"

#include <QTimer>
#include <QWidget>

#include <array>
#include <memory>

namespace Ui {
class TFrm_Graphic;
}
class QLineSeries;
class QValueAxis;

// "Graphics": speed, resistance, cadence and heart rate against the samples, a page at a time.
// New points are drawn in batches a few times a second, and only the points of the page shown
// (thinned to a bounded count), so a long run costs the same per redraw as a short one.
class TGraphicsForm final : public QWidget {
    Q_OBJECT
public:
    explicit TGraphicsForm(TGraphData& graph, QWidget* parent = nullptr);
    ~TGraphicsForm() override;

    static constexpr int RedrawDelayMs = 250;
    static constexpr std::size_t MaxDrawnPoints = 2000;

    bool ShowLastValue() const;
    // A point was added: a redraw follows within RedrawDelayMs.
    void PointAdded();
    // Draws now (the batch timer's work).
    void Redraw();
    int Redraws() const { return FRedraws; }
    // The points as text, the chart as a picture; the error's text, empty on success.
    QString SaveCsv(const QString& path);
    QString SavePng(const QString& path);

private:
    void BuildChart();
    void ShowPage(std::int64_t page);
    void AskAndSave(const QString& filter, QString (TGraphicsForm::*save)(const QString&));

    std::unique_ptr<Ui::TFrm_Graphic> ui;
    TGraphData& FGraph;
    std::array<QLineSeries*, TGraphData::SeriesCount> FSeries{};
    QValueAxis* FAxisX = nullptr;
    QValueAxis* FAxisY = nullptr;
    QTimer FRedrawTimer;
    int FRedraws = 0;
};
