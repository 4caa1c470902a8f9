#include "ui/ProgressDlgForm.h"

#include "device/ApplicationMessageEvent.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

namespace {
constexpr int ClientWidth = 461;
constexpr int ClientHeight = 69;
constexpr int LabelWidth = 441;
constexpr QSize BarSize(339, 17);
constexpr QSize ButtonSize(97, 25);
} // namespace

TProgressDlgForm::TProgressDlgForm(std::int32_t CancelMessage)
    : QDialog(nullptr, Qt::Dialog | Qt::FramelessWindowHint), FCancelMessage(CancelMessage) {
    setObjectName("ProgressDlgForm");
    setModal(false);
    setFixedSize(ClientWidth, ClientHeight);
    BuildLayout();
    BtCancel->setVisible(CancelMessage >= 0);
    connect(BtCancel, &QPushButton::clicked, this, [this] { SendCancelMessage(); });
    CentreOnScreen();
}

void TProgressDlgForm::BuildLayout() {
    auto* panel = new QFrame(this);
    panel->setFrameShape(QFrame::Box);
    panel->setFrameShadow(QFrame::Plain);
    panel->setGeometry(0, 0, ClientWidth, ClientHeight);

    LabelProgress = new QLabel("Progression:", panel);
    LabelProgress->setObjectName("LabelProgress");
    LabelProgress->setMinimumWidth(LabelWidth);

    ProgressBar = new QProgressBar(panel);
    ProgressBar->setObjectName("ProgressBar");
    ProgressBar->setFixedSize(BarSize);
    ProgressBar->setRange(0, 100);
    ProgressBar->setTextVisible(false);

    BtCancel = new QPushButton("&Annuler", panel);
    BtCancel->setObjectName("BtCancel");
    BtCancel->setFixedSize(ButtonSize);
    BtCancel->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));

    auto* row = new QHBoxLayout;
    row->addWidget(ProgressBar);
    row->addStretch();
    row->addWidget(BtCancel);
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(10, 6, 10, 6);
    column->addWidget(LabelProgress);
    column->addLayout(row);
}

void TProgressDlgForm::CentreOnScreen() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
}

void TProgressDlgForm::SetProgress(std::int32_t Max, std::int32_t Position) {
    // A bar whose range is empty moves as a busy bar; nothing to count is an empty bar.
    Max = std::max(Max, ProgressBar->minimum() + 1);
    if (ProgressBar->maximum() != Max) ProgressBar->setMaximum(Max);
    ProgressBar->setValue(Position);
}

void TProgressDlgForm::SetText(const QString& Text) {
    LabelProgress->setText(Text);
    LabelProgress->repaint();
}

void TProgressDlgForm::SendCancelMessage() {
    TApplicationMessageEvent message(static_cast<std::uint32_t>(FCancelMessage));
    QCoreApplication::sendEvent(QCoreApplication::instance(), &message);
}
