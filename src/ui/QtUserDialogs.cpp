#include "ui/QtUserDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>

#include <algorithm>
#include <cstdio>

namespace {
// The system's texts break lines with "\r\n"; a label shows the carriage return as a glyph.
QString BoxText(const std::string& text) {
    return QString::fromStdString(text).remove(QLatin1Char('\r'));
}

QMessageBox::Icon IconOf(TUserDialogs::TBoxKind kind) {
    switch (kind) {
    case TUserDialogs::bkInformation:
    case TUserDialogs::bkInfo:
        return QMessageBox::Information;
    case TUserDialogs::bkWarning:
        return QMessageBox::Warning;
    case TUserDialogs::bkError:
        return QMessageBox::Critical;
    case TUserDialogs::bkPlain:
        break;
    }
    return QMessageBox::NoIcon;
}

QString TitleOf(TUserDialogs::TBoxKind kind) {
    switch (kind) {
    case TUserDialogs::bkInformation:
        return QStringLiteral("Information");
    case TUserDialogs::bkInfo:
        return QStringLiteral("Info");
    case TUserDialogs::bkWarning:
        return QStringLiteral("Warning");
    case TUserDialogs::bkError:
        return QStringLiteral("Error");
    case TUserDialogs::bkPlain:
        break;
    }
    return QApplication::applicationDisplayName();
}
} // namespace

void TQtUserDialogs::ShowMessage(TBoxKind kind, const std::string& text) {
    if (FOpen > 0 && !FEnding) {
        const bool waiting = std::any_of(FWaiting.begin(), FWaiting.end(),
                                         [&](const TMessage& message) { return message.Text == text; });
        if (!waiting) FWaiting.push_back({kind, text});
        return;
    }
    QMessageBox box(IconOf(kind), TitleOf(kind), BoxText(text), QMessageBox::Ok, FOwner);
    box.setWindowFlag(Qt::WindowStaysOnTopHint, kind == bkInfo);
    Run(box, text);
}

TUserDialogs::TAnswer TQtUserDialogs::AskNoRetry(const std::string& text) {
    QMessageBox box(QMessageBox::Critical, TitleOf(bkError), BoxText(text),
                    QMessageBox::No | QMessageBox::Retry, FOwner);
    box.setDefaultButton(QMessageBox::Retry);
    return Run(box, text) == QMessageBox::Retry ? anRetry : anNo;
}

TUserDialogs::TAnswer TQtUserDialogs::AskYesNoCancel(const std::string& text) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirmation"), BoxText(text),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, FOwner);
    switch (Run(box, text)) {
    case QMessageBox::Yes: return anYes;
    case QMessageBox::No: return anNo;
    default: return anCancel;
    }
}

void TQtUserDialogs::Beep() {
    QApplication::beep();
}

bool TQtUserDialogs::ChoosePrinter(QPrinter& printer) {
    QPrintDialog dialog(&printer, FOwner);
    return Run(dialog) == QDialog::Accepted;
}

void TQtUserDialogs::SetUpPrinter(QPrinter& printer) {
    QPageSetupDialog dialog(&printer, FOwner);
    Run(dialog);
}

std::string TQtUserDialogs::ChooseSaveFile(const std::string& title, const std::string& suggested) {
    QFileDialog dialog(FOwner, QString::fromStdString(title), QString::fromStdString(suggested));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.selectFile(QString::fromStdString(suggested));
    if (Run(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front().toStdString();
}

int TQtUserDialogs::Run(QDialog& dialog, const std::string& text) {
    if (FEnding) {
        if (!text.empty()) std::fprintf(stderr, "%s\n", qPrintable(BoxText(text)));
        return QDialog::Rejected;
    }
    ++FOpen;
    const int answer = dialog.exec();
    --FOpen;
    ShowWaitingMessages();
    return answer;
}

void TQtUserDialogs::ShowWaitingMessages() {
    while (FOpen == 0 && !FWaiting.empty()) {
        const TMessage message = FWaiting.front();
        FWaiting.pop_front();
        ShowMessage(message.Kind, message.Text);
    }
}

// Every modal dialog, also one of the window's own (the port setup, the disconnection settings):
// the program must not wait for an answer that nobody will give.
void TQtUserDialogs::EndAll() {
    FEnding = true;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(window);
        if (dialog != nullptr && dialog->isVisible() && dialog->isModal()) dialog->reject();
    }
}
