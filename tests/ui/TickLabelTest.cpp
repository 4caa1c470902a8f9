#include "ui/TickLabel.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <gmock/gmock.h>

namespace {

// Counts the layout passes a label's texts ask of the page that holds it.
class TLayoutRequests final : public QObject {
public:
    int Count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::LayoutRequest) ++Count;
        return false;
    }
};

TEST(TickLabel, ATextThatFitsTakesNoLayoutPass_ALongerOneWidensTheLabelToShowItWhole) {
    QWidget page;
    auto* layout = new QHBoxLayout(&page);
    auto* label = new TTickLabel(&page);
    layout->addWidget(label);
    page.show();
    label->ShowText(QStringLiteral("Elapsed time: 00:00:01"));
    QApplication::processEvents();
    TLayoutRequests requests;
    page.installEventFilter(&requests);

    label->ShowText(QStringLiteral("Elapsed time: 00:00:02"));
    label->ShowText(QStringLiteral("Elapsed time: 00:00"));
    QApplication::processEvents();
    EXPECT_EQ(requests.Count, 0);

    const QString longer = QStringLiteral("Elapsed time: 100:00:00 and more");
    label->ShowText(longer);
    QApplication::processEvents();
    EXPECT_EQ(label->text(), longer);
    EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(longer));
    label->ShowText(QStringLiteral("0"));
    QApplication::processEvents();
    EXPECT_LT(label->width(), label->fontMetrics().horizontalAdvance(longer) / 4);
}

// A page's rows line up whether or not their texts have changed.
TEST(TickLabel, ALabelWhoseTextNeverChangesIsAsTallAsOneThatDid) {
    QWidget page;
    page.resize(200, 300);
    auto* layout = new QVBoxLayout(&page);
    auto* rewritten = new TTickLabel(&page);
    auto* unchanged = new TTickLabel(&page);
    unchanged->setText(QStringLiteral("0"));
    layout->addWidget(rewritten);
    layout->addWidget(unchanged);
    page.show();
    rewritten->ShowText(QStringLiteral("25.009"));
    QApplication::processEvents();
    EXPECT_EQ(unchanged->height(), rewritten->height());
}

} // namespace
