#include "ui/Led.h"

#include <QEvent>
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

// A lamp is drawn once for each state and size: a lit heart lamp blinks with every beat, and
// its antialiased disc and shaped caption cost more than the copy.
void TLed::paintEvent(QPaintEvent*) {
    QPixmap& face = FLit ? FLitFace : FDarkFace;
    if (face.deviceIndependentSize().toSize() != size() || face.devicePixelRatio() != devicePixelRatioF())
        face = Face(FLit);
    QPainter(this).drawPixmap(0, 0, face);
}

void TLed::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange) {
        FLitFace = QPixmap();
        FDarkFace = QPixmap();
    }
    QWidget::changeEvent(event);
}

QPixmap TLed::Face(bool lit) const {
    QPixmap face(size() * devicePixelRatioF());
    face.setDevicePixelRatio(devicePixelRatioF());
    face.fill(palette().color(backgroundRole()));
    QPainter painter(&face);
    painter.setRenderHint(QPainter::Antialiasing);
    const int top = (height() - LampDiameter) / 2;
    painter.setPen(FColor.darker(200));
    painter.setBrush(lit ? FColor : FColor.darker(350));
    painter.drawEllipse(1, top, LampDiameter - 1, LampDiameter - 1);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setFont(font());
    painter.drawText(QRect(LampDiameter + Spacing, 0, width() - LampDiameter - Spacing, height()),
                     Qt::AlignLeft | Qt::AlignVCenter, FCaption);
    return face;
}
