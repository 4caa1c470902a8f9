#include "ui/TerminalView.h"

#include "device_link/ServeUntil.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QPrinter>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QWindow>
#include <gmock/gmock.h>

namespace {

using TPosition = TTerminalLines::TPosition;

class TerminalViewTest : public testing::Test {
protected:
    TerminalViewTest() {
        view.resize(800, 600);
        view.show();
    }

    // The caret's line and column, counted from 1 as the status bar shows them.
    int CaretLine() const { return view.Lines().Caret().Line + 1; }
    int CaretColumn() const { return view.Lines().Caret().Column + 1; }

    void AppendNumbered(int first, int count) {
        for (int n = first; n < first + count; ++n) view.AppendLine("line " + std::to_string(n));
    }

    QScrollBar& Vertical() { return *view.verticalScrollBar(); }

    // New lines reach the screen with the view's next repaint.
    void WaitForTopLine(int value) { ASSERT_TRUE(ServeUntil([&] { return Vertical().value() == value; })); }

    void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QKeyEvent event(QEvent::KeyPress, key, modifiers);
        QCoreApplication::sendEvent(&view, &event);
    }

    void Click(int row, int column, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        const QFontMetrics metrics(TTerminalView::TerminalFont());
        const QPointF point(2 + column * metrics.horizontalAdvance('M'), (row + 0.5) * metrics.lineSpacing());
        QMouseEvent event(QEvent::MouseButtonPress, point, view.viewport()->mapToGlobal(point), Qt::LeftButton,
                          Qt::LeftButton, modifiers);
        QCoreApplication::sendEvent(view.viewport(), &event);
    }

    TTerminalView view;
};

TEST_F(TerminalViewTest, KeepsTheNewestThousandLinesAndFollowsTheLast) {
    AppendNumbered(0, 1500);
    EXPECT_EQ(view.Lines().Count(), 1000u);
    EXPECT_EQ(view.Lines().Line(0), "line 500");
    EXPECT_EQ(CaretLine(), 1000);
    EXPECT_EQ(CaretColumn(), 10);
    ASSERT_TRUE(ServeUntil([&] { return Vertical().maximum() > 0; }));
    EXPECT_EQ(Vertical().value(), Vertical().maximum());
    EXPECT_EQ(Vertical().maximum() + Vertical().pageStep(), 1000);
}

TEST_F(TerminalViewTest, WithoutFollowNewLinesMoveNeitherTheTextShownNorTheSelection) {
    AppendNumbered(0, 1000);
    view.SetFollowEntries(false);
    ASSERT_TRUE(ServeUntil([&] { return Vertical().maximum() > 0; }));
    Vertical().setValue(300);
    Click(2, 1);
    Click(4, 3, Qt::ShiftModifier);
    ASSERT_EQ(view.Lines().SelectedText(), "ine 302\nline 303\nlin");

    AppendNumbered(1000, 10);
    WaitForTopLine(290);
    EXPECT_EQ(view.Lines().Line(290), "line 300");
    EXPECT_EQ(view.Lines().SelectedText(), "ine 302\nline 303\nlin");
    EXPECT_EQ(CaretLine(), 295);
}

TEST_F(TerminalViewTest, CopyPutsTheKeyboardSelectionOnTheClipboard) {
    AppendNumbered(0, 3);
    QGuiApplication::clipboard()->setText("before");
    view.CopySelection();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "before");

    Press(Qt::Key_Home, Qt::ControlModifier);
    Press(Qt::Key_Down, Qt::ShiftModifier);
    Press(Qt::Key_End, Qt::ShiftModifier);
    EXPECT_EQ(CaretLine(), 2);
    EXPECT_EQ(CaretColumn(), 7);
    view.CopySelection();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "line 0\nline 1");
}

// At the line's full rate (87 long frames a second) lines keep arriving between Ctrl+A and Ctrl+C.
TEST_F(TerminalViewTest, ASelectionHoldsWhileFollowedLinesArriveUntilItIsCopied) {
    AppendNumbered(0, 20);
    view.SelectAll();
    int next = 20;
    QTimer line;
    QObject::connect(&line, &QTimer::timeout, [&] { AppendNumbered(next++, 1); });
    line.start(1000 / 87);
    ASSERT_TRUE(ServeUntil([&] { return next >= 20 + 87; }));
    view.CopySelection();
    line.stop();
    EXPECT_EQ(QGuiApplication::clipboard()->text().count('\n'), 19);
    EXPECT_TRUE(QGuiApplication::clipboard()->text().endsWith("line 19"));

    AppendNumbered(next, 1);
    EXPECT_FALSE(view.Lines().HasSelection());
    EXPECT_EQ(CaretLine(), next + 1);
}

