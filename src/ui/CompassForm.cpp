#include "ui/CompassForm.h"

#include <QChartView>
#include <QLineSeries>
#include <QPolarChart>
#include <QValueAxis>
#include <QVBoxLayout>

namespace {
QLineSeries* Radius(QPolarChart& chart, double degrees, const QColor& colour, int width) {
    auto* line = new QLineSeries(&chart);
    line->append(degrees, 0);
    line->append(degrees, 1);
    line->setPen(QPen(colour, width));
    chart.addSeries(line);
    return line;
}
} // namespace

TCompassForm::TCompassForm(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("TFrm_compass"));
    // A window beside the main window: closing the main window ends the program all the same.
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("CompassForm"));
    resize(870, 640);
    auto* chart = new QPolarChart();
    chart->legend()->hide();
    auto* angle = new QValueAxis(chart);
    angle->setRange(0, 360);
    angle->setTickCount(9); // every 45 degrees
    angle->setLabelFormat(QStringLiteral("%d"));
    auto* radius = new QValueAxis(chart);
    radius->setRange(0, 1);
    radius->setLabelsVisible(false);
    radius->setTickCount(3);
    chart->addAxis(angle, QPolarChart::PolarOrientationAngular);
    chart->addAxis(radius, QPolarChart::PolarOrientationRadial);
    QLineSeries* reference = Radius(*chart, 0, Qt::gray, 2);
    FNeedle = Radius(*chart, 0, Qt::red, 4);
    for (QLineSeries* line : {reference, FNeedle}) {
        line->attachAxis(angle);
        line->attachAxis(radius);
    }
    FView = new QChartView(chart, this);
    FView->setObjectName(QStringLiteral("CompassGraph"));
    FView->setRenderHint(QPainter::Antialiasing);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(FView);
}

void TCompassForm::SetHeading(int degrees) {
    if (degrees == FHeading) return;
    FHeading = degrees;
    FNeedle->replace({QPointF(degrees, 0), QPointF(degrees, 1)});
}
