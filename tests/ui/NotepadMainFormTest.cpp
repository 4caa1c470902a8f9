#include "ui/NotepadMainForm.h"
#include "terminal/NotepadPresenter.h"

#include "terminal/DateTimeText.h"
#include "terminal/UserDialogs.h"
#include "support/SmallDisk.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFontDialog>
#include <QFontInfo>
#include <QMessageBox>
#include <QTimer>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPrinter>
#include <QScreen>
#include <QStatusBar>
#include <QTemporaryDir>
#include <gmock/gmock.h>

#include <memory>

namespace {

using testing::ElementsAre;

class TAnsweringDialogs final : public TUserDialogs, public TNotepadDialogs {
public:
    void ShowMessage(TBoxKind, const std::string& text) override { Messages.push_back(text); }
    TUserDialogs::TAnswer AskNoRetry(const std::string&) override { return TUserDialogs::anNo; }
    TUserDialogs::TAnswer AskYesNoCancel(const std::string&) override { return TUserDialogs::anCancel; }
    void Beep() override { ++Beeps; }
    bool ChoosePrinter(QPrinter&) override { return false; }
    void SetUpPrinter(QPrinter&) override {}

    TNotepadDialogs::TAnswer AskYesNoCancel(const QString& text) override {
        Questions.push_back(text);
        return SaveAnswer;
    }
    bool AskYesDefaultNo(const QString& text) override {
        Questions.push_back(text);
        return Overwrite;
    }
    std::optional<QString> ChooseFileToOpen() override { return std::nullopt; }
    std::optional<QString> ChooseFileToSave(const QString&) override {
        ++SaveDialogs;
        return SaveAsName;
    }

    TNotepadDialogs::TAnswer SaveAnswer = TNotepadDialogs::anNo;
    bool Overwrite = false;
    std::optional<QString> SaveAsName;
    int SaveDialogs = 0;
    int Beeps = 0;
    std::vector<std::string> Messages;
    std::vector<QString> Questions;
};

QByteArray ContentsOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& contents, QIODevice::OpenMode mode = QIODevice::WriteOnly) {
    QFile file(path);
    ASSERT_TRUE(file.open(mode));
    file.write(contents);
}

class NotepadTest : public testing::Test {
protected:
    NotepadTest() { WriteFile(LogPath, "first\r\nsecond\r\n"); }

    QPlainTextEdit& Memo() { return *Viewer.findChild<QPlainTextEdit*>(QStringLiteral("MemoNotepad")); }
    TNotepadPresenter& Presenter() { return Viewer.Presenter(); }
    QString Panel(int index) {
        return Viewer.findChild<QStatusBar*>(QStringLiteral("StatusBarNotepad"))->findChildren<QLabel*>()[index]->text();
    }
    void OpenModifiedLog() {
        Viewer.OpenFile(LogPath);
        Memo().appendPlainText(QStringLiteral("typed"));
    }

    QTemporaryDir Folder;
    const QString LogPath = Folder.filePath(QStringLiteral("CS.log"));
    TAnsweringDialogs Dialogs;
    TNotepadMainForm Viewer{&Dialogs, &Dialogs};
};

// --- closing and the ask-to-save question ---

TEST_F(NotepadTest, ClosingAModifiedLogFollowsTheAnswer) {
    OpenModifiedLog();
    Viewer.show();
    Dialogs.SaveAnswer = TNotepadDialogs::anCancel;
    EXPECT_FALSE(Viewer.close());
    EXPECT_THAT(Dialogs.Questions, ElementsAre(QStringLiteral("File 'CS.log' has been changed. Save ?")));

    Dialogs.SaveAnswer = TNotepadDialogs::anNo;
    EXPECT_TRUE(Viewer.close());
    EXPECT_EQ(ContentsOf(LogPath), "first\r\nsecond\r\n");
}

TEST_F(NotepadTest, YesWithAFailingSaveKeepsTheWindowTheTextAndTheFile) {
    OpenModifiedLog();
    Viewer.show();
    // Where the file was there is now a folder: the new text is written but cannot replace it.
    ASSERT_TRUE(QFile::remove(LogPath));
    ASSERT_TRUE(QDir(Folder.path()).mkdir(QStringLiteral("CS.log")));
    Dialogs.SaveAnswer = TNotepadDialogs::anYes;
    Dialogs.Overwrite = true;
    Viewer.findChild<QAction*>(QStringLiteral("FileCloseApp"))->trigger();
    EXPECT_TRUE(Viewer.isVisible());
    ASSERT_EQ(Dialogs.Messages.size(), 1u);
    EXPECT_THAT(Dialogs.Messages[0], testing::StartsWith("Unable to save file.\r\n"));
    EXPECT_TRUE(Memo().document()->isModified());
    EXPECT_TRUE(QFileInfo(LogPath).isDir());
}

