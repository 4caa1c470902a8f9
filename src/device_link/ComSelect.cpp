#include "device_link/ComSelect.h"

#include "device_link/ComSettingTexts.h"
#include "device_link/CustomComPort.h"
#include "device_link/SerialPortList.h"

#include <algorithm>

namespace {

const QStringList& ChoiceTexts(TComProperty property) {
    static const QStringList none;
    switch (property) {
    case cpBaudRate: return BaudRateTexts();
    case cpDataBits: return DataBitsTexts();
    case cpStopBits: return StopBitsTexts();
    case cpParity: return ParityTexts();
    case cpFlowControl: return FlowControlTexts();
    default: return none;
    }
}

int IndexIgnoringCase(const QStringList& items, const QString& text) {
    for (qsizetype i = 0; i < items.size(); ++i)
        if (items[i].compare(text, Qt::CaseInsensitive) == 0) return static_cast<int>(i);
    return -1;
}

// A choice text back into the port: a text that names no value leaves the port as it is.
template <typename E, typename Setter>
void SetChoice(const QString& text, TComProperty property, E current, Setter set) {
    set(ValueOfText(text, ChoiceTexts(property), current));
}

} // namespace

TComSelect::TComSelect() = default;

TComSelect::~TComSelect() {
    SetComPort(nullptr);
    BeginDestruction();
}

void TComSelect::SetComProperty(TComProperty value) {
    FComProperty = value;
    FItems = ItemsOf(value);
    FItemIndex = -1;
    if (!FItems.isEmpty()) {
        if (FComPort == nullptr)
            SelectIndex(0);
        else
            SelectPortValue();
    }
    Changed();
}

QStringList TComSelect::ItemsOf(TComProperty property) const {
    if (property != cpPort) return ChoiceTexts(property);
    QStringList ports;
    ListSerialPorts(ports);
    return ports;
}

void TComSelect::SetComPort(TCustomComPort* value) {
    if (value == FComPort) return;
    if (FComPort != nullptr) FComPort->RemoveFreeNotification(this);
    FComPort = value;
    if (FComPort == nullptr) return;
    FComPort->FreeNotification(this);
    SelectPortValue();
}

void TComSelect::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation != opRemove || component != FComPort) return;
    FComPort = nullptr;
    if (!FItems.isEmpty()) SelectIndex(0);
    Changed();
}

QString TComSelect::GetText() const { return FItemIndex >= 0 ? FItems[FItemIndex] : QString(); }

void TComSelect::SetText(const QString& value) {
    const int index = IndexIgnoringCase(FItems, value);
    if (index < 0) return;
    SelectIndex(index);
    Changed();
}

QString TComSelect::PortValueText() const {
    switch (FComProperty) {
    case cpPort: return QString::fromStdString(FComPort->GetPort());
    case cpBaudRate: return TextOfValue(FComPort->GetBaudRate(), BaudRateTexts());
    case cpDataBits: return TextOfValue(FComPort->GetDataBits(), DataBitsTexts());
    case cpStopBits: return TextOfValue(FComPort->GetStopBits(), StopBitsTexts());
    case cpParity: return TextOfValue(FComPort->GetParity().GetBits(), ParityTexts());
    case cpFlowControl: return TextOfValue(FComPort->GetFlowControl().GetFlowControl(), FlowControlTexts());
    default: return {};
    }
}

void TComSelect::SelectPortValue() {
    if (FComPort == nullptr || FComProperty == cpNone) return;
    const QString text = PortValueText();
    if (FComProperty == cpPort) AddMissingPortName(text);
    const int index = IndexIgnoringCase(FItems, text);
    if (index >= 0) {
        SelectIndex(index);
    } else {
        // Nothing shown means nothing chosen: confirming keeps the port's own value (an empty
        // port name stays empty) instead of the item selected before binding.
        FItemIndex = -1;
        FChosen = text;
    }
    Changed();
}

// A port that is not (or no longer) listed, such as an unplugged adapter or a path typed into
// the settings, stays choosable instead of being replaced by an empty name.
void TComSelect::AddMissingPortName(const QString& name) {
    if (name.isEmpty() || IndexIgnoringCase(FItems, name) >= 0) return;
    const auto place = std::lower_bound(FItems.begin(), FItems.end(), name, [](const QString& item, const QString& text) {
        return item.compare(text, Qt::CaseInsensitive) < 0;
    });
    FItems.insert(place, name);
}

void TComSelect::SelectIndex(int index) {
    FItemIndex = index;
    FChosen = FItems[index];
}

void TComSelect::Choose(int index) {
    if (index < 0 || index >= FItems.size()) return;
    SelectIndex(index);
    Changed();
    if (FAutoApply) ApplyToPort();
}

void TComSelect::ApplyToPort() {
    if (FComPort == nullptr) return;
    TCustomComPort& port = *FComPort;
    switch (FComProperty) {
    case cpPort: port.SetPort(FChosen.toStdString()); break;
    case cpBaudRate: SetChoice(FChosen, FComProperty, port.GetBaudRate(), [&](TBaudRate v) { port.SetBaudRate(v); }); break;
    case cpDataBits: SetChoice(FChosen, FComProperty, port.GetDataBits(), [&](TDataBits v) { port.SetDataBits(v); }); break;
    case cpStopBits: SetChoice(FChosen, FComProperty, port.GetStopBits(), [&](TStopBits v) { port.SetStopBits(v); }); break;
    case cpParity:
        SetChoice(FChosen, FComProperty, port.GetParity().GetBits(), [&](TParityBits v) { port.GetParity().SetBits(v); });
        break;
    case cpFlowControl:
        SetChoice(FChosen, FComProperty, port.GetFlowControl().GetFlowControl(),
                  [&](TFlowControl v) { port.GetFlowControl().SetFlowControl(v); });
        break;
    default: break;
    }
}

void TComSelect::Changed() const {
    if (OnChange) OnChange();
}
