#include "terminal/NotepadPresenter.h"

#include "device_link/WholeFileWrite.h"

#include "terminal/DateTimeText.h"
#include "terminal/EInOutError.h"
#include "terminal/UserDialogs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <array>
#include <utility>

namespace {

const QChar Break = u'\n';

// The extension that the save dialog adds for each file type.
constexpr std::array<std::pair<const char*, const char*>, 5> DefaultExtensions{{
    {"Plain Text Documents", "txt"},
    {"HTML Documents", "html"},
    {"Cascading Style Sheets", "css"},
    {"Information Files", "inf"},
    {"MS-DOS Batch Files", "bat"},
}};

// The line break a file uses, by its first one; a file without any gets the platform's.
QString LineBreakOf(const QString& text) {
    const qsizetype feed = text.indexOf(Break);
    return feed > 0 && text[feed - 1] == u'\r' ? QStringLiteral("\r\n") : QStringLiteral("\n");
}

} // namespace

const QString TNotepadPresenter::CaptionSuffix = QStringLiteral(" \u2014 log editor");
const QString TNotepadPresenter::UntitledName = QStringLiteral("Untitled");
const QString TNotepadPresenter::OpenFilter = QStringLiteral(
    "Plain Text Documents|*.txt;*.log|HTML Documents|*.htm;*.html;*.shtml;*.htz;*.htt|Cascading Style Sheets|*.css|"
    "Information Files|*.inf|MS-DOS Batch Files|*.bat|All Files|*.*");
const QString TNotepadPresenter::SaveFilter = QStringLiteral(
    "Plain Text Documents|*.txt|HTML Documents|*.htm;*.html;*.shtml;*.htz;*.htt|Cascading Style Sheets|*.css|"
    "Information Files|*.inf|MS-DOS Batch Files|*.bat|All Files|*.*");

TNotepadPresenter::TNotepadPresenter(TNotepadView& view, TUserDialogs& messages, TNotepadDialogs& dialogs)
    : FView(view), FMessages(messages), FDialogs(dialogs) {}

QString TNotepadPresenter::NamePart() const { return QFileInfo(FFileName).fileName(); }

void TNotepadPresenter::SetCaptionFromFileName() { FView.SetCaption(NamePart() + CaptionSuffix); }

void TNotepadPresenter::OpenFile(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EInOutError(QStringLiteral("Cannot open file %1: %2")
                              .arg(QDir::toNativeSeparators(fileName), file.errorString())
                              .toStdString());
    FRaw = file.readAll();
    QStringDecoder utf8(QStringConverter::Utf8);
    QString text = utf8(FRaw);
    FEncoding = utf8.hasError() ? QStringConverter::Latin1 : QStringConverter::Utf8;
    if (utf8.hasError()) text = QString::fromLatin1(FRaw);
    FLineBreak = LineBreakOf(text);
    text.replace(QStringLiteral("\r\n"), QString(Break)).replace(u'\r', Break);
    FEndsWithBreak = text.endsWith(Break);
    if (FEndsWithBreak) text.chop(1);
    FView.LoadText(text);
    FShown = FView.Text();
    FView.SetReadOnlyNotice(UnfaithfulNotice());
    FIsUntitled = false;
    FFileName = QFileInfo(fileName).absoluteFilePath();
    RememberDiskState(FFileName);
    SetCaptionFromFileName();
    ShowLength();
}

// What the memo shows must go back as the bytes that were read: a text it would change (a byte
// order mark, no-break spaces, line or paragraph separators, CR-only or mixed line ends, bytes
// that are no text) or cannot show (NUL and other control bytes) is shown read-only, so that no
// save can change it unasked.
QString TNotepadPresenter::UnfaithfulNotice() const {
    const auto invisible = std::find_if(FShown.begin(), FShown.end(), [](QChar c) {
        return c.category() == QChar::Other_Control && c != u'\t' && c != Break && c != u'\f';
    });
    if (invisible != FShown.end())
        return QStringLiteral("Read-only: this file holds control characters the editor cannot show");
    const auto shown = Encoded(FShown);
    if (shown && *shown == FRaw) return {};
    qsizetype first = 0;
    while (shown && first < shown->size() && first < FRaw.size() && (*shown)[first] == FRaw[first]) ++first;
    return QStringLiteral("Read-only: this file holds bytes the editor would change (the first at byte %1)")
        .arg(first);
}

// The memo's text as the file's bytes, in the encoding and with the line breaks it was read
// with; none when the encoding cannot hold a character of it.
std::optional<QByteArray> TNotepadPresenter::Encoded(QString text) const {
    if (FEndsWithBreak && !text.isEmpty()) text += Break;
    QStringEncoder encoder(FEncoding);
    QByteArray bytes = encoder(text.replace(Break, FLineBreak));
    if (encoder.hasError()) return std::nullopt;
    return bytes;
}

bool TNotepadPresenter::AskToSave() {
    if (!FView.IsModified()) return true;
    switch (FDialogs.AskYesNoCancel(QStringLiteral("File '%1' has been changed. Save ?").arg(NamePart()))) {
    case TNotepadDialogs::anYes: Save(); return !FView.IsModified();
    case TNotepadDialogs::anNo: return true;
    case TNotepadDialogs::anCancel: break;
    }
    return false;
}

void TNotepadPresenter::New() {
    if (!AskToSave()) return;
    FView.LoadText(QString());
    FIsUntitled = true;
    FFileName = UntitledName;
    FLineBreak = QStringLiteral("\n");
    FEndsWithBreak = true;
    FEncoding = QStringConverter::Utf8;
    FRaw.clear();
    FShown.clear();
    FView.SetReadOnlyNotice(QString());
    FDiskSize = -1;
    SetCaptionFromFileName();
    ShowLength();
}

