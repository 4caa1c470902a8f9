#include "terminal/RegulToolFeed.h"
#include "terminal/TerminalSession.h"
#include "ui/DiscSettingsForm.h"
#include "ui/RegulToolForm.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTextBlock>
#include <QTimer>
#include <gmock/gmock.h>

namespace {

template <typename Widget> Widget* Child(QWidget& parent, const char* name) {
    return parent.findChild<Widget*>(QString::fromLatin1(name));
}

// Types `text` over the field's text as a user would, without committing it.
void Type(QSpinBox& field, const QString& text) { field.findChild<QLineEdit*>()->setText(text); }

void PressEnter(QWidget& widget) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(&widget, &press);
}

// Answers the modal dialog that `run` shows: types into its fields, then presses `button`.
bool RunDialog(TKelvoDevice& device, const std::function<void(QWidget&)>& fill, const char* button) {
    QTimer::singleShot(0, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        fill(*dialog);
        Child<QPushButton>(*dialog, button)->click();
    });
    return TDiscSettingsForm::EditDeviceSettings(device, nullptr);
}

} // namespace

// ---- Disconnection settings ----

TEST(DiscSettingsFormTest, OkWritesThroughTheDeviceLimitsAndCancelKeepsTheDeviceAfterAReset) {
    TKelvoDevice device;
    device.SetVersion(4);
    device.SetDisconUseCloseOpenPort(false);
    device.SetDisconMaxTry(20);
    EXPECT_FALSE(RunDialog(device, [](QWidget& dialog) { Child<QPushButton>(dialog, "Button1")->click(); }, "BitBtn3"));
    EXPECT_EQ(device.GetDisconMaxTry(), 20);
    EXPECT_FALSE(device.GetDisconUseCloseOpenPort());

    EXPECT_TRUE(RunDialog(device, [](QWidget& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Connection survey settings");
        Child<QSpinBox>(dialog, "SpinEditConnectionSurveyInterval")->setValue(100);
        Child<QSpinBox>(dialog, "SpinEditDisconMaxTry")->setValue(7);
    }, "BitBtn2"));
    EXPECT_EQ(device.GetConnectionSurveyInterval(), 400);
    EXPECT_EQ(device.GetDisconMaxTry(), 7);
    EXPECT_FALSE(device.GetDisconUseCloseOpenPort()); // the hidden box carries it through
    RunDialog(device, [](QWidget& dialog) { Child<QSpinBox>(dialog, "SpinEditConnectionSurveyInterval")->setValue(5000); },
              "BitBtn2");
    EXPECT_EQ(device.GetConnectionSurveyInterval(), 3000);
}

TEST(DiscSettingsFormTest, OkIsRefusedWhileMaxCommandsIsNegativeOrEmpty) {
    TDiscSettingsForm dialog;
    auto* maxTry = Child<QSpinBox>(dialog, "SpinEditDisconMaxTry");
    maxTry->setValue(-1);
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_THAT(Child<QLabel>(dialog, "LabelRefusal")->text().toStdString(), testing::HasSubstr("negative"));
    Type(*maxTry, QString());
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    maxTry->setValue(0);
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

// ---- Regulation tool ----

class RegulToolFormTest : public testing::Test {
protected:
    TTerminalSession session;
    TRegulToolFeed feed{session};
    QPointer<TRegulToolForm> form = new TRegulToolForm(&session.Device(), feed);

    void TearDown() override { delete form; }
    void Activate() {
        QEvent activate(QEvent::WindowActivate);
        QApplication::sendEvent(form, &activate);
    }
    QSpinBox& Field(const char* name) { return *Child<QSpinBox>(*form, name); }
};

TEST_F(RegulToolFormTest, FieldsComeFromTheDeviceAtTheFirstActivationOnlyAndApplyWhenCommitted) {
    session.Device().SetCadenceArrayLength(12);
    Activate();
    EXPECT_EQ(Field("SpinEditCadenceArrayLength").value(), 12);
    session.Device().SetCadenceArrayLength(20);
    Activate();
    EXPECT_EQ(Field("SpinEditCadenceArrayLength").value(), 12);

    QSpinBox& delay = Field("SpinEditHrDelayBeforeReset");
    Type(delay, QStringLiteral("1"));
    Type(delay, QStringLiteral("15"));
    EXPECT_EQ(session.Device().GetHrDelayBeforeReset(), 3000); // typing is not committing
    Type(delay, QStringLiteral("1500"));
    PressEnter(delay);
    EXPECT_EQ(session.Device().GetHrDelayBeforeReset(), 1500);
    delay.setValue(-5);
    EXPECT_EQ(session.Device().GetHrDelayBeforeReset(), 1500);
    EXPECT_EQ(delay.value(), 1500); // the refused value is not shown as if in force
    EXPECT_EQ(Child<QLabel>(*form, "LabelRefusal")->text(), "A delay cannot be negative.");
}

TEST_F(RegulToolFormTest, HeartMemosKeepTwoHundredLinesAndAClosedWindowIsNotWrittenTo) {
    for (int line = 1; line <= 201; ++line) session.Device().OnInstantHeart(nullptr, std::to_string(line));
    auto* memo = Child<QPlainTextEdit>(*form, "MemoHeartRegul");
    EXPECT_EQ(memo->blockCount(), 200);
    EXPECT_EQ(memo->document()->firstBlock().text(), "2");
    session.Device().SetHeartArrayLength(300);
    session.Device().OnInstantHeart(nullptr, "x");
    EXPECT_EQ(Child<QPlainTextEdit>(*form, "MemoHeartArray")->blockCount(), 200);
    session.Device().SetSpeedArrayLength(300); // the speed memo shows the whole array
    session.Device().OnKelvoMessage(nullptr, mtInfos, 0, 0, 0, ByteString());
    EXPECT_EQ(Child<QPlainTextEdit>(*form, "MemoSpeed")->blockCount(), 300);

    form->close(); // frees itself
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(form.isNull());
    EXPECT_EQ(feed.OpenCount(), 0u);
    session.Device().OnHeartConnectionLost(nullptr);
}
