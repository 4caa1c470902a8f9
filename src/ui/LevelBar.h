#pragma once

#include <QWidget>

// A horizontal bar that fills in proportion to a value within its range (no input).
class TLevelBar : public QWidget {
    Q_OBJECT
public:
    explicit TLevelBar(QWidget* parent = nullptr);

    void SetRange(int minimum, int maximum);
    // Clamped into the range.
    void SetValue(int value);
    int Value() const { return FValue; }
    int Minimum() const { return FMinimum; }
    int Maximum() const { return FMaximum; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int FMinimum = 0;
    int FMaximum = 255;
    int FValue = 0;
};
