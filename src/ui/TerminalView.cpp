#include "ui/TerminalView.h"

#include "terminal/TerminalCells.h"
#include "ui/FlatScrollBar.h"

#include <QClipboard>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPrinter>
#include <QScrollBar>

#include <algorithm>
#include <climits>
#include <limits>

namespace {

using TPosition = TTerminalLines::TPosition;

// Each paint of the window costs a round trip to the X server, so lines are shown in batches. A line
// that comes after a pause (a console's ten frames a second do) and at least MinRefreshGapMs after
// the last refresh is shown at once, in the same paint as the labels of its frame; one that comes
// sooner is shown PausedLinesDelayMs after the last refresh, late enough for the next such frame
// to come first and show it. A stream without pauses is shown BurstDelayMs after each refresh.
constexpr int PauseMs = 60;
constexpr int MinRefreshGapMs = 150;
constexpr int PausedLinesDelayMs = 250;
constexpr int BurstDelayMs = 100;
constexpr int DragScrollIntervalMs = 50;
constexpr int TextMargin = 2;
constexpr int CaretWidth = 2;
// The screen's 13 pixels at the 96 pixels per inch they were chosen for.
constexpr qreal PrintPointSize = 13 * 72.0 / 96.0;

// One byte is one character: the terminal's text is ASCII, and a byte outside it becomes its
// Latin-1 character rather than shifting the columns that the caret and the selection count in.
QString CellText(const std::string& text, std::size_t from, std::size_t count) {
    if (from >= text.size()) return {};
    count = std::min(count, text.size() - from);
    return QString::fromLatin1(text.data() + from, static_cast<qsizetype>(count));
}

}  // namespace

TTerminalView::TTerminalView(QWidget* parent) : QAbstractScrollArea(parent), FFont(TerminalFont()) {
    const QFontMetricsF metrics(FFont);
    FLineHeight = std::max(1, static_cast<int>(std::ceil(metrics.lineSpacing())));
    FAscent = static_cast<int>(std::ceil(metrics.ascent()));
    FCharWidth = metrics.horizontalAdvance(QLatin1Char('M'));
    FRawFont = QRawFont::fromFont(FFont);
    QString everyByte(256, QChar());
    for (int byte = 0; byte < 256; ++byte) everyByte[byte] = QChar(byte);
    const QList<quint32> glyphs = FRawFont.glyphIndexesForString(everyByte);
    std::copy_n(glyphs.begin(), std::min<qsizetype>(glyphs.size(), 256), FGlyphOfByte.begin());
    setVerticalScrollBar(new TFlatScrollBar(Qt::Vertical, this));
    setHorizontalScrollBar(new TFlatScrollBar(Qt::Horizontal, this));
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* corner = new QWidget(this);
    corner->setAutoFillBackground(true);
    QPalette cornerPalette = corner->palette();
    cornerPalette.setColor(QPalette::Window, TFlatScrollBar::GrooveColor());
    corner->setPalette(cornerPalette);
    setCornerWidget(corner);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    // The view paints every pixel itself; nothing needs erasing first.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    FRepaintTimer.setSingleShot(true);
    connect(&FRepaintTimer, &QTimer::timeout, this, &TTerminalView::RefreshAfterLines);
    FDragScrollTimer.setInterval(DragScrollIntervalMs);
    connect(&FDragScrollTimer, &QTimer::timeout, this, [this] { MoveCaret(PositionAt(FDragPoint), true); });
    SyncScrollBars();
}

QFont TTerminalView::TerminalFont() {
    QFont font(QStringLiteral("Courier New"));
    font.setPixelSize(13);
    font.setBold(true);
    font.setFixedPitch(true);
    font.setStyleHint(QFont::Monospace);
    return font;
}

// ---- lines ------------------------------------------------------------------------------------

