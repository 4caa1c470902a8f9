#include "ui/TickLabel.h"

#include <algorithm>

namespace {
// A text this many characters shorter than the one fitted gives its room back.
constexpr qsizetype ShrinkAfterCharacters = 3;
} // namespace

TTickLabel::TTickLabel(QWidget* parent) : QLabel(parent) {
    setSizePolicy(sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
}

// The texts are captions and numbers, and a font's digits share one width: only a text longer than
// the one fitted can need more room. Measuring every text would cost more than the rest of a
// frame's display.
void TTickLabel::ShowText(const QString& text) {
    if (text == this->text()) return;
    const bool fixed = minimumSize() == maximumSize();
    // The form's own least width stays the least.
    if (!fixed) FLeastWidth = minimumWidth();
    if (!fixed || text.size() > FFittedLength || text.size() + ShrinkAfterCharacters < FFittedLength) Fit(text);
    setText(text);
}

void TTickLabel::Fit(const QString& text) {
    const QMargins margins = contentsMargins();
    const int width = margins.left() + margins.right() + 2 * margin() + fontMetrics().horizontalAdvance(text);
    setFixedSize(std::max(width, FLeastWidth), sizeHint().height());
    FFittedLength = text.size();
}
