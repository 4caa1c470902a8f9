#include "ui/GraphicsPage.h"

#include "ui_GraphicsPage.h"

#include "ui/GraphicsForm.h"

#include <QCheckBox>

TGraphicsPage::TGraphicsPage(TTerminalSession& session, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::TGraphicsPage>()), FSampler(session, FGraph),
      FGraphics(std::make_unique<TGraphicsForm>(FGraph)) {
    ui->setupUi(this);
    FSampler.ShowLastValue = FGraphics->ShowLastValue();
    FSampler.OnPointAdded = [this] { FGraphics->PointAdded(); };
    ConnectFields();
}

TGraphicsPage::~TGraphicsPage() = default;

void TGraphicsPage::ConnectFields() {
    connect(ui->ckb_EnableGraphic, &QCheckBox::clicked, this, [this](bool checked) { FSampler.SetEnabled(checked); });
    connect(ui->BtShowGraphics, &QPushButton::clicked, this, [this] {
        FGraphics->show();
        FGraphics->raise();
    });
    connect(ui->edt_SampleFrequency, &QLineEdit::textChanged, this,
            [this](const QString& text) { FSampler.SetSampleFrequencyText(text.toStdString()); });
    connect(ui->edt_PointsForPage, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (FSampler.SetPointsForPageText(text.toStdString())) FGraphics->Redraw();
    });
    connect(FGraphics->findChild<QCheckBox*>(QStringLiteral("CheckBoxShowLastValue")), &QCheckBox::toggled, this,
            [this](bool checked) { FSampler.ShowLastValue = checked; });
}