TEST_F(TerminalViewTest, FollowedLinesBringTheViewBackToTheFirstColumn) {
    view.AppendLine(std::string(500, 'x'));
    QScrollBar& horizontal = *view.horizontalScrollBar();
    ASSERT_TRUE(ServeUntil([&] { return horizontal.maximum() > 0; }));
    horizontal.setValue(horizontal.maximum());
    AppendNumbered(0, 1);
    ASSERT_TRUE(ServeUntil([&] { return horizontal.value() == 0; }));
}

// Records what the viewport is asked to paint.
class TPaintedArea : public QObject {
public:
    QRegion Area;
    int Paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::Paint) return false;
        Area += static_cast<QPaintEvent*>(event)->region();
        ++Paints;
        return false;
    }
};

// New rows are blitted in: only they are painted, and the screen equals a full paint.
TEST_F(TerminalViewTest, RowsScrolledInByBlitLookLikeAFullPaint) {
    AppendNumbered(0, 100);
    ASSERT_TRUE(ServeUntil([&] { return Vertical().maximum() > 0; }));
    QApplication::processEvents();
    const int top = Vertical().value();
    TPaintedArea painted;
    view.viewport()->installEventFilter(&painted);
    AppendNumbered(100, 7);
    WaitForTopLine(top + 7);
    QApplication::processEvents();
    const int rowHeight = QFontMetrics(TTerminalView::TerminalFont()).lineSpacing();
    EXPECT_LE(painted.Area.boundingRect().height(), 9 * rowHeight);
    const QRect area(view.viewport()->mapTo(&view, QPoint()), view.viewport()->size());
    const QImage onScreen =
        view.screen()->grabWindow(view.window()->windowHandle()->winId(), area.x(), area.y(), area.width(),
                                  area.height()).toImage().convertToFormat(QImage::Format_RGB32);
    const QImage fullPaint = view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_TRUE(onScreen == fullPaint);
}

// A line after a quiet spell is scrolled in at once, so that it is painted with whatever else its
// frame changed; the lines of a burst behind it wait for the next refresh.
TEST_F(TerminalViewTest, ALineAfterAQuietSpellShowsAtOnce_ABurstWaitsForTheNextRefresh) {
    AppendNumbered(0, 100);
    ASSERT_TRUE(ServeUntil([&] { return Vertical().maximum() > 0; }));
    const int top = Vertical().value();
    QElapsedTimer quiet;
    quiet.start();
    ASSERT_TRUE(ServeUntil([&] { return quiet.elapsed() >= 150; }));
    AppendNumbered(100, 1);
    EXPECT_EQ(Vertical().value(), top + 1);
    AppendNumbered(101, 3);
    EXPECT_EQ(Vertical().value(), top + 1);
    WaitForTopLine(top + 4);
}

// "WriteToMemo" unchecked: each line arrives after a clear, in its own pass of the event loop.
TEST_F(TerminalViewTest, LinesAfterClearsArePaintedOnceABatch) {
    AppendNumbered(0, 100);
    ASSERT_TRUE(ServeUntil([&] { return Vertical().maximum() > 0; }));
    QApplication::processEvents();
    TPaintedArea painted;
    view.viewport()->installEventFilter(&painted);
    for (int n = 0; n < 7; ++n) {
        view.ClearLines();
        AppendNumbered(n, 1);
        QApplication::processEvents();
    }
    ASSERT_TRUE(ServeUntil([&] { return painted.Paints > 0; }));
    QApplication::processEvents();
    EXPECT_EQ(painted.Paints, 1);
    EXPECT_EQ(Vertical().maximum(), 0);
}

TEST_F(TerminalViewTest, PrintsAThousandLinesOnSeveralPages) {
    AppendNumbered(0, 1000);
    QTemporaryDir folder;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(folder.filePath("terminal.pdf"));
    view.Print(printer);
    EXPECT_NE(printer.printerState(), QPrinter::Error);

    QFile pdf(folder.filePath("terminal.pdf"));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    const QByteArray content = pdf.readAll();
    const auto pages = content.count("/Type /Page\n") + content.count("/Type /Page\r") +
                       content.count("/Type /Page/") + content.count("/Type /Page>");
    EXPECT_GT(pages, 1);
}

TEST_F(TerminalViewTest, PrintToAFolderThatDoesNotExistLeavesThePrinterInError) {
    AppendNumbered(0, 3);
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName("/nonexistent-folder/terminal.pdf");
    view.Print(printer);
    EXPECT_EQ(printer.printerState(), QPrinter::Error);
}

}  // namespace
