// What the terminal's text costs: appending a line to the full ring, and painting the view
// offscreen, a whole 800 x 600 frame against the rows that a repaint after ten lines blits in.
// At the line's full rate the terminal takes 87 lines a second and repaints ten times a second.
#include "terminal/TerminalLines.h"
#include "ui/TerminalView.h"

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <benchmark/benchmark.h>

namespace {

// A long-frame infos line as the terminal shows it.
const std::string InfosLine =
    "Rcv>>  F0 01 00 1C 00 7D 02 58 00 F7 mtInfos, Rolls: 1.00000, RollCount: 1234.00000, Dist.: 2.47, HR: 120, Cad: 80";

void AddAtCapacity(benchmark::State& state) {
    TTerminalLines lines;
    for (std::size_t n = 0; n < lines.Capacity(); ++n) lines.Add(InfosLine, true);
    for (auto _ : state) lines.Add(InfosLine, true);
    benchmark::DoNotOptimize(lines.Count());
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(AddAtCapacity);

// Rows 0..range(0)-1 of a full 800 x 600 view, painted into an image as the screen would be.
void PaintRows(benchmark::State& state) {
    TTerminalView view;
    view.resize(800, 600);
    view.show();
    for (int n = 0; n < 1000; ++n) view.AppendLine(InfosLine);
    QApplication::processEvents();
    QImage frame(view.viewport()->size(), QImage::Format_RGB32);
    const int rowHeight = QFontMetrics(TTerminalView::TerminalFont()).lineSpacing();
    const QRegion rows(0, 0, frame.width(), std::min(frame.height(), static_cast<int>(state.range(0)) * rowHeight));
    for (auto _ : state) view.viewport()->render(&frame, QPoint(), rows);
    state.SetLabel(std::to_string(rows.boundingRect().height()) + " px high");
}
BENCHMARK(PaintRows)->Arg(10)->Arg(1000)->Unit(benchmark::kMicrosecond);

}  // namespace
