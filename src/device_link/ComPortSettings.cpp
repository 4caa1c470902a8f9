#include "device_link/ComPortSettings.h"

#include "device_link/ComSettingTexts.h"
#include "device_link/CustomComPort.h"
#include "device_link/EComPort.h"
#include "device_link/SettingsUpdate.h"

#include <cstdint>
#include <exception>
#include <functional>

namespace {

// One description of the stored values serves both directions: each call names a value, gives
// the property's current value and says how to set it. Saving writes the current value;
// loading reads the stored one and sets it.
class TSettingsExchange {
public:
    using TTextSetter = std::function<void(const QString&)>;
    using TIntegerSetter = std::function<void(std::int32_t)>;

    explicit TSettingsExchange(TSettingsStore& Store) : FStore(Store) {}
    virtual ~TSettingsExchange() = default;

    virtual void Text(const QString& Name, const QString& Current, const TTextSetter& Set) = 0;
    // `MissingInIni` is what an INI file without the value gives.
    virtual void Integer(const QString& Name, std::int32_t Current, std::int32_t MissingInIni,
                         const TIntegerSetter& Set) = 0;

    void Integer(const QString& Name, std::int32_t Current, const TIntegerSetter& Set) {
        Integer(Name, Current, Current, Set);
    }

    template <typename E, typename Setter>
    void Choice(const QString& Name, E Current, const QStringList& Texts, E Fallback, Setter Set) {
        Text(Name, TextOfValue(Current, Texts), [&](const QString& text) { Set(ValueOfText(text, Texts, Fallback)); });
    }

    template <typename Setter> void YesNo(const QString& Name, bool Current, Setter Set) {
        Text(Name, YesNoText(Current), [&](const QString& text) { Set(IsYesText(text)); });
    }

    template <typename Setter> void Character(const QString& Name, std::uint8_t Current, Setter Set) {
        Text(Name, CharacterText(Current), [&](const QString& text) { Set(CharacterOfText(text)); });
    }

protected:
    TSettingsStore& FStore;
};

class TSettingsWriter : public TSettingsExchange {
public:
    using TSettingsExchange::Integer;
    using TSettingsExchange::TSettingsExchange;

    void Text(const QString& Name, const QString& Current, const TTextSetter&) override {
        FStore.WriteText(Name, Current);
    }
    void Integer(const QString& Name, std::int32_t Current, std::int32_t, const TIntegerSetter&) override {
        FStore.WriteInteger(Name, Current);
    }
};

class TSettingsReader : public TSettingsExchange {
public:
    using TSettingsExchange::Integer;
    using TSettingsExchange::TSettingsExchange;

