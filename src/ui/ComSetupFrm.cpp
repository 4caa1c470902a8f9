#include "ui/ComSetupFrm.h"

#include "device_link/CustomComPort.h"
#include "device_link/SettingsUpdate.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {

constexpr int ClientWidth = 231;
constexpr int ClientHeight = 216;

TComComboBox* AddRow(QFormLayout& rows, const char* caption, TComProperty property) {
    auto* box = new TComComboBox;
    box->SetComProperty(property);
    rows.addRow(QString::fromLatin1(caption), box);
    return box;
}

} // namespace

TComSetupFrm::TComSetupFrm(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Setup"));
    auto* group = new QGroupBox(QStringLiteral(" Settings "));
    auto* rows = new QFormLayout(group);
    Combo1 = AddRow(*rows, "Port", cpPort);
    Combo2 = AddRow(*rows, "Baud rate", cpBaudRate);
    Combo3 = AddRow(*rows, "Data bits", cpDataBits);
    Combo4 = AddRow(*rows, "Stop bits", cpStopBits);
    Combo5 = AddRow(*rows, "Parity", cpParity);
    Combo6 = AddRow(*rows, "Flow control", cpFlowControl);

    Button1 = new QPushButton(QStringLiteral("OK"));
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Cancel"));
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons);
    const QList<QWidget*> tabOrder{Combo1, Combo2, Combo3, Combo4, Combo5, Combo6, Button1, Button2};
    for (qsizetype i = 1; i < tabOrder.size(); ++i) setTabOrder(tabOrder[i - 1], tabOrder[i]);
    // Never smaller than the layout needs: squeezed drop-downs would be clipped.
    setFixedSize(sizeHint().expandedTo(QSize(ClientWidth, ClientHeight)));
    move(screen()->availableGeometry().center() - rect().center());
}

QList<TComComboBox*> TComSetupFrm::Boxes() const { return {Combo1, Combo2, Combo3, Combo4, Combo5, Combo6}; }

void TComSetupFrm::Bind(TCustomComPort& port) {
    for (TComComboBox* box : Boxes()) box->SetComPort(&port);
    for (TComComboBox* box : Boxes()) box->GetSelect().SelectPortValue();
}

void TComSetupFrm::ApplyChoices(TCustomComPort& port) {
    const TSettingsUpdate update(port);
    for (TComComboBox* box : Boxes()) box->GetSelect().ApplyToPort();
}

void ShowSetupDialog(TCustomComPort& Port, QWidget* parent) {
    TComSetupFrm dialog(parent);
    dialog.Bind(Port);
    if (dialog.exec() == QDialog::Accepted) dialog.ApplyChoices(Port);
}