TEST_F(NotepadTest, NewClearsAtOnceOrAfterSavingWithYes) {
    Viewer.OpenFile(LogPath);
    Presenter().New();
    EXPECT_TRUE(Dialogs.Questions.empty());
    EXPECT_EQ(Viewer.windowTitle(), QStringLiteral("Untitled \u2014 log editor"));
    EXPECT_TRUE(Presenter().GetIsUntitled());

    OpenModifiedLog();
    Dialogs.SaveAnswer = TNotepadDialogs::anYes;
    Presenter().New();
    EXPECT_EQ(ContentsOf(LogPath), "first\r\nsecond\r\ntyped\r\n");
    EXPECT_EQ(Memo().toPlainText(), QString());
}

// --- saving ---

TEST_F(NotepadTest, SaveWritesBackWithoutADialogAndSaveAsOnANewTextAsksAgain) {
    OpenModifiedLog();
    EXPECT_TRUE(Presenter().Save());
    EXPECT_EQ(Dialogs.SaveDialogs, 0);
    EXPECT_EQ(ContentsOf(LogPath), "first\r\nsecond\r\ntyped\r\n");

    Presenter().New();
    Memo().setPlainText(QStringLiteral("new"));
    Dialogs.SaveAsName = Folder.filePath(QStringLiteral("new.txt"));
    EXPECT_TRUE(Presenter().SaveAs());
    EXPECT_TRUE(Presenter().Save());
    EXPECT_EQ(Dialogs.SaveDialogs, 2);
    EXPECT_EQ(ContentsOf(*Dialogs.SaveAsName), "new\n");
    EXPECT_EQ(Viewer.windowTitle(), QStringLiteral("new.txt \u2014 log editor"));
}

TEST_F(NotepadTest, FailedSaveAsLeavesTheNameAndCaption) {
    OpenModifiedLog();
    Dialogs.SaveAsName = Folder.filePath(QStringLiteral("missing/other.txt"));
    EXPECT_FALSE(Presenter().SaveAs());
    EXPECT_EQ(Presenter().GetFileName(), LogPath);
    EXPECT_EQ(Viewer.windowTitle(), QStringLiteral("CS.log \u2014 log editor"));
}

TEST_F(NotepadTest, AFileThatGrewOnDiskIsOverwrittenOnlyWhenTheUserSaysSo) {
    OpenModifiedLog();
    WriteFile(LogPath, "third\r\n", QIODevice::Append);
    EXPECT_FALSE(Presenter().Save()); // No is the answer and the default
    EXPECT_EQ(ContentsOf(LogPath), "first\r\nsecond\r\nthird\r\n");
    ASSERT_EQ(Dialogs.Questions.size(), 1u);
    EXPECT_TRUE(Memo().document()->isModified());

    Dialogs.Overwrite = true;
    EXPECT_TRUE(Presenter().Save());
    EXPECT_EQ(ContentsOf(LogPath), "first\r\nsecond\r\ntyped\r\n");
}

TEST_F(NotepadTest, OnAFullDiskTheFileStaysTheTextStaysModifiedAndTheSystemSaysWhy) {
    TSmallDisk disk;
    if (!disk.Mounted()) GTEST_SKIP() << "mounting a small disk needs root";
    const QString path = disk.Path(QStringLiteral("CS.log"));
    WriteFile(path, "first\r\nsecond\r\n");
    Viewer.OpenFile(path);
    Memo().appendPlainText(QStringLiteral("typed"));
    disk.Fill();
    EXPECT_FALSE(Presenter().Save());
    EXPECT_THAT(Dialogs.Messages, ElementsAre("Unable to save file.\r\nNo space left on device"));
    EXPECT_TRUE(Memo().document()->isModified());
    EXPECT_EQ(ContentsOf(path), "first\r\nsecond\r\n");
}

// --- bytes the user did not touch ---

