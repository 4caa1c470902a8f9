#include "ui/ComSetupFrm.h"
#include "device_link/EComPort.h"
#include "device_link/PortUnderTest.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace {

// Runs `user` on the setup dialog once it is shown modally, as a user would act on it.
void WithDialog(const std::function<void(TComSetupFrm&)>& user) {
    QTimer::singleShot(0, [user] {
        auto* dialog = dynamic_cast<TComSetupFrm*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        user(*dialog);
    });
}

void Pick(TComComboBox& box, const QString& text) {
    const int index = box.findText(text);
    ASSERT_GE(index, 0) << text.toStdString();
    box.setCurrentIndex(index);
    emit box.activated(index);
}

class ComSetupFrmTest : public testing::Test {
protected:
    void OpenPort() {
        Port.OpenCounting(Terminal.SlavePath());
        ASSERT_TRUE(Port.GetConnected());
    }

    TPtyPair Terminal;
    TPtyPair Other;
    TCountingComPort Port;
};

TEST_F(ComSetupFrmTest, BoxesShowThePortsValuesEvenAnUnlistedPortName) {
    Port.SetPort("ttyNowhere9");
    WithDialog([](TComSetupFrm& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Setup"));
        EXPECT_EQ(dialog.Combo1->currentText(), QStringLiteral("ttyNowhere9"));
        EXPECT_EQ(dialog.Combo2->currentText(), QStringLiteral("9600"));
        EXPECT_EQ(dialog.Combo3->currentText(), QStringLiteral("8"));
        EXPECT_EQ(dialog.Combo4->currentText(), QStringLiteral("1"));
        EXPECT_EQ(dialog.Combo5->currentText(), QStringLiteral("Even"));
        EXPECT_EQ(dialog.Combo6->currentText(), QStringLiteral("None"));
        EXPECT_EQ(dialog.Combo2->count(), 16);
        dialog.Button1->click();
    });
    ShowSetupDialog(Port);
    EXPECT_EQ(Port.GetPort(), "ttyNowhere9");
}

TEST_F(ComSetupFrmTest, OkWithoutAChoiceKeepsAnEmptyPortName_AndNoControlIsClipped) {
    qputenv("KELVO_EXTRA_PORTS", QByteArray::fromStdString(Terminal.SlavePath()));
    Port.SetPort("");
    WithDialog([](TComSetupFrm& dialog) {
        EXPECT_EQ(dialog.Combo1->currentIndex(), -1);
        EXPECT_TRUE(dialog.size().width() >= dialog.minimumSizeHint().width() &&
                    dialog.size().height() >= dialog.minimumSizeHint().height());
        for (QWidget* control : dialog.findChildren<QWidget*>()) {
            if (!control->isVisible() || control->sizeHint().isEmpty()) continue;
            EXPECT_GE(control->height(), control->minimumSizeHint().height()) << control->metaObject()->className();
            EXPECT_TRUE(dialog.rect().contains(QRect(control->mapTo(&dialog, QPoint()), control->size())));
        }
        dialog.Button1->click();
    });
    ShowSetupDialog(Port);
    qunsetenv("KELVO_EXTRA_PORTS");
    EXPECT_EQ(Port.GetPort(), "");
}

TEST_F(ComSetupFrmTest, CancelLeavesThePortUntouched) {
    OpenPort();
    WithDialog([](TComSetupFrm& dialog) {
        Pick(*dialog.Combo2, QStringLiteral("19200"));
        Pick(*dialog.Combo5, QStringLiteral("None"));
        dialog.Button2->click();
    });
    ShowSetupDialog(Port);
    EXPECT_EQ(Port.GetBaudRate(), br9600);
    EXPECT_EQ(Port.GetParity().GetBits(), prEven);
    EXPECT_EQ(Port.Applies, 0);
    EXPECT_EQ(Port.Opens, 0);
    EXPECT_TRUE(Port.GetConnected());
}

TEST_F(ComSetupFrmTest, OkWithTheSameNameAppliesTheLineSettingsOnceWithoutReopening) {
    OpenPort();
    WithDialog([](TComSetupFrm& dialog) {
        Pick(*dialog.Combo2, QStringLiteral("19200"));
        Pick(*dialog.Combo3, QStringLiteral("7"));
        dialog.Button1->click();
    });
    ShowSetupDialog(Port);
    EXPECT_EQ(Port.GetDataBits(), dbSeven);
    ExpectAppliedOnceWithoutReopen(Port, br19200);
}

TEST_F(ComSetupFrmTest, OkWithAnotherNameReopensThePort) {
    OpenPort();
    qputenv("KELVO_EXTRA_PORTS", QByteArray::fromStdString(Other.SlavePath()));
    const QString other = QString::fromStdString(Other.SlavePath());
    WithDialog([other](TComSetupFrm& dialog) {
        Pick(*dialog.Combo1, other);
        dialog.Button1->click();
    });
    ShowSetupDialog(Port);
    qunsetenv("KELVO_EXTRA_PORTS");
    EXPECT_EQ(Port.GetPort(), Other.SlavePath());
    EXPECT_EQ(Port.Opens, 1);
    EXPECT_TRUE(Port.GetConnected());
}

TEST_F(ComSetupFrmTest, NameThatCannotBeOpenedFailsToTheCallerAndStopsWriting) {
    OpenPort();
    qputenv("KELVO_EXTRA_PORTS", "/dev/kelvo-no-such-port");
    WithDialog([](TComSetupFrm& dialog) {
        Pick(*dialog.Combo1, QStringLiteral("/dev/kelvo-no-such-port"));
        Pick(*dialog.Combo2, QStringLiteral("19200"));
        dialog.Button1->click();
    });
    EXPECT_THROW(ShowSetupDialog(Port), EComPort);
    qunsetenv("KELVO_EXTRA_PORTS");
    EXPECT_FALSE(Port.GetConnected());
    EXPECT_EQ(Port.GetBaudRate(), br9600);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

} // namespace