void TNotepadPresenter::Open() {
    if (!AskToSave()) return;
    const auto fileName = FDialogs.ChooseFileToOpen();
    if (!fileName) return;
    try {
        OpenFile(*fileName);
    } catch (const EInOutError& error) {
        FMessages.ShowMessage(TUserDialogs::bkError, error.what());
    }
}

bool TNotepadPresenter::Save() {
    if (FIsUntitled) return SaveAs();
    return WriteFile(FFileName);
}

bool TNotepadPresenter::SaveAs() {
    const auto fileName = FDialogs.ChooseFileToSave(FFileName);
    if (!fileName || !WriteFile(*fileName)) return false;
    FFileName = QFileInfo(*fileName).absoluteFilePath();
    SetCaptionFromFileName();
    return true;
}

bool TNotepadPresenter::CloseQuery() { return AskToSave(); }

bool TNotepadPresenter::WriteFile(const QString& fileName) {
    if (QFileInfo(fileName).absoluteFilePath() == FFileName && ChangedOnDisk(fileName) &&
        !FDialogs.AskYesDefaultNo(
            QStringLiteral("File '%1' has changed on disk since it was opened or saved. Overwrite it?").arg(NamePart())))
        return false;
    // Untouched, the file goes back as it was read, byte for byte.
    const QString text = FView.Text();
    const auto bytes = text == FShown ? std::optional(FRaw) : Encoded(text);
    if (!bytes) {
        FMessages.ShowMessage(TUserDialogs::bkError,
                              QStringLiteral("Unable to save file.\r\nThe text holds characters that %1 cannot hold.")
                                  .arg(QString::fromLatin1(QStringConverter::nameForEncoding(FEncoding)))
                                  .toStdString());
        return false;
    }
    const QString failure = WriteWholeFileInPlaceWhenNeeded(fileName, *bytes);
    if (!failure.isEmpty()) {
        FMessages.ShowMessage(TUserDialogs::bkError, ("Unable to save file.\r\n" + failure).toStdString());
        return false;
    }
    FRaw = *bytes;
    FShown = text;
    FView.SetModified(false);
    RememberDiskState(fileName);
    return true;
}

bool TNotepadPresenter::ChangedOnDisk(const QString& fileName) const {
    if (FDiskSize < 0) return false;
    const QFileInfo info(fileName);
    return !info.exists() || info.size() != FDiskSize || info.lastModified() != FDiskModified;
}

void TNotepadPresenter::RememberDiskState(const QString& fileName) {
    const QFileInfo info(fileName);
    FDiskModified = info.lastModified();
    FDiskSize = info.size();
}

void TNotepadPresenter::ChangeSelectionCase(bool upper) {
    const int start = FView.SelectionStart();
    const QString selected = FView.Text().mid(start, FView.SelectionLength());
    const QString changed = upper ? QLocale::system().toUpper(selected) : QLocale::system().toLower(selected);
    FView.ReplaceSelection(changed);
    FView.Select(start, static_cast<int>(changed.size()));
}

void TNotepadPresenter::InsertDateTime() {
    FView.Select(FView.CaretPosition(), 0);
    FView.ReplaceSelection(FormatDateTime(QStringLiteral("d/mm/yyyy hh:nn:ss"), CurrentTime()));
}

bool TNotepadPresenter::FindNext(const QString& what) {
    if (what.isEmpty()) return false;
    FLastFind = what;
    const qsizetype found = FView.Text().indexOf(what, FView.SelectionStart() + FView.SelectionLength());
    if (found < 0) {
        FMessages.Beep();
        return false;
    }
    FView.Select(static_cast<int>(found), static_cast<int>(what.size()));
    return true;
}

bool TNotepadPresenter::Replace(const QString& what, const QString& with) {
    if (!what.isEmpty() && FView.Text().mid(FView.SelectionStart(), FView.SelectionLength()) == what)
        FView.ReplaceSelection(with);
    return FindNext(what);
}

int TNotepadPresenter::ReplaceAll(const QString& what, const QString& with) {
    QString text = FView.Text();
    const int count = what.isEmpty() ? 0 : static_cast<int>(text.count(what));
    if (count == 0) {
        FMessages.Beep();
        return 0;
    }
    FView.Select(0, static_cast<int>(text.size()));
    FView.ReplaceSelection(text.replace(what, with));
    return count;
}

QString TNotepadPresenter::CaretText(int line, int column) {
    return QStringLiteral("Col %1  Ln %2").arg(column).arg(line);
}

QString TNotepadPresenter::LengthText(const QString& text) {
    return QStringLiteral("Length: %1").arg(text.size() + text.count(Break));
}

void TNotepadPresenter::ShowCaret(int line, int column) { FView.SetCaretText(CaretText(line, column)); }

void TNotepadPresenter::ShowLength() { FView.SetLengthText(LengthText(FView.Text())); }

void TNotepadPresenter::NotImplemented() { FMessages.ShowMessage(TUserDialogs::bkError, "Not implemented"); }

bool TNotepadPresenter::MayPrint(bool hasPrinters) {
    if (!hasPrinters) FMessages.ShowMessage(TUserDialogs::bkError, "No installed printers.");
    return hasPrinters;
}

QString TNotepadPresenter::DocumentName() const { return NamePart(); }

QStringList TNotepadPresenter::NameFilters(const QString& systemFilter) {
    const QStringList parts = systemFilter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters << parts[i] + QStringLiteral(" (") + QString(parts[i + 1]).replace(u';', u' ') + u')';
    return filters;
}

QString TNotepadPresenter::DefaultExtension(const QString& nameFilter) {
    for (const auto& [name, extension] : DefaultExtensions)
        if (nameFilter.startsWith(QLatin1StringView(name))) return QString::fromLatin1(extension);
    return {};
}