TEST_F(NotepadTest, ALatinOneTextGoesBackInItsOwnBytesAndRefusesWhatItCannotHold) {
    WriteFile(LogPath, "caf\xe9\r\nna\xefve\r\n");
    Viewer.OpenFile(LogPath);
    EXPECT_FALSE(Memo().isReadOnly());
    EXPECT_EQ(Memo().toPlainText(), QStringLiteral("caf\u00e9\nna\u00efve"));
    Memo().appendPlainText(QStringLiteral("typed"));
    ASSERT_TRUE(Presenter().Save());
    EXPECT_EQ(ContentsOf(LogPath), "caf\xe9\r\nna\xefve\r\ntyped\r\n");

    Memo().appendPlainText(QStringLiteral("\u20ac"));
    EXPECT_FALSE(Presenter().Save());
    EXPECT_EQ(ContentsOf(LogPath), "caf\xe9\r\nna\xefve\r\ntyped\r\n");
    EXPECT_TRUE(Memo().document()->isModified());
    ASSERT_EQ(Dialogs.Messages.size(), 1u);
    EXPECT_THAT(Dialogs.Messages[0], testing::HasSubstr("ISO-8859-1"));
}

TEST_F(NotepadTest, AFileTheMemoWouldChangeOpensReadOnlyAndSaveAsCopiesItsBytes) {
    const std::vector<QByteArray> unfaithful{
        QByteArray("\xef\xbb\xbfwith a mark\n"), QByteArray("no\xc2\xa0" "break\n"), QByteArray("line\xe2\x80\xa8sep\n"),
        QByteArray("old\rmac\r"),                 QByteArray("mixed\r\nends\n"),   QByteArray("nul\0byte\n", 9),
        QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)};
    for (const QByteArray& bytes : unfaithful) {
        WriteFile(LogPath, bytes);
        Viewer.OpenFile(LogPath);
        EXPECT_TRUE(Memo().isReadOnly()) << bytes.toStdString();
        EXPECT_THAT(Panel(0).toStdString(), testing::StartsWith("Read-only")) << bytes.toStdString();
        Dialogs.SaveAsName = Folder.filePath(QStringLiteral("copy.bin"));
        ASSERT_TRUE(Presenter().SaveAs());
        EXPECT_EQ(ContentsOf(*Dialogs.SaveAsName), bytes);
        Dialogs.SaveAsName.reset();
    }
    Presenter().New();
    EXPECT_FALSE(Memo().isReadOnly());
    EXPECT_EQ(Panel(0), QString());
}

// --- editing, status bar, search ---

TEST_F(NotepadTest, StatusBarFollowsTheCaretAndCountsLineBreaksTwice) {
    Memo().setPlainText(QStringLiteral("ab\nc"));
    EXPECT_EQ(Panel(2), QStringLiteral("Length: 5"));
    QTextCursor cursor = Memo().textCursor();
    cursor.setPosition(4);
    Memo().setTextCursor(cursor);
    EXPECT_EQ(Panel(1), QStringLiteral("Col 2  Ln 2"));
}

TEST_F(NotepadTest, InsertDateTimeGoesToTheCaretOnAnyLine) {
    Memo().setPlainText(QStringLiteral("abc\ndef"));
    Presenter().CurrentTime = [] { return QDateTime(QDate(2026, 3, 7), QTime(9, 5, 2)); };
    QTextCursor cursor = Memo().textCursor();
    cursor.setPosition(5);
    Memo().setTextCursor(cursor);
    Memo().document()->setModified(false);
    Presenter().InsertDateTime();
    const QString date = QStringLiteral("7/03/2026 09:05:02").replace(u'/', DateSeparator()).replace(u':', TimeSeparator());
    EXPECT_EQ(Memo().toPlainText(), QStringLiteral("abc\nd") + date + QStringLiteral("ef"));
    EXPECT_TRUE(Memo().document()->isModified());
}

TEST_F(NotepadTest, FindGoesDownCaseSensitiveAndReplaceWorksOnTheMatch) {
    Memo().setPlainText(QStringLiteral("Log log log"));
    EXPECT_TRUE(Presenter().FindNext(QStringLiteral("log")));
    EXPECT_EQ(Memo().textCursor().selectionStart(), 4);
    EXPECT_TRUE(Presenter().Replace(QStringLiteral("log"), QStringLiteral("LOG")));
    EXPECT_EQ(Memo().toPlainText(), QStringLiteral("Log LOG log"));
    EXPECT_EQ(Memo().textCursor().selectionStart(), 8);
    EXPECT_FALSE(Presenter().FindNext(QStringLiteral("log")));
    EXPECT_EQ(Dialogs.Beeps, 1);
    EXPECT_EQ(Presenter().ReplaceAll(QStringLiteral("LOG"), QStringLiteral("x")), 1);
    EXPECT_EQ(Memo().toPlainText(), QStringLiteral("Log x log"));
}