void TTerminalView::AppendLine(const std::string& line) {
    const TPosition caret = FLines.Caret();
    const TAbsolutePosition caretText = Absolute(caret);
    const TAbsolutePosition anchorText = Absolute(FLines.Anchor());
    FLines.Add(line, FFollow);
    const bool afterAPause = !FSinceLine.isValid() || FSinceLine.elapsed() >= PauseMs;
    FSinceLine.start();
    if (afterAPause && MsSinceRefresh() >= MinRefreshGapMs) {
        RefreshAfterLines();
    } else {
        ScheduleRefresh(afterAPause ? PausedLinesDelayMs : BurstDelayMs);
    }
    emit TextChanged();
    // A caret that stays on its text still changes line number when the oldest line goes.
    if (FLines.Caret() != caret || Absolute(FLines.Caret()) != caretText || Absolute(FLines.Anchor()) != anchorText)
        ReportCaret();
}

// With "WriteToMemo" unchecked every line follows a clear: the view is repainted with that line,
// not twice.
void TTerminalView::ClearLines() {
    FLines.Clear();
    FTopLine = 0;
    FLeftCell = 0;
    FPaintedEnd = 0;
    FShownCaret = FShownAnchor = TAbsolutePosition{};
    FScreenStale = true;
    ScheduleRefresh(BurstDelayMs);
    emit TextChanged();
    ReportCaret();
}

void TTerminalView::SetFollowEntries(bool follow) { FFollow = follow; }

// ---- selection, copy, find ----------------------------------------------------------------------

void TTerminalView::SelectAll() {
    FLines.SelectAll();
    ShowCaretAndReport();
}

void TTerminalView::CopySelection() {
    if (!FLines.HasSelection()) return;
    const std::string text = FLines.SelectedText();
    QGuiApplication::clipboard()->setText(CellText(text, 0, text.size()));
    FLines.ReleaseSelection();
}

bool TTerminalView::FindNext(const std::string& what) {
    if (!FLines.FindNext(what)) return false;
    ShowCaretAndReport();
    return true;
}

void TTerminalView::MoveCaretToStart() {
    FLines.SetCaret(TPosition{}, false);
    Show(FLines.DroppedCount(), 0);
    ReportCaret();
}

// ---- geometry ------------------------------------------------------------------------------------

TTerminalView::TAbsolutePosition TTerminalView::Absolute(TPosition position) const {
    return TAbsolutePosition{FLines.DroppedCount() + static_cast<std::uint64_t>(position.Line), position.Column};
}

std::uint64_t TTerminalView::EndLine() const { return FLines.DroppedCount() + FLines.Count(); }

std::uint64_t TTerminalView::BottomTopLine() const {
    const auto rows = static_cast<std::size_t>(FullRows());
    return FLines.DroppedCount() + (FLines.Count() > rows ? FLines.Count() - rows : 0);
}

int TTerminalView::FullRows() const { return std::max(1, viewport()->height() / FLineHeight); }

int TTerminalView::FullColumns() const {
    return std::max(1, static_cast<int>((viewport()->width() - TextMargin) / FCharWidth));
}

// One cell more than the longest line, so the caret after its last character can be seen.
int TTerminalView::MaxLeftCell() const {
    return std::max(0, static_cast<int>(FLines.LongestLineLength()) + 1 - FullColumns());
}

qreal TTerminalView::CellX(int cell) const { return TextMargin + (cell - FLeftCell) * FCharWidth; }

int TTerminalView::CaretCell() const {
    if (FLines.Count() == 0) return 0;
    return TerminalCells::CellOf(FLines.Line(FLines.Caret().Line), FLines.Caret().Column);
}

TPosition TTerminalView::PositionAt(QPoint point) const {
    // Rows above the first one held land on it, rows below the last one on that.
    const std::int64_t held = static_cast<std::int64_t>(FLines.Count());
    if (held == 0) return TPosition{};
    const std::int64_t row = (point.y() >= 0 ? point.y() / FLineHeight : -1) + static_cast<std::int64_t>(FTopLine);
    const std::int64_t index = std::clamp<std::int64_t>(row - static_cast<std::int64_t>(FLines.DroppedCount()), 0, held - 1);
    const int cell = std::max(0, static_cast<int>(std::round((point.x() - TextMargin) / FCharWidth)) + FLeftCell);
    const auto line = static_cast<std::int32_t>(index);
    return TPosition{line, TerminalCells::ColumnAt(FLines.Line(index), cell)};
}

// ---- keeping the screen up to date -------------------------------------------------------------

