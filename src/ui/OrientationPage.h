#pragma once

#include "terminal/OrientationPresenter.h"

#include <QWidget>

#include <memory>

namespace Ui {
class TOrientationPage;
}
class TCompassForm;

// The "Orientation" page of the bottom panel, over its presenter, with the compass window.
class TOrientationPage final : public QWidget {
    Q_OBJECT
public:
    TOrientationPage(TTerminalSession& session, TUserDialogs& dialogs, QWidget* parent = nullptr);
    ~TOrientationPage() override;

    TOrientationPresenter& Presenter() { return FPresenter; }
    TCompassForm& Compass() { return *FCompass; }

private:
    void FixValueColumnWidth();
    void ShowLabels(const TOrientationPresenter::TLabels& labels);

    std::unique_ptr<Ui::TOrientationPage> ui;
    TOrientationPresenter FPresenter;
    std::unique_ptr<TCompassForm> FCompass;
};
