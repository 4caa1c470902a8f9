#include "device/ApplicationMessageRecorder.h"
#include "device/ProgressOperations.h"
#include "ui/ProgressDialogPresenter.h"
#include "ui/ProgressDlgForm.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <gmock/gmock.h>

namespace {

class ProgressDialogTest : public testing::Test {
protected:
    ProgressDialogTest() { mainWindow.show(); }
    ~ProgressDialogTest() override { CloseProgressDialog(); }

    TProgressDlgForm& Form() { return *presenter.GetForm(); }

    QMainWindow mainWindow;
    TProgressDialogPresenter presenter;
};

TEST_F(ProgressDialogTest, DiscoveryStyleDialogHasNoCancelButton) {
    ShowProgressDialog(-1, 3, "Reading the com ports...");
    ASSERT_NE(presenter.GetForm(), nullptr);
    EXPECT_TRUE(Form().isVisible());
    EXPECT_TRUE(Form().BtCancel->isHidden());
    EXPECT_EQ(Form().LabelProgress->text(), "Reading the com ports...");
    EXPECT_EQ(Form().ProgressBar->maximum(), 3);
    EXPECT_EQ(Form().ProgressBar->value(), 0);
    EXPECT_EQ(Form().size(), QSize(461, 69));
    EXPECT_TRUE(Form().windowFlags() & Qt::FramelessWindowHint);
}

TEST_F(ProgressDialogTest, CancelButtonDeliversItsMessageBeforeTheClickReturns) {
    ApplicationMessageRecorder recorder;
    ShowProgressDialog(0, 10, "working");
    ASSERT_FALSE(Form().BtCancel->isHidden());
    Form().BtCancel->click();
    EXPECT_THAT(recorder.Seen(), testing::ElementsAre(0u));

    ShowProgressDialog(1479, 10, "working");
    Form().BtCancel->click();
    EXPECT_THAT(recorder.Seen(), testing::ElementsAre(0u, 1479u));
}

TEST_F(ProgressDialogTest, NothingToCountShowsAnEmptyBarRatherThanABusyOne) {
    ShowProgressDialog(-1, 0, "start");
    EXPECT_GT(Form().ProgressBar->maximum(), Form().ProgressBar->minimum());
    EXPECT_EQ(Form().ProgressBar->value(), 0);
}

TEST_F(ProgressDialogTest, NewMaximumIsAppliedBeforeThePosition) {
    ShowProgressDialog(-1, 3, "start");
    UpdateProgressDialog(10, 7, "Opening port ttyS7");
    EXPECT_EQ(Form().ProgressBar->maximum(), 10);
    EXPECT_EQ(Form().ProgressBar->value(), 7);
    EXPECT_EQ(Form().LabelProgress->text(), "Opening port ttyS7");
}

TEST_F(ProgressDialogTest, UpdateWithoutADialogFailsAndCloseIsHarmless) {
    CloseProgressDialog();
    EXPECT_FALSE(IsProgressDialogShown());
    try {
        UpdateProgressDialog(1, 1, "x");
        FAIL() << "no error";
    } catch (const std::logic_error& error) {
        EXPECT_STREQ(error.what(), "ProgressDlgForm is nil !!!");
    }
}

TEST_F(ProgressDialogTest, MainWindowIsDisabledOnlyWhileTheDialogShows) {
    ShowProgressDialog(-1, 1, "busy");
    EXPECT_FALSE(mainWindow.isEnabled());
    EXPECT_TRUE(Form().isEnabled());
    CloseProgressDialog();
    EXPECT_TRUE(mainWindow.isEnabled());
    EXPECT_EQ(presenter.GetForm(), nullptr);
}

TEST_F(ProgressDialogTest, ShowingASecondDialogNeverLeavesTheMainWindowDisabled) {
    ShowProgressDialog(-1, 1, "first");
    ShowProgressDialog(-1, 1, "second");
    EXPECT_FALSE(mainWindow.isEnabled());
    EXPECT_EQ(Form().LabelProgress->text(), "second");
    CloseProgressDialog();
    EXPECT_TRUE(mainWindow.isEnabled());
    for (QWidget* window : QApplication::topLevelWidgets())
        EXPECT_FALSE(window->isVisible() && window->objectName() == "ProgressDlgForm");
}

} // namespace
