#pragma once

#include <QLabel>

// A label that frames and ticks rewrite. It keeps a fixed size, so that a new text that fits takes
// no layout pass: a label whose size may change asks for one at every text, and the pass repaints
// the whole tab widget around it. Its height is its text's from the start, so that a label whose
// text never changes lines up with the others.
class TTickLabel : public QLabel {
    Q_OBJECT
public:
    explicit TTickLabel(QWidget* parent = nullptr);

    // Shows `text`, widening the label first when the text needs more room than it has, and
    // narrowing it when a much shorter text follows (a new ride's counts).
    void ShowText(const QString& text);

private:
    void Fit(const QString& text);

    qsizetype FFittedLength = 0;
    int FLeastWidth = 0;
};
