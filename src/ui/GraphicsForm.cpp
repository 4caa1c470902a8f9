#include "ui/GraphicsForm.h"

#include "ui_GraphicsForm.h"

#include "device_link/WholeFileWrite.h"

#include <QBuffer>
#include <QFileDialog>
#include <QLineSeries>
#include <QMessageBox>
#include <QValueAxis>

#include <algorithm>
#include <limits>

TGraphicsForm::TGraphicsForm(TGraphData& graph, QWidget* parent)
    : QWidget(parent, Qt::Window), ui(std::make_unique<Ui::TFrm_Graphic>()), FGraph(graph) {
    ui->setupUi(this);
    // A window beside the main window: closing the main window ends the program all the same.
    setAttribute(Qt::WA_QuitOnClose, false);
    BuildChart();
    FRedrawTimer.setSingleShot(true);
    FRedrawTimer.setInterval(RedrawDelayMs);
    connect(&FRedrawTimer, &QTimer::timeout, this, &TGraphicsForm::Redraw);
    connect(ui->Button1, &QPushButton::clicked, this, [this] { ShowPage(FGraph.GetPage() + 1); });
    connect(ui->Button2, &QPushButton::clicked, this, [this] { ShowPage(FGraph.GetPage() - 1); });
    connect(ui->ScrollBarPages, &QScrollBar::valueChanged, this, [this](int page) {
        if (page != FGraph.GetPage()) ShowPage(page);
    });
    connect(ui->ButtonSaveCsv, &QPushButton::clicked, this,
            [this] { AskAndSave(QStringLiteral("CSV (*.csv)"), &TGraphicsForm::SaveCsv); });
    connect(ui->ButtonSavePng, &QPushButton::clicked, this,
            [this] { AskAndSave(QStringLiteral("PNG (*.png)"), &TGraphicsForm::SavePng); });
    FGraph.Clear();
    Redraw();
}

TGraphicsForm::~TGraphicsForm() = default;

void TGraphicsForm::BuildChart() {
    auto* chart = new QChart();
    FAxisX = new QValueAxis(chart);
    FAxisY = new QValueAxis(chart);
    FAxisX->setLabelFormat(QStringLiteral("%d"));
    chart->addAxis(FAxisX, Qt::AlignBottom);
    chart->addAxis(FAxisY, Qt::AlignLeft);
    for (std::size_t index = 0; index < FSeries.size(); ++index) {
        FSeries[index] = new QLineSeries(chart);
        FSeries[index]->setName(QString::fromLatin1(TGraphData::Titles[index]));
        chart->addSeries(FSeries[index]);
        FSeries[index]->attachAxis(FAxisX);
        FSeries[index]->attachAxis(FAxisY);
    }
    ui->Graph->setChart(chart);
    ui->Graph->setRenderHint(QPainter::Antialiasing);
}

bool TGraphicsForm::ShowLastValue() const { return ui->CheckBoxShowLastValue->isChecked(); }

void TGraphicsForm::PointAdded() {
    if (!FRedrawTimer.isActive()) FRedrawTimer.start();
}

void TGraphicsForm::ShowPage(std::int64_t page) {
    FGraph.ShowPage(page);
    Redraw();
}

void TGraphicsForm::Redraw() {
    ++FRedraws;
    const std::deque<TGraphData::TPoint> points = FGraph.VisiblePoints(MaxDrawnPoints);
    double low = 0;
    double high = 1;
    for (std::size_t index = 0; index < FSeries.size(); ++index) {
        QList<QPointF> drawn;
        drawn.reserve(static_cast<qsizetype>(points.size()));
        for (const TGraphData::TPoint& point : points) {
            drawn.append(QPointF(static_cast<double>(point.X), point.Values[index]));
            low = std::min(low, point.Values[index]);
            high = std::max(high, point.Values[index]);
        }
        FSeries[index]->replace(drawn);
    }
    const auto [first, last] = FGraph.Range();
    FAxisX->setRange(static_cast<double>(first), static_cast<double>(last));
    FAxisY->setRange(low, high * 1.05);
    const std::int64_t pages = std::max<std::int64_t>(FGraph.LastX(), 0) / FGraph.GetPointsPerPage() + 1;
    const QSignalBlocker blocker(ui->ScrollBarPages);
    ui->ScrollBarPages->setMaximum(static_cast<int>(std::min<std::int64_t>(pages - 1, std::numeric_limits<int>::max())));
    ui->ScrollBarPages->setValue(static_cast<int>(FGraph.GetPage()));
    ui->LabelPageNavigator->setText(QStringLiteral("Page %1 of %2").arg(FGraph.GetPage() + 1).arg(pages));
}

QString TGraphicsForm::SaveCsv(const QString& path) {
    return WriteWholeFile(path, QByteArray::fromStdString(FGraph.CsvText()));
}

// Encoded in memory first, so that the file is written whole or not at all.
QString TGraphicsForm::SavePng(const QString& path) {
    Redraw();
    QByteArray picture;
    QBuffer buffer(&picture);
    if (!buffer.open(QIODevice::WriteOnly) || !ui->Graph->grab().save(&buffer, "PNG"))
        return QStringLiteral("The picture could not be encoded.");
    return WriteWholeFile(path, picture);
}

void TGraphicsForm::AskAndSave(const QString& filter, QString (TGraphicsForm::*save)(const QString&)) {
    const QString path = QFileDialog::getSaveFileName(this, windowTitle(), QString(), filter);
    if (path.isEmpty()) return;
    const QString failure = (this->*save)(path);
    if (!failure.isEmpty())
        QMessageBox::critical(this, windowTitle(), QStringLiteral("Cannot save %1:\n%2").arg(path, failure));
}
