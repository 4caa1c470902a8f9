#include "ui/GraphicsForm.h"

#include "terminal/BoxRecorder.h"
#include "terminal/TerminalSession.h"
#include "ui/GraphicsPage.h"
#include "ui/OrientationPage.h"
#include "support/FileContents.h"
#include "support/SmallDisk.h"

#include <QApplication>
#include <QDial>
#include <QLayout>
#include <QPushButton>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <gmock/gmock.h>

namespace {
void ProcessEventsFor(int ms) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}
} // namespace

TEST(GraphicsFormTest, PointsAddedInABurstCostOneRedraw) {
    TGraphData graph;
    TGraphicsForm form(graph);
    const int before = form.Redraws();
    for (int i = 0; i < 50; ++i) {
        graph.Add({20, 100, 80, 120});
        form.PointAdded();
    }
    EXPECT_EQ(form.Redraws(), before);
    ProcessEventsFor(TGraphicsForm::RedrawDelayMs * 3);
    EXPECT_EQ(form.Redraws(), before + 1);
}

TEST(GraphicsFormTest, SavesThePointsAsCsvAndTheChartAsPng) {
    TGraphData graph;
    TGraphicsForm form(graph);
    graph.Add({25.5, 0, 80, 120});
    graph.Add({14, 100, 45, 125});
    QTemporaryDir folder;
    EXPECT_EQ(form.SaveCsv(folder.filePath("graph.csv")), "");
    QFile csv(folder.filePath("graph.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_EQ(csv.readAll(), "x;Velocita;Resistenza;Cadenza;FC\r\n0;25.5;0;80;120\r\n1;14;100;45;125\r\n");
    form.resize(400, 300);
    EXPECT_EQ(form.SavePng(folder.filePath("graph.png")), "");
    EXPECT_FALSE(QImage(folder.filePath("graph.png")).isNull());
    EXPECT_NE(form.SaveCsv(folder.filePath("missing/graph.csv")), "");
}

// Typing may pass through a refused value; once the edit ends the field shows the value in force.
TEST(GraphicsPageTest, ARefusedFieldShowsTheValueInForceWithTheRefusalBesideIt) {
    TTerminalSession session;
    TGraphicsPage page(session);
    auto& refusal = *page.findChild<QLabel*>(QStringLiteral("LabelGraphicsRefusal"));
    const auto enter = [&](const char* name, const QString& text) {
        auto& field = *page.findChild<QLineEdit*>(QString::fromLatin1(name));
        field.setText(text);
        QKeyEvent returnKey(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(&field, &returnKey);
        return field.text();
    };
    EXPECT_EQ(enter("edt_PointsForPage", "0"), "60");
    EXPECT_EQ(refusal.text(), TGraphSampler::RefusalText(TGraphSampler::gfPointsForPage));
    EXPECT_EQ(enter("edt_PointsForPage", "0100"), "100");
    EXPECT_EQ(refusal.text(), "");
    EXPECT_EQ(enter("edt_SampleFrequency", "2s"), "1");
    EXPECT_EQ(refusal.text(), TGraphSampler::RefusalText(TGraphSampler::gfSampleFrequency));
}

TEST(OrientationPageTest, TheDialAndButtonsStayInPlaceWhileTheValuesChangeWidth) {
    TTerminalSession session;
    TBoxRecorder boxes;
    TOrientationPage page(session, boxes);
    page.show();
    const auto places = [&page] {
        QApplication::processEvents();
        page.layout()->activate();
        return std::pair{page.findChild<QDial*>(QStringLiteral("Compasso2"))->x(),
                         page.findChild<QPushButton*>(QStringLiteral("BtSetStartingAngle"))->x()};
    };
    page.Presenter().OnLabels(TOrientationPresenter::Labels(5, 0, 0));
    const auto narrow = places();
    page.Presenter().OnLabels(TOrientationPresenter::Labels(200, 200, -359.9));
    EXPECT_EQ(places(), narrow);
    const QLabel& angle = *page.findChild<QLabel*>(QStringLiteral("lbl_RotationAngle3"));
    EXPECT_GE(angle.width(), angle.sizeHint().width()); // the widest angle is not clipped
}

TEST(GraphicsFormTest, OnAFullDiskTheOldExportsStayAndTheSystemSaysWhy) {
    TSmallDisk disk;
    if (!disk.Mounted()) GTEST_SKIP() << "mounting a small disk needs root";
    TGraphData graph;
    TGraphicsForm form(graph);
    form.resize(400, 300);
    graph.Add({25.5, 0, 80, 120});
    ASSERT_EQ(form.SaveCsv(disk.Path("graph.csv")), "");
    ASSERT_EQ(form.SavePng(disk.Path("graph.png")), "");
    const QByteArray csv = ContentsOf(disk.Path("graph.csv")), png = ContentsOf(disk.Path("graph.png"));
    disk.Fill();
    graph.Add({14, 100, 45, 125});
    EXPECT_EQ(form.SaveCsv(disk.Path("graph.csv")), "No space left on device");
    EXPECT_EQ(form.SavePng(disk.Path("graph.png")), "No space left on device");
    EXPECT_EQ(ContentsOf(disk.Path("graph.csv")), csv);
    EXPECT_EQ(ContentsOf(disk.Path("graph.png")), png);
}
