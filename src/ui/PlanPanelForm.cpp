#include "ui/PlanPanelForm.h"

#include "ui_PlanPanelForm.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>
#include <QShowEvent>

#include <algorithm>

namespace {

QString Text(const std::string& text) { return QString::fromStdString(text); }

QColor StateColour(TPlanExecution::TState state) {
    switch (state) {
    case TPlanExecution::stPassed: return QColor(0, 120, 0);
    case TPlanExecution::stFailed: return QColor(200, 0, 0);
    case TPlanExecution::stRunning: return QColor(0, 70, 200);
    default: return QColor(110, 110, 110);
    }
}

} // namespace

TPlanPanelForm::TPlanPanelForm(TTerminalSession& session, TSetPointControls* setPoints, QWidget* parent)
    : QWidget(parent, Qt::Window), ui(std::make_unique<Ui::TPlanPanelForm>()), FPresenter(session, setPoints) {
    ui->setupUi(this);
    setWindowTitle(Caption);
    QHeaderView& header = *ui->ListSteps->header();
    header.setStretchLastSection(false);
    for (int column = 0; column < ui->ListSteps->columnCount(); ++column)
        header.setSectionResizeMode(column, column == 1 ? QHeaderView::Stretch : QHeaderView::ResizeToContents);
    ChooseFile = [this](const QString& caption, const QString& filter, bool save) {
        return save ? QFileDialog::getSaveFileName(this, caption, DefaultFolder(), filter)
                    : QFileDialog::getOpenFileName(this, caption, DefaultFolder(), filter);
    };
    FPresenter.OnChanged = [this] { Refresh(); };
    ConnectButtons();
    Refresh();
}

TPlanPanelForm::~TPlanPanelForm() = default;

void TPlanPanelForm::ConnectButtons() {
    connect(ui->ButtonOpenPlan, &QPushButton::clicked, this, [this] {
        const QPointer<TPlanPanelForm> alive(this);
        const QString path = ChooseFile("Open a test plan", "Test plans (*.json);;All files (*)", false);
        // The window may have closed, and the panel with it, while the dialog was open.
        if (alive && !path.isEmpty()) OpenPlan(path);
    });
    connect(ui->ButtonStartStop, &QPushButton::clicked, this, [this] {
        ui->LabelMessage->clear();
        FPresenter.StartOrStop();
    });
    connect(ui->ButtonYes, &QPushButton::clicked, this, [this] { FPresenter.Answer(true); });
    connect(ui->ButtonNo, &QPushButton::clicked, this, [this] { FPresenter.Answer(false); });
    connect(ui->ButtonSaveReport, &QPushButton::clicked, this, [this] { SaveReport(false); });
    connect(ui->ButtonSaveJUnit, &QPushButton::clicked, this, [this] { SaveReport(true); });
    connect(ui->ButtonClose, &QPushButton::clicked, this, &QWidget::close);
}

void TPlanPanelForm::OpenPlan(const QString& path) {
    ui->LabelMessage->setText(Text(FPresenter.Load(path.toStdString())));
    Refresh();
}

void TPlanPanelForm::SaveReport(bool junit) {
    const QPointer<TPlanPanelForm> alive(this);
    const QString path = ChooseFile(junit ? "Save the JUnit XML" : "Save the report",
                                    junit ? "JUnit XML (*.xml)" : "Text (*.txt)", true);
    if (!alive || path.isEmpty()) return;
    const std::string failure = FPresenter.SaveReport(path.toStdString(), junit);
    ui->LabelMessage->setText(failure.empty() ? "Saved " + path : "Not saved: " + Text(failure));
}

// The plans that ship with an installed program, else the user's home.
QString TPlanPanelForm::DefaultFolder() const {
    const QString shipped = QDir(QCoreApplication::applicationDirPath()).filePath("../share/kelvo-terminal/plans");
    return QFileInfo(shipped).isDir() ? QDir::cleanPath(shipped) : QDir::homePath();
}

void TPlanPanelForm::Refresh() {
    ui->LabelPlan->setText(Text(FPresenter.PlanTitle()));
    ui->ButtonStartStop->setText(Text(FPresenter.StartButtonCaption()));
    ui->ButtonStartStop->setEnabled(FPresenter.Loaded());
    ui->ButtonOpenPlan->setEnabled(!FPresenter.Running());
    ShowRows();
    // A bar without a maximum would show a busy animation while nothing is loaded.
    ui->ProgressBarPlan->setMaximum(std::max(1, static_cast<int>(FPresenter.Total())));
    ui->ProgressBarPlan->setValue(static_cast<int>(FPresenter.Done()));
    ui->ProgressBarPlan->setFormat(FPresenter.Total() == 0 ? QString() : QStringLiteral("%v of %m steps"));
    const QString question = Text(FPresenter.Question());
    ui->LabelQuestion->setText(question);
    ui->FrameQuestion->setVisible(!question.isEmpty());
    const QString verdict = Text(FPresenter.Verdict());
    ui->LabelVerdict->setText(verdict);
    ui->LabelVerdict->setStyleSheet(QString("font-size: 32pt; font-weight: bold; color: %1;")
                                        .arg(verdict == "PASSED" ? "#007800" : "#c80000"));
    ui->ButtonSaveReport->setEnabled(FPresenter.HasReport());
    ui->ButtonSaveJUnit->setEnabled(FPresenter.HasReport());
}

void TPlanPanelForm::ShowRows() {
    const std::vector<TPlanPanelPresenter::TRowView> rows = FPresenter.Rows();
    QTreeWidget& list = *ui->ListSteps;
    while (list.topLevelItemCount() > static_cast<int>(rows.size())) delete list.takeTopLevelItem(list.topLevelItemCount() - 1);
    while (list.topLevelItemCount() < static_cast<int>(rows.size())) list.addTopLevelItem(new QTreeWidgetItem());
    for (std::size_t index = 0; index < rows.size(); ++index) {
        const TPlanPanelPresenter::TRowView& row = rows[index];
        QTreeWidgetItem* item = list.topLevelItem(static_cast<int>(index));
        const QStringList texts{Text(row.Number), Text(row.Step), Text(row.State), Text(row.Value), Text(row.Expected)};
        for (int column = 0; column < texts.size(); ++column) {
            item->setText(column, texts[column]);
            item->setToolTip(column, texts[column]);
            item->setForeground(column, StateColour(row.Kind));
        }
        QFont font = item->font(2);
        font.setBold(row.Kind == TPlanExecution::stRunning || row.Kind == TPlanExecution::stFailed);
        item->setFont(2, font);
        if (row.Kind == TPlanExecution::stRunning) list.scrollToItem(item);
    }
}

// The first time it shows, the panel stands over the window that opened it.
void TPlanPanelForm::showEvent(QShowEvent* event) {
    if (!FPlaced && parentWidget()) move(parentWidget()->frameGeometry().center() - rect().center());
    FPlaced = true;
    QWidget::showEvent(event);
}

// Closing the panel ends a plan that runs: no plan goes on where nobody sees it.
void TPlanPanelForm::closeEvent(QCloseEvent* event) {
    FPresenter.Close();
    QWidget::closeEvent(event);
}
