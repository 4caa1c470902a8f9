#include "ui/OrientationPage.h"

#include "ui_OrientationPage.h"

#include "ui/CompassForm.h"

#include <QLocale>
#include <QSignalBlocker>

#include <algorithm>
#include <array>

TOrientationPage::TOrientationPage(TTerminalSession& session, TUserDialogs& dialogs, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::TOrientationPage>()), FPresenter(session, dialogs),
      FCompass(std::make_unique<TCompassForm>()) {
    ui->setupUi(this);
    FixValueColumnWidth();
    // The dial shows the heading; it takes no input.
    ui->Compasso2->setAttribute(Qt::WA_TransparentForMouseEvents);
    FPresenter.OnLabels = [this](const TOrientationPresenter::TLabels& labels) { ShowLabels(labels); };
    FPresenter.OnHexLabels = [this](const std::string& hex1, const std::string& hex2) {
        ui->lbl_RotationHex1->setText(QString::fromStdString(hex1));
        ui->lbl_RotationHex2->setText(QString::fromStdString(hex2));
    };
    FPresenter.OnWriteHexValuesUnchecked = [this] {
        const QSignalBlocker blocker(ui->CheckBoxWriteHexValues);
        ui->CheckBoxWriteHexValues->setChecked(false);
    };
    connect(ui->BtSetStartingAngle, &QPushButton::clicked, this, [this] { FPresenter.SetStartingAngle(); });
    connect(ui->BtViewCompass, &QPushButton::clicked, this, [this] { FCompass->show(); });
    connect(ui->CheckBoxWriteHexValues, &QCheckBox::clicked, this,
            [this](bool checked) { FPresenter.SetWriteHexValues(checked); });
}

TOrientationPage::~TOrientationPage() = default;

// The value column is as wide as its widest text can be, so that the dial and the buttons beside it
// stay where they are while the values change twice a second.
void TOrientationPage::FixValueColumnWidth() {
    const QLocale locale;
    const QString widestAngle = QStringLiteral("-888") + locale.decimalPoint() + QStringLiteral("8\u00B0");
    const std::array<std::pair<QLabel*, QString>, 5> values{{{ui->lbl_RotationHex1, QStringLiteral("WW")},
                                                             {ui->lbl_RotationHex2, QStringLiteral("WW")},
                                                             {ui->lbl_RotationByte3, QStringLiteral("-888")},
                                                             {ui->lbl_RotationByte4, QStringLiteral("-888")},
                                                             {ui->lbl_RotationAngle3, widestAngle}}};
    int width = 0;
    for (const auto& [label, widest] : values) {
        label->ensurePolished(); // the bold angle's style sheet sets its font
        width = std::max({width, label->minimumWidth(), label->fontMetrics().horizontalAdvance(widest)});
    }
    for (const auto& [label, widest] : values) label->setFixedWidth(width);
}

void TOrientationPage::ShowLabels(const TOrientationPresenter::TLabels& labels) {
    ui->lbl_RotationHex1->setText(QString::fromStdString(labels.Hex1));
    ui->lbl_RotationHex2->setText(QString::fromStdString(labels.Hex2));
    ui->lbl_RotationByte3->setText(QString::fromStdString(labels.Byte1));
    ui->lbl_RotationByte4->setText(QString::fromStdString(labels.Byte2));
    ui->lbl_RotationAngle3->setText(QString::fromStdString(labels.Angle));
    // The dial's 0 is at its bottom: half a turn puts north at the top.
    ui->Compasso2->setValue((labels.Heading + 180) % 360);
    FCompass->SetHeading(labels.Heading);
}