qint64 TTerminalView::MsSinceRefresh() const {
    return FSinceRefresh.isValid() ? FSinceRefresh.elapsed() : std::numeric_limits<qint64>::max();
}

void TTerminalView::ScheduleRefresh(int delayMs) {
    if (FRepaintTimer.isActive()) return;
    FRepaintTimer.start(static_cast<int>(std::clamp<qint64>(delayMs - MsSinceRefresh(), 0, delayMs)));
}

void TTerminalView::RefreshAfterLines() {
    // Followed lines are shown from column 1: a view left scrolled right by a long line would
    // show the short new ones as an empty screen.
    const bool following = FFollow && EndLine() != FPaintedEnd;
    Show(following ? BottomTopLine() : FTopLine, following ? 0 : FLeftCell);
}

// Brings the view to the given top line and left column (clamped to the text held) and asks for
// the paint of what changed on screen only: rows moved by a blit, new lines, the caret's rows.
void TTerminalView::Show(std::uint64_t topLine, int leftCell) {
    FRepaintTimer.stop();
    FSinceRefresh.start();
    if (FScreenStale) viewport()->update();
    FScreenStale = false;
    ScrollTo(std::clamp(topLine, FLines.DroppedCount(), BottomTopLine()), std::clamp(leftCell, 0, MaxLeftCell()));
    SyncScrollBars();
    UpdateLines(FPaintedEnd, EndLine());
    FPaintedEnd = EndLine();
    UpdateCaretAndSelection();
}

void TTerminalView::SyncScrollBars() {
    FSyncingScrollBars = true;
    const int rows = FullRows();
    verticalScrollBar()->setRange(0, static_cast<int>(BottomTopLine() - FLines.DroppedCount()));
    verticalScrollBar()->setPageStep(rows);
    verticalScrollBar()->setValue(static_cast<int>(std::max(FTopLine, FLines.DroppedCount()) - FLines.DroppedCount()));
    horizontalScrollBar()->setRange(0, MaxLeftCell());
    horizontalScrollBar()->setPageStep(FullColumns());
    horizontalScrollBar()->setValue(FLeftCell);
    FSyncingScrollBars = false;
}

// The user moves from what is shown: lines that left since the last refresh must not add a jump.
void TTerminalView::scrollContentsBy(int dx, int dy) {
    if (FSyncingScrollBars) return;
    const std::int64_t top = std::clamp(static_cast<std::int64_t>(FTopLine) - dy,
                                        static_cast<std::int64_t>(FLines.DroppedCount()),
                                        static_cast<std::int64_t>(BottomTopLine()));
    ScrollTo(static_cast<std::uint64_t>(top), std::clamp(FLeftCell - dx, 0, MaxLeftCell()));
}

// Rows still on screen after a vertical move are blitted; a horizontal move (rare, by the user)
// repaints the view, as the blit would carry the margin along.
void TTerminalView::ScrollTo(std::uint64_t topLine, int leftCell) {
    const std::int64_t rows = static_cast<std::int64_t>(FTopLine) - static_cast<std::int64_t>(topLine);
    const bool sideways = leftCell != FLeftCell;
    FTopLine = topLine;
    FLeftCell = leftCell;
    if (sideways || std::abs(rows) > FullRows()) viewport()->update();
    else if (rows != 0) viewport()->scroll(0, static_cast<int>(rows) * FLineHeight);
}

void TTerminalView::UpdateLines(std::uint64_t first, std::uint64_t end) {
    const std::uint64_t visibleEnd = FTopLine + static_cast<std::uint64_t>(FullRows()) + 1;
    first = std::max(first, FTopLine);
    end = std::min(end, visibleEnd);
    if (first >= end) return;
    const int top = static_cast<int>(first - FTopLine) * FLineHeight;
    viewport()->update(0, top, viewport()->width(), static_cast<int>(end - first) * FLineHeight);
}

