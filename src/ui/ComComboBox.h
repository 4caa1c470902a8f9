#pragma once

#include "device_link/ComSelect.h"

#include <QComboBox>

// A drop-down list (no free text) bound to one port property; the list and the chosen value
// live in its TComSelect, which the box only shows.
class TComComboBox : public QComboBox {
public:
    explicit TComComboBox(QWidget* parent = nullptr);

    TComProperty GetComProperty() const { return FSelect.GetComProperty(); }
    void SetComProperty(TComProperty value) { FSelect.SetComProperty(value); }
    TCustomComPort* GetComPort() const { return FSelect.GetComPort(); }
    void SetComPort(TCustomComPort* value) { FSelect.SetComPort(value); }
    bool GetAutoApply() const { return FSelect.GetAutoApply(); }
    void SetAutoApply(bool value) { FSelect.SetAutoApply(value); }

    QString GetText() const { return FSelect.GetText(); }
    void SetText(const QString& value) { FSelect.SetText(value); }

    TComSelect& GetSelect() { return FSelect; }

private:
    QStringList ShownItems() const;
    void ShowSelect();

    TComSelect FSelect;
};
