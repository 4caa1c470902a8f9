#include "terminal/widgets/TickLabel.h"

#include <algorithm>

TTickLabel::TTickLabel(QWidget* parent) : QLabel(parent) {}

// The texts are captions and numbers, and a font's digits share one width: only a text longer than
// any fitted before can need more room. Measuring it every time would cost more than the rest of a
// frame's display.
void TTickLabel::ShowText(const QString& text) {
    if (text == this->text()) return;
    if (minimumWidth() != maximumWidth() || text.size() > FLongestFitted) Fit(text);
    setText(text);
}

void TTickLabel::Fit(const QString& text) {
    const QMargins margins = contentsMargins();
    const int needed = margins.left() + margins.right() + 2 * margin() + fontMetrics().horizontalAdvance(text);
    if (minimumWidth() != maximumWidth() || needed > minimumWidth())
        setFixedSize(std::max(needed, minimumWidth()), sizeHint().height());
    FLongestFitted = std::max(FLongestFitted, text.size());
}
