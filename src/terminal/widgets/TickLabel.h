#pragma once

#include <QLabel>

// A label that frames and ticks rewrite. It keeps a fixed size that only grows, so that a new text
// that fits takes no layout pass: a label whose size may change asks for one at every text, and
// the pass repaints the whole tab widget around it.
class TTickLabel : public QLabel {
    Q_OBJECT
public:
    explicit TTickLabel(QWidget* parent = nullptr);

    // Shows `text`, widening the label first when the text needs more room than it has.
    void ShowText(const QString& text);

private:
    void Fit(const QString& text);

    qsizetype FLongestFitted = 0;
};
