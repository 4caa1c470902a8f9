#pragma once

#include "device_link/Component.h"

#include <QString>
#include <QStringList>

#include <functional>

class TCustomComPort;

enum TComProperty { cpNone, cpPort, cpBaudRate, cpDataBits, cpStopBits, cpParity, cpFlowControl };

// The list and the chosen value behind a drop-down list bound to one port property. It keeps
// no widget, so the choosing rules are the same for every list that shows it.
class TComSelect : public TComponent {
public:
    TComSelect();
    ~TComSelect() override;

    TComProperty GetComProperty() const { return FComProperty; }
    // Fills the list for the property (the serial ports for cpPort), then selects the port's
    // current value, or the first item when no port is bound.
    void SetComProperty(TComProperty value);

    TCustomComPort* GetComPort() const { return FComPort; }
    // Binding selects the port's current value.
    void SetComPort(TCustomComPort* value);

    bool GetAutoApply() const { return FAutoApply; }
    void SetAutoApply(bool value) { FAutoApply = value; }

    const QStringList& GetItems() const { return FItems; }
    int GetItemIndex() const { return FItemIndex; }
    const QString& GetChosen() const { return FChosen; }

    // The selected item's text; empty when none is selected.
    QString GetText() const;
    // Selects the item with that text, if there is one.
    void SetText(const QString& value);

    // Selects the item showing the port's current value. A port name missing from the list is
    // added and selected, so that confirming without a choice keeps the port; with no item to
    // show (an empty name) none is selected and the chosen value is the port's own.
    void SelectPortValue();
    // The user picked an item: it becomes the chosen value, written at once with AutoApply.
    void Choose(int index);
    // Writes the chosen value to the bound port.
    void ApplyToPort();

    // Raised whenever the list or the selection changed, so a view can follow.
    std::function<void()> OnChange;

protected:
    void Notification(TComponent* component, TOperation operation) override;

private:
    QStringList ItemsOf(TComProperty property) const;
    QString PortValueText() const;
    void SelectIndex(int index);
    void AddMissingPortName(const QString& name);
    void Changed() const;

    TComProperty FComProperty = cpNone;
    TCustomComPort* FComPort = nullptr;
    bool FAutoApply = false;
    QStringList FItems;
    int FItemIndex = -1;
    QString FChosen;
};
