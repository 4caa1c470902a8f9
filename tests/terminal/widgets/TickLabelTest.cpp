#include "terminal/widgets/TickLabel.h"

#include <QApplication>
#include <QHBoxLayout>
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
    label->ShowText(QStringLiteral("Elapsed time: 0"));
    QApplication::processEvents();
    EXPECT_EQ(requests.Count, 0);

    const QString longer = QStringLiteral("Elapsed time: 100:00:00 and more");
    label->ShowText(longer);
    QApplication::processEvents();
    EXPECT_EQ(label->text(), longer);
    EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(longer));
}

} // namespace
