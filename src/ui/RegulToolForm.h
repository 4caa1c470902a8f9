#pragma once

#include "terminal/RegulToolFeed.h"
#include "terminal/RegulToolPresenter.h"

#include <QWidget>

#include <memory>

namespace Ui {
class TRegulToolForm;
}
class QSpinBox;

// "Regulations": a tool window to tune the device's averaging windows and heart survey while it
// runs, and to watch the raw arrays. A spin edit applies when committed (Enter, focus out, an
// arrow step), never per keystroke. It attaches itself to the feed while it is open; closing
// frees it.
class TRegulToolForm final : public QWidget, private TRegulToolView {
    Q_OBJECT
public:
    TRegulToolForm(TKelvoDevice* device, TRegulToolFeed& feed, QWidget* parent = nullptr);
    ~TRegulToolForm() override;

    static constexpr int MemoLines = 200;

protected:
    bool event(QEvent* event) override;

private:
    void ConnectFields();
    std::array<QSpinBox*, TRegulToolPresenter::FieldCount> Fields() const;
    void FillFields();

    // ---- TRegulToolView ----
    void ClearMemos() override;
    void AddHeartRegulLine(const std::string& line) override;
    void ShowHeartArray(const std::vector<std::string>& lines) override;
    void ShowSpeedAndCadenceArrays(const std::vector<std::string>& speed,
                                   const std::vector<std::string>& cadence) override;
    void ShowHeartLabel(const std::string& text) override;
    void ShowCadenceLabel(const std::string& text) override;
    void ShowSpeedLabel(const std::string& text) override;

    std::unique_ptr<Ui::TRegulToolForm> ui;
    TRegulToolPresenter FPresenter;
    TRegulToolFeed& FFeed;
};
