// What the graphics window costs on a long run: a full store (the bound, over a day at one point
// a second), redrawn and painted with a page of range(0) points. The store's size is the label.
#include "terminal/GraphData.h"
#include "ui/GraphicsForm.h"

#include <QChartView>
#include <QImage>
#include <benchmark/benchmark.h>

#include <cmath>

namespace {

void FillStore(TGraphData& graph) {
    for (std::size_t n = 0; n < TGraphData::MaxPoints; ++n) {
        const double phase = static_cast<double>(n) / 600;
        graph.Add({20 + 5 * std::sin(phase), std::fmod(static_cast<double>(n), 255.0), 80 + 10 * std::cos(phase), 130});
    }
}

void RedrawAndPaint(benchmark::State& state) {
    TGraphData graph;
    TGraphicsForm form(graph);
    form.resize(800, 600);
    form.show();
    FillStore(graph);
    graph.SetPointsPerPage(state.range(0));
    graph.ShowLastValue();
    auto* chart = form.findChild<QChartView*>(QStringLiteral("Graph"));
    QImage frame(chart->size(), QImage::Format_RGB32);
    for (auto _ : state) {
        form.Redraw();
        static_cast<QWidget*>(chart)->render(&frame);
    }
    state.SetLabel(std::to_string(graph.Count() * sizeof(TGraphData::TPoint) / 1024) + " KiB of points stored");
}
BENCHMARK(RedrawAndPaint)->Arg(60)->Arg(3600)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace
