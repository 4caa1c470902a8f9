#pragma once

#include "terminal/TerminalLines.h"

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QFont>
#include <QPoint>
#include <QPointF>
#include <QRawFont>
#include <QTimer>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class QPrinter;

// The terminal `Memo`: a read-only view over a TTerminalLines ring that paints only the visible
// rows. While lines arrive it repaints a few times a second, and rows that scroll in are moved by
// blitting the viewport.
// Black background, white bold monospace of 13-pixel height, both scroll bars, no wrapping.
class TTerminalView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit TTerminalView(QWidget* parent = nullptr);

    // For reading the text and its selection. Lines go in through AppendLine and ClearLines,
    // and the caret through the view's own calls, so that the screen and the signals follow.
    TTerminalLines& Lines() { return FLines; }
    const TTerminalLines& Lines() const { return FLines; }

    void AppendLine(const std::string& line);
    void ClearLines();

    // "Follow entries": on, each new line moves the caret to it and scrolls it into view; off,
    // a new line moves neither the view, the caret nor the selection.
    void SetFollowEntries(bool follow);
    bool FollowEntries() const { return FFollow; }

    void SelectAll();
    // Copies the selection to the clipboard; nothing when it is empty. A followed line may
    // clear the selection from then on.
    void CopySelection();
    // Downward, case-sensitive find from the end of the selection; selects and shows the match.
    bool FindNext(const std::string& what);
    // Caret to the start of the text, empty selection, view at the top.
    void MoveCaretToStart();

    // Lays the text out in lines and pages in the terminal's font (black on white). A printer
    // that cannot start is left in QPrinter::Error for the caller to report.
    void Print(QPrinter& printer) const;

    // The terminal's font: bold monospace ("Courier New", Liberation Mono standing in) of 13 px.
    static QFont TerminalFont();

signals:
    // The selection or the caret changed (by the user or by a new line).
    void SelectionChanged();
    // Lines were added or cleared.
    void TextChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // A position counted from the first line ever added since the last clear: the text at an
    // absolute line never changes, so what is on screen is known without repainting it.
    struct TAbsolutePosition {
        std::uint64_t Line = 0;
        std::int32_t Column = 0;
        friend bool operator==(const TAbsolutePosition&, const TAbsolutePosition&) = default;
    };

    TAbsolutePosition Absolute(TTerminalLines::TPosition position) const;
    std::uint64_t EndLine() const;
    std::uint64_t BottomTopLine() const;
    int FullRows() const;
    int FullColumns() const;
    int MaxLeftCell() const;
    qreal CellX(int cell) const;
    int CaretCell() const;
    TTerminalLines::TPosition PositionAt(QPoint point) const;

    // Since the last refresh; the longest time when there was none.
    qint64 MsSinceRefresh() const;
    // Shows the lines `delayMs` after the last refresh, unless a refresh is already due.
    void ScheduleRefresh(int delayMs);
    void RefreshAfterLines();
    void Show(std::uint64_t topLine, int leftCell);
    void SyncScrollBars();
    void ScrollTo(std::uint64_t topLine, int leftCell);
    void UpdateLines(std::uint64_t first, std::uint64_t end);
    void UpdateCaretAndSelection();
    void MoveCaret(TTerminalLines::TPosition position, bool extend);
    void ShowCaretAndReport();
    void ReportCaret();
    void PaintLine(QPainter& painter, std::size_t index, int y);
    void DrawCells(QPainter& painter, const std::string& line, int y);

    TTerminalLines FLines;
    bool FFollow = true;
    QTimer FRepaintTimer;
    QElapsedTimer FSinceRefresh;
    QElapsedTimer FSinceLine;
    // While a drag holds the mouse outside the rows, the selection goes on growing.
    QTimer FDragScrollTimer;
    QPoint FDragPoint;
    QFont FFont;
    int FLineHeight = 1;
    int FAscent = 0;
    qreal FCharWidth = 1;
    QRawFont FRawFont;
    std::array<quint32, 256> FGlyphOfByte{};
    std::vector<quint32> FRowGlyphs;
    std::vector<QPointF> FCellPositions;
    std::uint64_t FTopLine = 0;
    int FLeftCell = 0;
    std::uint64_t FPaintedEnd = 0;
    TAbsolutePosition FShownCaret;
    TAbsolutePosition FShownAnchor;
    bool FSyncingScrollBars = false;
    // The text changed under what the screen shows (cleared): the next refresh repaints it all.
    bool FScreenStale = false;
};
