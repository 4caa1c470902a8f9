#include "ui/DiscSettingsForm.h"

#include "ui_DiscSettingsForm.h"

#include <QScreen>

TDiscSettingsForm::TDiscSettingsForm(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TDiscSettingsForm>()) {
    ui->setupUi(this);
    setFixedSize(size());
    connect(ui->Button1, &QPushButton::clicked, this, [this] { Fill(TDiscSettings::Defaults()); });
    connect(ui->BitBtn2, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->BitBtn3, &QPushButton::clicked, this, &QDialog::reject);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TDiscSettingsForm::~TDiscSettingsForm() = default;

void TDiscSettingsForm::Fill(const TDiscSettings& settings) {
    ui->SpinEditConnectionSurveyInterval->setValue(settings.ConnectionSurveyInterval);
    ui->CheckBoxDisconUseCloseOpenPort->setChecked(settings.DisconUseCloseOpenPort);
    ui->SpinEditDisconDelayBetweenCloseOpenPort->setValue(settings.DisconDelayBetweenCloseOpenPort);
    ui->SpinEditDisconMaxTry->setValue(settings.DisconMaxTry);
}

TDiscSettings TDiscSettingsForm::Settings() const {
    return {ui->SpinEditConnectionSurveyInterval->value(), ui->CheckBoxDisconUseCloseOpenPort->isChecked(),
            ui->SpinEditDisconDelayBetweenCloseOpenPort->value(), ui->SpinEditDisconMaxTry->value()};
}

void TDiscSettingsForm::accept() {
    const std::string refusal = TDiscSettings::MaxTryRefusal(ui->SpinEditDisconMaxTry->cleanText().toStdString());
    ui->LabelRefusal->setText(QString::fromStdString(refusal));
    if (refusal.empty()) QDialog::accept();
    else ui->SpinEditDisconMaxTry->setFocus();
}

bool TDiscSettingsForm::EditDeviceSettings(TKelvoDevice& device, QWidget* parent) {
    TDiscSettingsForm dialog(parent);
    dialog.setWindowTitle(Caption);
    dialog.Fill(TDiscSettings::FromDevice(device));
    if (dialog.exec() != QDialog::Accepted) return false;
    dialog.Settings().ApplyTo(device);
    return true;
}
