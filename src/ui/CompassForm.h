#pragma once

#include <QWidget>

class QChartView;
class QLineSeries;

// "CompassForm": the console's heading on a polar chart, a needle from the centre towards the
// heading over a reference line at the starting angle (0 degrees).
class TCompassForm final : public QWidget {
    Q_OBJECT
public:
    explicit TCompassForm(QWidget* parent = nullptr);

    // Degrees, 0..359, clockwise from the top.
    void SetHeading(int degrees);
    int Heading() const { return FHeading; }

private:
    QChartView* FView = nullptr;
    QLineSeries* FNeedle = nullptr;
    int FHeading = 0;
};
