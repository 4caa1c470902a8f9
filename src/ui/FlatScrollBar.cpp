#include "ui/FlatScrollBar.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionSlider>

namespace {
constexpr int HandleMargin = 3;
const QColor HandleColor(0x70, 0x70, 0x70);
const QColor HoveredHandleColor(0x90, 0x90, 0x90);

// The geometry (no arrow buttons, a handle of at least 24 pixels) is the style's, so that the
// clicks and drags of QScrollBar land where the handle is painted.
constexpr const char* FlatGeometry =
    "QScrollBar { border: none; }"
    "QScrollBar:vertical { width: 14px; } QScrollBar:horizontal { height: 14px; }"
    "QScrollBar::handle:vertical { min-height: 24px; } QScrollBar::handle:horizontal { min-width: 24px; }"
    "QScrollBar::add-line, QScrollBar::sub-line { width: 0px; height: 0px; border: none; }";
}  // namespace

TFlatScrollBar::TFlatScrollBar(Qt::Orientation orientation, QWidget* parent) : QScrollBar(orientation, parent) {
    setStyleSheet(QString::fromLatin1(FlatGeometry));
    setAttribute(Qt::WA_OpaquePaintEvent);
    // The handle lights up under the pointer, not the whole bar.
    setMouseTracking(true);
}

QColor TFlatScrollBar::GrooveColor() { return {0x20, 0x20, 0x20}; }

QRect TFlatScrollBar::HandleRect() const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect handle = style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
    return handle.adjusted(HandleMargin, HandleMargin, -HandleMargin, -HandleMargin);
}

void TFlatScrollBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), GrooveColor());
    if (maximum() > minimum()) painter.fillRect(HandleRect(), FHovered ? HoveredHandleColor : HandleColor);
}

void TFlatScrollBar::mouseMoveEvent(QMouseEvent* event) {
    FPointer = event->position().toPoint();
    SetHovered(HandleRect().contains(FPointer));
    QScrollBar::mouseMoveEvent(event);
}

void TFlatScrollBar::sliderChange(SliderChange change) {
    if (FHovered) SetHovered(HandleRect().contains(FPointer));
    QScrollBar::sliderChange(change);
}

void TFlatScrollBar::leaveEvent(QEvent* event) {
    SetHovered(false);
    QScrollBar::leaveEvent(event);
}

void TFlatScrollBar::SetHovered(bool hovered) {
    if (hovered == FHovered) return;
    FHovered = hovered;
    update();
}
