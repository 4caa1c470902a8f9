#pragma once

#include <QScrollBar>

// The terminal's scroll bar: a dark groove and a plain handle, no arrows. It paints only opaque
// solid rectangles, the raster engine's cheapest fill: the vertical bar repaints at every refresh
// while the terminal fills, and a style's shaded or rounded parts of that height are split over
// the GUI thread pool (a few dozen thread wake-ups per paint).
class TFlatScrollBar : public QScrollBar {
    Q_OBJECT
public:
    explicit TFlatScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

    // The groove's colour, for the corner between two bars.
    static QColor GrooveColor();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    // The handle moves under a still pointer while lines arrive.
    void sliderChange(SliderChange change) override;

private:
    QRect HandleRect() const;
    void SetHovered(bool hovered);

    bool FHovered = false;
    QPoint FPointer;
};
