#include "ui/RegulToolForm.h"

#include "ui_RegulToolForm.h"

#include <QScreen>
#include <QSignalBlocker>

namespace {
QString LinesText(const std::vector<std::string>& lines) {
    QStringList text;
    text.reserve(static_cast<qsizetype>(lines.size()));
    for (const std::string& line : lines) text.append(QString::fromStdString(line));
    return text.join(u'\n');
}
} // namespace

TRegulToolForm::TRegulToolForm(TKelvoDevice* device, TRegulToolFeed& feed, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint), ui(std::make_unique<Ui::TRegulToolForm>()),
      FPresenter(device), FFeed(feed) {
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    ui->PageControl1->setCurrentIndex(0);
    // Only the heart memos are capped: the speed and cadence memos show a whole array of up to 300 values.
    for (QPlainTextEdit* memo : {ui->MemoHeartRegul, ui->MemoHeartArray}) memo->setMaximumBlockCount(MemoLines);
    ConnectFields();
    connect(ui->Button1, &QPushButton::clicked, this, [this] { FPresenter.ResetHeartCounters(); });
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    FFeed.Attach(*this);
}

TRegulToolForm::~TRegulToolForm() { FFeed.Detach(*this); }

std::array<QSpinBox*, TRegulToolPresenter::FieldCount> TRegulToolForm::Fields() const {
    return {ui->SpinEditSpeedArrayLength,    ui->SpinEditHeartArray,      ui->SpinEditCadenceArrayLength,
            ui->SpinEditHrDelayBeforeReset,  ui->SpinEditHrDeltaVariationLimit, ui->SpinEditheartCalcDelay,
            ui->SpinEditCadenceCalcDelay};
}

void TRegulToolForm::ConnectFields() {
    const auto fields = Fields();
    for (std::size_t index = 0; index < fields.size(); ++index) {
        QSpinBox* field = fields[index];
        const auto which = static_cast<TRegulToolPresenter::TField>(index);
        connect(field, &QSpinBox::valueChanged, this, [this, field, which] {
            const std::string refusal = FPresenter.Commit(which, field->cleanText().toStdString());
            ui->LabelRefusal->setText(QString::fromStdString(refusal));
            if (refusal.empty()) return;
            // The field shows what the device runs with, not the value it refused.
            const QSignalBlocker blocker(field);
            field->setValue(FPresenter.InForce(which));
        });
    }
}

// The fields come from the device at the first activation only: later changes made elsewhere
// do not show.
bool TRegulToolForm::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate) FillFields();
    return QWidget::event(event);
}

void TRegulToolForm::FillFields() {
    const auto values = FPresenter.Activated();
    if (!values) return;
    const auto fields = Fields();
    for (std::size_t index = 0; index < fields.size(); ++index) {
        const QSignalBlocker blocker(fields[index]);
        fields[index]->setValue((*values)[index]);
    }
}

void TRegulToolForm::ClearMemos() {
    ui->MemoSpeed->clear();
    ui->MemoHeartRegul->clear();
    ui->MemoHeartArray->clear();
}

void TRegulToolForm::AddHeartRegulLine(const std::string& line) {
    ui->MemoHeartRegul->appendPlainText(QString::fromStdString(line));
}

void TRegulToolForm::ShowHeartArray(const std::vector<std::string>& lines) {
    ui->MemoHeartArray->setPlainText(LinesText(lines));
}

void TRegulToolForm::ShowSpeedAndCadenceArrays(const std::vector<std::string>& speed,
                                               const std::vector<std::string>& cadence) {
    ui->MemoSpeed->setPlainText(LinesText(speed));
    ui->MemoCadence->setPlainText(LinesText(cadence));
}

void TRegulToolForm::ShowHeartLabel(const std::string& text) { ui->LabelHR->setText(QString::fromStdString(text)); }

void TRegulToolForm::ShowCadenceLabel(const std::string& text) {
    ui->LabelAvgCadence->setText(QString::fromStdString(text));
}

void TRegulToolForm::ShowSpeedLabel(const std::string& text) { ui->LabelSpeed->setText(QString::fromStdString(text)); }