// Only the rows between the old and the new ends of the selection can look different.
void TTerminalView::UpdateCaretAndSelection() {
    const TAbsolutePosition caret = Absolute(FLines.Caret());
    const TAbsolutePosition anchor = Absolute(FLines.Anchor());
    if (caret == FShownCaret && anchor == FShownAnchor) return;
    if (caret == anchor && FShownCaret == FShownAnchor) {
        UpdateLines(FShownCaret.Line, FShownCaret.Line + 1);
        UpdateLines(caret.Line, caret.Line + 1);
    } else {
        const auto [first, last] = std::minmax({caret.Line, anchor.Line, FShownCaret.Line, FShownAnchor.Line});
        UpdateLines(first, last + 1);
    }
    FShownCaret = caret;
    FShownAnchor = anchor;
}

// ---- caret movement ------------------------------------------------------------------------------

void TTerminalView::MoveCaret(TPosition position, bool extend) {
    FLines.SetCaret(position, extend);
    ShowCaretAndReport();
}

void TTerminalView::ShowCaretAndReport() {
    const TAbsolutePosition caret = Absolute(FLines.Caret());
    std::uint64_t top = FTopLine;
    if (caret.Line < top) top = caret.Line;
    else if (caret.Line >= top + static_cast<std::uint64_t>(FullRows())) top = caret.Line + 1 - FullRows();
    const int cell = CaretCell();
    int left = FLeftCell;
    if (cell < left) left = cell;
    else if (cell >= left + FullColumns()) left = cell + 1 - FullColumns();
    Show(top, left);
    ReportCaret();
}

void TTerminalView::ReportCaret() {
    emit SelectionChanged();
}

void TTerminalView::keyPressEvent(QKeyEvent* event) {
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    const bool wholeText = event->modifiers() & Qt::ControlModifier;
    const TPosition caret = FLines.Caret();
    const bool lastLine = static_cast<std::size_t>(caret.Line) + 1 >= FLines.Count();
    const bool endOfLine = FLines.Count() == 0 || static_cast<std::size_t>(caret.Column) >= FLines.Line(caret.Line).size();
    TPosition target = caret;
    switch (event->key()) {
    case Qt::Key_Left:
        target = caret.Column > 0 || caret.Line == 0 ? TPosition{caret.Line, caret.Column - 1}
                                                     : TPosition{caret.Line - 1, INT_MAX};
        break;
    case Qt::Key_Right:
        target = endOfLine && !lastLine ? TPosition{caret.Line + 1, 0} : TPosition{caret.Line, caret.Column + 1};
        break;
    case Qt::Key_Up: target.Line -= 1; break;
    case Qt::Key_Down: target.Line += 1; break;
    case Qt::Key_PageUp: target.Line -= FullRows(); break;
    case Qt::Key_PageDown: target.Line += FullRows(); break;
    case Qt::Key_Home: target = wholeText ? TPosition{} : TPosition{caret.Line, 0}; break;
    case Qt::Key_End: target = TPosition{wholeText ? INT_MAX : caret.Line, INT_MAX}; break;
    default: QAbstractScrollArea::keyPressEvent(event); return;
    }
    MoveCaret(target, extend);
}

void TTerminalView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QAbstractScrollArea::mousePressEvent(event);
    MoveCaret(PositionAt(event->position().toPoint()), event->modifiers() & Qt::ShiftModifier);
}

void TTerminalView::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton)) return QAbstractScrollArea::mouseMoveEvent(event);
    FDragPoint = event->position().toPoint();
    MoveCaret(PositionAt(FDragPoint), true);
    if (viewport()->rect().contains(FDragPoint)) FDragScrollTimer.stop();
    else if (!FDragScrollTimer.isActive()) FDragScrollTimer.start();
}

void TTerminalView::mouseReleaseEvent(QMouseEvent* event) {
    FDragScrollTimer.stop();
    QAbstractScrollArea::mouseReleaseEvent(event);
}

void TTerminalView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QAbstractScrollArea::mouseDoubleClickEvent(event);
    FLines.SelectWord(PositionAt(event->position().toPoint()));
    ShowCaretAndReport();
}

void TTerminalView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    UpdateLines(FShownCaret.Line, FShownCaret.Line + 1);
}

void TTerminalView::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    UpdateLines(FShownCaret.Line, FShownCaret.Line + 1);
}

void TTerminalView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    Show(FFollow ? BottomTopLine() : FTopLine, FLeftCell);
}

