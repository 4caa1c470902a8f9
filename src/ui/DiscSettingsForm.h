#pragma once

#include "terminal/DiscSettingsPresenter.h"

#include <QDialog>

#include <memory>

namespace Ui {
class TDiscSettingsForm;
}
class TKelvoDevice;

// The connection survey settings dialog: four settings of the device's survey and repair.
// OK is refused, with its reason in the dialog, while "Max commands" is empty or negative.
class TDiscSettingsForm final : public QDialog {
    Q_OBJECT
public:
    explicit TDiscSettingsForm(QWidget* parent = nullptr);
    ~TDiscSettingsForm() override;

    static constexpr const char* Caption = "Connection survey settings";

    void Fill(const TDiscSettings& settings);
    TDiscSettings Settings() const;
    void accept() override;

    // Fills a new dialog from the device, shows it modally and, on OK, writes the values back;
    // true when they were written.
    static bool EditDeviceSettings(TKelvoDevice& device, QWidget* parent);

private:
    std::unique_ptr<Ui::TDiscSettingsForm> ui;
};
