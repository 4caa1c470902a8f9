#include "ui/LevelBar.h"

#include <QPainter>

#include <algorithm>

TLevelBar::TLevelBar(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void TLevelBar::SetRange(int minimum, int maximum) {
    FMinimum = minimum;
    FMaximum = std::max(minimum, maximum);
    SetValue(FValue);
    update();
}

void TLevelBar::SetValue(int value) {
    value = std::clamp(value, FMinimum, FMaximum);
    if (value == FValue) return;
    FValue = value;
    update();
}

QSize TLevelBar::sizeHint() const {
    return {100, 10};
}

void TLevelBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect frame = rect().adjusted(0, 0, -1, -1);
    painter.fillRect(frame, palette().color(QPalette::Base));
    const int span = FMaximum - FMinimum;
    if (span > 0) {
        const int filled = (frame.width() - 1) * (FValue - FMinimum) / span;
        painter.fillRect(QRect(frame.left() + 1, frame.top() + 1, filled, frame.height() - 1),
                         QColor(0, 160, 0));
    }
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(frame);
}