// ---- painting --------------------------------------------------------------------------------------

void TTerminalView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const QRect area = event->rect();
    painter.fillRect(area, Qt::black);
    painter.setFont(FFont);
    const int firstRow = area.top() / FLineHeight;
    const int lastRow = area.bottom() / FLineHeight;
    for (int row = firstRow; row <= lastRow; ++row) {
        const std::uint64_t line = FTopLine + static_cast<std::uint64_t>(row);
        if (line < FLines.DroppedCount() || line >= EndLine()) continue;
        PaintLine(painter, static_cast<std::size_t>(line - FLines.DroppedCount()), row * FLineHeight);
    }
}

void TTerminalView::PaintLine(QPainter& painter, std::size_t index, int y) {
    const std::string& line = FLines.Line(index);
    const auto row = static_cast<std::int32_t>(index);
    const TPosition start = FLines.SelectionStart();
    const TPosition end = FLines.SelectionEnd();
    if (FLines.HasSelection() && start.Line <= row && row <= end.Line) {
        const int from = row == start.Line ? TerminalCells::CellOf(line, start.Column) : 0;
        // A selected line break shows as one selected cell after the line.
        const int to = row == end.Line ? TerminalCells::CellOf(line, end.Column) : TerminalCells::Width(line) + 1;
        painter.fillRect(QRectF(CellX(from), y, (to - from) * FCharWidth, FLineHeight), palette().highlight());
    }
    painter.setPen(Qt::white);
    DrawCells(painter, line, y);
    if (hasFocus() && FLines.Caret().Line == row)
        painter.fillRect(QRectF(CellX(CaretCell()), y, CaretWidth, FLineHeight), Qt::white);
}

// The glyphs of a monospace cell grid need no shaping: each byte's glyph is looked up once and
// placed at its cell, which paints a row several times faster than laying out its text.
void TTerminalView::DrawCells(QPainter& painter, const std::string& line, int y) {
    const int right = FLeftCell + FullColumns() + 1;
    FRowGlyphs.clear();
    FCellPositions.clear();
    int cell = 0;
    for (std::size_t index = 0; index < line.size() && cell < right; ++index) {
        const char byte = line[index];
        // Blanks leave their cells black: nothing to draw.
        if (byte != '\t' && byte != ' ' && cell >= FLeftCell) {
            FRowGlyphs.push_back(FGlyphOfByte[static_cast<std::uint8_t>(byte)]);
            FCellPositions.emplace_back((cell - FLeftCell) * FCharWidth, 0);
        }
        cell = TerminalCells::NextCell(byte, cell);
    }
    if (FRowGlyphs.empty()) return;
    QGlyphRun run;
    run.setRawFont(FRawFont);
    run.setRawData(FRowGlyphs.data(), FCellPositions.data(), static_cast<int>(FRowGlyphs.size()));
    painter.drawGlyphRun(QPointF(TextMargin, y + FAscent), run);
}

// ---- printing ----------------------------------------------------------------------------------------

// Long lines are wrapped rather than clipped: a printed record loses nothing of its line.
void TTerminalView::Print(QPrinter& printer) const {
    printer.setDocName(QString());
    QPainter painter;
    if (!painter.begin(&printer)) return;
    QFont font = TerminalFont();
    font.setPointSizeF(PrintPointSize);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const QFontMetricsF metrics(font, &printer);
    const qreal lineHeight = metrics.lineSpacing();
    const qreal pageHeight = painter.viewport().height();
    const auto columns = static_cast<std::size_t>(
        std::max(1.0, std::floor(painter.viewport().width() / metrics.horizontalAdvance(QLatin1Char('M')))));
    qreal y = 0;
    for (std::size_t index = 0; index < FLines.Count(); ++index) {
        const std::string line = TerminalCells::Expanded(FLines.Line(index));
        for (std::size_t from = 0; from == 0 || from < line.size(); from += columns) {
            if (y > 0 && y + lineHeight > pageHeight) {
                printer.newPage();
                y = 0;
            }
            painter.drawText(QPointF(0, y + metrics.ascent()), CellText(line, from, columns));
            y += lineHeight;
        }
    }
    painter.end();
}
