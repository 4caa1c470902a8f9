#pragma once

#include "terminal/PlanPanelPresenter.h"

#include <QWidget>

#include <functional>
#include <memory>

namespace Ui {
class TPlanPanelForm;
}
class TSetPointControls;
class TTerminalSession;

// "Run test plan...": the plan's steps, each running, passed with its value or failed with its
// value and bound, a progress bar, Start/Stop, the operator's question with its buttons, and the
// verdict in large letters. A window of its own, so the ride and every other window go on.
class TPlanPanelForm final : public QWidget {
    Q_OBJECT
public:
    TPlanPanelForm(TTerminalSession& session, TSetPointControls* setPoints, QWidget* parent);
    ~TPlanPanelForm() override;

    static constexpr const char* Caption = "Test plan";

    TPlanPanelPresenter& Presenter() { return FPresenter; }
    // Loads the plan at `path`, or tells why it cannot run.
    void OpenPlan(const QString& path);
    // The file dialogs; tests answer them. Returns the path chosen, empty for none.
    std::function<QString(const QString& caption, const QString& filter, bool save)> ChooseFile;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void ConnectButtons();
    void SaveReport(bool junit);
    void Refresh();
    void ShowRows();
    QString DefaultFolder() const;

    std::unique_ptr<Ui::TPlanPanelForm> ui;
    TPlanPanelPresenter FPresenter;
    bool FPlaced = false;
};
