#include "terminal/widgets/Led.h"

#include <QPainter>

namespace {
constexpr int LampDiameter = 12;
constexpr int Spacing = 4;
} // namespace

TLed::TLed(const QString& caption, QColor color, int intervalMs, QWidget* parent)
    : QWidget(parent), FCaption(caption), FColor(color) {
    FOffTimer.setSingleShot(true);
    FOffTimer.setInterval(intervalMs);
    connect(&FOffTimer, &QTimer::timeout, this, [this] { SetLit(false); });
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    // Opaque, so that a lamp going on and off repaints only itself, never the pages behind it.
    setAutoFillBackground(true);
}

void TLed::Light() {
    SetLit(true);
    FOffTimer.start();
}

void TLed::SetLit(bool lit) {
    if (FLit == lit) return;
    FLit = lit;
    update();
}

QSize TLed::sizeHint() const {
    const QFontMetrics metrics(font());
    return {LampDiameter + Spacing + metrics.horizontalAdvance(FCaption) + 2,
            std::max(LampDiameter, metrics.height()) + 2};
}

void TLed::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int top = (height() - LampDiameter) / 2;
    painter.setPen(FColor.darker(200));
    painter.setBrush(FLit ? FColor : FColor.darker(350));
    painter.drawEllipse(1, top, LampDiameter - 1, LampDiameter - 1);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(QRect(LampDiameter + Spacing, 0, width() - LampDiameter - Spacing, height()),
                     Qt::AlignLeft | Qt::AlignVCenter, FCaption);
}