TEST_F(NotepadTest, CommandsFollowTheTextAndTheSaveTypesGiveTheirExtension) {
    auto enabled = [this](const char* name) { return Viewer.findChild<QAction*>(QString::fromLatin1(name))->isEnabled(); };
    EXPECT_FALSE(enabled("FilePrint"));
    EXPECT_FALSE(enabled("EditUpperCase"));
    Memo().setPlainText(QStringLiteral("x"));
    EXPECT_TRUE(enabled("FilePrint"));

    const QStringList filters = TNotepadPresenter::NameFilters(TNotepadPresenter::SaveFilter);
    EXPECT_EQ(filters[2], QStringLiteral("Cascading Style Sheets (*.css)"));
    EXPECT_EQ(TNotepadPresenter::DefaultExtension(filters[2]), QStringLiteral("css"));
    EXPECT_EQ(TNotepadPresenter::DefaultExtension(filters[1]), QStringLiteral("html"));
    EXPECT_EQ(TNotepadPresenter::DefaultExtension(filters.last()), QString());
}

// --- the viewer's own dialogs ---

// The viewer stays on top: a dialog it does not own may open behind it.
TEST(NotepadDialogsTest, BoxesAndDialogsBelongToTheViewerAndTheFontDialogOpensOnTheMemosFont) {
    TNotepadMainForm viewer;
    viewer.show();
    viewer.findChild<QPlainTextEdit*>()->setPlainText(QStringLiteral("text"));
    QFont preset;
    for (const char* command : {"FilePreview", "FilePrinterSetup", "ViewFont"}) {
        QWidget* parent = nullptr;
        QTimer::singleShot(0, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (dialog == nullptr) return;
            parent = dialog->parentWidget();
            if (auto* fonts = qobject_cast<QFontDialog*>(dialog)) preset = fonts->currentFont();
            dialog->close();
        });
        viewer.findChild<QAction*>(QString::fromLatin1(command))->trigger();
        EXPECT_EQ(parent, &viewer) << command;
    }
    const QFontInfo shown(viewer.findChild<QPlainTextEdit*>()->font());
    EXPECT_EQ(preset.family(), shown.family());
    EXPECT_EQ(preset.pointSize(), shown.pointSize());
}

TEST(NotepadDialogsTest, ClosingTheViewerWhileItsDialogIsOpenClosesTheDialogAndFreesTheViewerAfter) {
    QPointer<TNotepadMainForm> viewer = new TNotepadMainForm;
    viewer->SetFreeOnClose(true);
    viewer->show();
    bool closed = false;
    QTimer::singleShot(0, [&] { closed = viewer->close(); });
    viewer->findChild<QAction*>(QStringLiteral("ViewFont"))->trigger();
    EXPECT_TRUE(closed);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(viewer.isNull());
}

// --- the main window's use ---

TEST_F(NotepadTest, LogThatCannotBeReadGivesNoViewerButItsError) {
    const int windows = static_cast<int>(QApplication::topLevelWidgets().size());
    EXPECT_EQ(TNotepadMainForm::ShowLog(Folder.filePath(QStringLiteral("none.log")), Dialogs), nullptr);
    ASSERT_EQ(Dialogs.Messages.size(), 1u);
    EXPECT_THAT(Dialogs.Messages[0], testing::HasSubstr("none.log"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(QApplication::topLevelWidgets().size(), windows);
}

TEST_F(NotepadTest, ShownLogIsCentredOnTheScreenAtItsOwnSize) {
    const std::unique_ptr<TNotepadMainForm> viewer(TNotepadMainForm::ShowLog(LogPath, Dialogs));
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(viewer->windowTitle(), QStringLiteral("CS.log \u2014 log editor"));
    EXPECT_EQ(viewer->size(), QSize(800, 600));
    // The window frame's few pixels aside.
    const QPoint offCentre = viewer->geometry().center() - QGuiApplication::primaryScreen()->availableGeometry().center();
    EXPECT_LE(offCentre.manhattanLength(), 8);
}

TEST_F(NotepadTest, PrintingLaysTheTextOutInPages) {
    QStringList lines;
    for (int i = 0; i < 300; ++i) lines << QStringLiteral("line %1").arg(i);
    Memo().setPlainText(lines.join(u'\n'));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(Folder.filePath(QStringLiteral("log.pdf")));
    Viewer.PrintTo(printer);
    EXPECT_GE(ContentsOf(printer.outputFileName()).count("/Type /Page\n"), 4);
}

} // namespace