    void Text(const QString& Name, const QString& Current, const TTextSetter& Set) override {
        Set(FStore.ReadText(Name, Current));
    }
    void Integer(const QString& Name, std::int32_t, std::int32_t MissingInIni, const TIntegerSetter& Set) override {
        Set(FStore.ReadInteger(Name, MissingInIni));
    }
};

QString Name(const char* name) { return QString::fromLatin1(name); }

void ExchangeBasic(TSettingsExchange& x, TCustomComPort& port) {
    x.Text(Name("Port"), QString::fromStdString(port.GetPort()),
           [&](const QString& name) { port.SetPort(name.toStdString()); });
    x.Choice(Name("BaudRate"), port.GetBaudRate(), BaudRateTexts(), br9600,
             [&](TBaudRate value) { port.SetBaudRate(value); });
    if (port.GetBaudRate() == brCustom)
        x.Integer(Name("CustomBaudRate"), port.GetCustomBaudRate(), 9600,
                  [&](std::int32_t value) { port.SetCustomBaudRate(value); });
    x.Choice(Name("StopBits"), port.GetStopBits(), StopBitsTexts(), sbOneStopBit,
             [&](TStopBits value) { port.SetStopBits(value); });
    x.Choice(Name("DataBits"), port.GetDataBits(), DataBitsTexts(), dbEight,
             [&](TDataBits value) { port.SetDataBits(value); });
    x.Choice(Name("Parity"), port.GetParity().GetBits(), ParityTexts(), prNone,
             [&](TParityBits value) { port.GetParity().SetBits(value); });
    x.Choice(Name("FlowControl"), port.GetFlowControl().GetFlowControl(), FlowControlTexts(), fcCustom,
             [&](TFlowControl value) { port.GetFlowControl().SetFlowControl(value); });
}

void ExchangeOthers(TSettingsExchange& x, TCustomComPort& port) {
    x.Character(Name("EventChar"), port.GetEventChar(), [&](std::uint8_t value) { port.SetEventChar(value); });
    x.YesNo(Name("DiscardNull"), port.GetDiscardNull(), [&](bool value) { port.SetDiscardNull(value); });
}

void ExchangeParity(TSettingsExchange& x, TComParity& parity) {
    x.YesNo(Name("Parity.Check"), parity.GetCheck(), [&](bool value) { parity.SetCheck(value); });
    x.YesNo(Name("Parity.Replace"), parity.GetReplace(), [&](bool value) { parity.SetReplace(value); });
    x.Character(Name("Parity.ReplaceChar"), parity.GetReplaceChar(),
                [&](std::uint8_t value) { parity.SetReplaceChar(value); });
}

void ExchangeBuffer(TSettingsExchange& x, TComBuffer& buffer) {
    x.Integer(Name("Buffer.OutputSize"), buffer.GetOutputSize(), [&](std::int32_t value) { buffer.SetOutputSize(value); });
    x.Integer(Name("Buffer.InputSize"), buffer.GetInputSize(), [&](std::int32_t value) { buffer.SetInputSize(value); });
}

void ExchangeTimeouts(TSettingsExchange& x, TComTimeouts& timeouts) {
    x.Integer(Name("Timeouts.ReadInterval"), timeouts.GetReadInterval(),
              [&](std::int32_t value) { timeouts.SetReadInterval(value); });
    x.Integer(Name("Timeouts.ReadTotalConstant"), timeouts.GetReadTotalConstant(),
              [&](std::int32_t value) { timeouts.SetReadTotalConstant(value); });
    x.Integer(Name("Timeouts.ReadTotalMultiplier"), timeouts.GetReadTotalMultiplier(),
              [&](std::int32_t value) { timeouts.SetReadTotalMultiplier(value); });
    x.Integer(Name("Timeouts.WriteTotalConstant"), timeouts.GetWriteTotalConstant(),
              [&](std::int32_t value) { timeouts.SetWriteTotalConstant(value); });
    x.Integer(Name("Timeouts.WriteTotalMultiplier"), timeouts.GetWriteTotalMultiplier(),
              [&](std::int32_t value) { timeouts.SetWriteTotalMultiplier(value); });
}

void ExchangeFlowControl(TSettingsExchange& x, TComFlowControl& flow) {
    x.Choice(Name("FlowControl.ControlRTS"), flow.GetControlRTS(), RTSControlTexts(), rtsDisable,
             [&](TRTSFlowControl value) { flow.SetControlRTS(value); });
    x.Choice(Name("FlowControl.ControlDTR"), flow.GetControlDTR(), DTRControlTexts(), dtrDisable,
             [&](TDTRFlowControl value) { flow.SetControlDTR(value); });
    x.YesNo(Name("FlowControl.DSRSensitivity"), flow.GetDSRSensitivity(), [&](bool value) { flow.SetDSRSensitivity(value); });
    x.YesNo(Name("FlowControl.OutCTSFlow"), flow.GetOutCTSFlow(), [&](bool value) { flow.SetOutCTSFlow(value); });
    x.YesNo(Name("FlowControl.OutDSRFlow"), flow.GetOutDSRFlow(), [&](bool value) { flow.SetOutDSRFlow(value); });
    x.YesNo(Name("FlowControl.TxContinueOnXoff"), flow.GetTxContinueOnXoff(),
            [&](bool value) { flow.SetTxContinueOnXoff(value); });
    x.YesNo(Name("FlowControl.XonXoffIn"), flow.GetXonXoffIn(), [&](bool value) { flow.SetXonXoffIn(value); });
    x.YesNo(Name("FlowControl.XonXoffOut"), flow.GetXonXoffOut(), [&](bool value) { flow.SetXonXoffOut(value); });
    x.Character(Name("FlowControl.XoffChar"), flow.GetXoffChar(), [&](std::uint8_t value) { flow.SetXoffChar(value); });
    x.Character(Name("FlowControl.XonChar"), flow.GetXonChar(), [&](std::uint8_t value) { flow.SetXonChar(value); });
}

void ExchangeGroups(TSettingsExchange& x, TCustomComPort& port, TStoredGroups groups) {
    if (groups.Contains(sgBasic)) ExchangeBasic(x, port);
    if (groups.Contains(sgOthers)) ExchangeOthers(x, port);
    if (groups.Contains(sgParity)) ExchangeParity(x, port.GetParity());
    if (groups.Contains(sgBuffer)) ExchangeBuffer(x, port.GetBuffer());
    if (groups.Contains(sgTimeouts)) ExchangeTimeouts(x, port.GetTimeouts());
    if (groups.Contains(sgFlowControl)) ExchangeFlowControl(x, port.GetFlowControl());
}

// Callers get the operation's own code whatever went wrong; the cause stays attached as the
// nested exception.
template <typename Body> void WithErrorCode(int errorCode, Body body) {
    try {
        body();
    } catch (...) {
        std::throw_with_nested(EComPort(errorCode));
    }
}

} // namespace

TComPortSettings::TComPortSettings(TCustomComPort& Port, const QString& ComponentName)
    : FPort(Port), FComponentName(ComponentName) {}

void TComPortSettings::SaveSettings(TStoreType StoreType, const QString& Path) {
    WithErrorCode(ComError::StoreSettings, [&] {
        TSettingsStore store(StoreType, Path, FComponentName);
        TSettingsWriter writer(store);
        ExchangeGroups(writer, FPort, FStoredGroups);
        store.Flush();
    });
}

void TComPortSettings::LoadSettings(TStoreType StoreType, const QString& Path) {
    WithErrorCode(ComError::LoadSettings, [&] {
        const TSettingsUpdate update(FPort);
        TSettingsStore store(StoreType, Path, FComponentName);
        TSettingsReader reader(store);
        ExchangeGroups(reader, FPort, FStoredGroups);
    });
}
