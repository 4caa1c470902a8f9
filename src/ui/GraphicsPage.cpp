#include "ui/GraphicsPage.h"

#include "ui_GraphicsPage.h"

#include "ui/GraphicsForm.h"

#include <QCheckBox>
#include <QSignalBlocker>

TGraphicsPage::TGraphicsPage(TTerminalSession& session, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::TGraphicsPage>()), FSampler(session, FGraph),
      FGraphics(std::make_unique<TGraphicsForm>(FGraph)) {
    ui->setupUi(this);
    FSampler.ShowLastValue = FGraphics->ShowLastValue();
    FSampler.OnPointAdded = [this] { FGraphics->PointAdded(); };
    ConnectFields();
}

TGraphicsPage::~TGraphicsPage() = default;

// Typing may pass through refused values ("0" on the way to "0100"); once the edit ends the field
// shows the value in force, and a refusal is said beside the fields.
void TGraphicsPage::EndEdit(QLineEdit& field, TGraphSampler::TField which) {
    const bool accepted = FSampler.ShowsValueInForce(which, field.text().toStdString());
    const QString refusal = accepted ? QString() : QString::fromLatin1(TGraphSampler::RefusalText(which));
    ui->LabelGraphicsRefusal->setText(refusal);
    const QSignalBlocker blocker(field);
    field.setText(QString::fromStdString(FSampler.ValueInForceText(which)));
}

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
    connect(ui->edt_SampleFrequency, &QLineEdit::editingFinished, this,
            [this] { EndEdit(*ui->edt_SampleFrequency, TGraphSampler::gfSampleFrequency); });
    connect(ui->edt_PointsForPage, &QLineEdit::editingFinished, this,
            [this] { EndEdit(*ui->edt_PointsForPage, TGraphSampler::gfPointsForPage); });
    connect(FGraphics->findChild<QCheckBox*>(QStringLiteral("CheckBoxShowLastValue")), &QCheckBox::toggled, this,
            [this](bool checked) { FSampler.ShowLastValue = checked; });
}
