#include "terminal/TestPlan.h"

#include "terminal/EventText.h"

#include <cmath>

namespace TestPlanText {

const TNames<TPlanStepKind>& StepKinds() {
    using K = TPlanStepKind;
    static const TNames<K> names = {
        {"set", K::psSet}, {"wait", K::psWait}, {"expect", K::psExpect}, {"settle", K::psSettle}, {"ask", K::psAsk}};
    return names;
}

const TNames<TPlanFigure>& Figures() {
    using F = TPlanFigure;
    static const TNames<F> names = {
        {"speed", F::pfSpeed},       {"cadence", F::pfCadence},
        {"heart", F::pfHeart},       {"power", F::pfPower},
        {"energy", F::pfEnergy},     {"distance", F::pfDistance},
        {"serial", F::pfSerial},     {"firmware", F::pfFirmware},
        {"rate", F::pfRate},         {"key", F::pfKey},
        {"disconnections", F::pfDisconnections}, {"rejected", F::pfRejected},
        {"discarded", F::pfDiscarded}};
    return names;
}

const TNames<TPlanSetPoint>& SetPoints() {
    using S = TPlanSetPoint;
    static const TNames<S> names = {
        {"resistance", S::spResistance}, {"elevation", S::spElevation}, {"slope", S::spSlope}, {"weight", S::spWeight}};
    return names;
}

const TNames<TKelvoDeviceMessageType>& Messages() {
    static const TNames<TKelvoDeviceMessageType> names = {
        {"infos", mtInfos},   {"rollcount", mtRollCount},           {"serial", MtSerialNumber},
        {"identification", MtIdentification}, {"productversion", mtProductVersion}, {"ack", mtAck}};
    return names;
}

const TNames<TConsoleKey>& Keys() {
    static const TNames<TConsoleKey> names = {{"plus", ckPlus}, {"minus", ckMinus}, {"enter", ckEnter}, {"tab", ckTab}};
    return names;
}

const char* FigureUnit(TPlanFigure figure) {
    switch (figure) {
    case TPlanFigure::pfSpeed: return " km/h";
    case TPlanFigure::pfCadence: return " rpm";
    case TPlanFigure::pfHeart: return " bpm";
    case TPlanFigure::pfPower: return " W";
    case TPlanFigure::pfDistance: return " km";
    case TPlanFigure::pfRate: return "/s";
    case TPlanFigure::pfDiscarded: return " bytes";
    default: return "";
    }
}

std::string Number(double value) {
    std::string text = EventText::Fixed(value, 3);
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
    return text == "-0" ? "0" : text;
}

std::string Value(TPlanFigure figure, double value) {
    const bool whole = value == std::trunc(value);
    const int decimals = whole ? 0 : figure == TPlanFigure::pfDistance ? 3 : 2;
    return EventText::Fixed(value, decimals) + FigureUnit(figure);
}

std::string Bounds(const TPlanStep& step) {
    const std::string unit = step.Relative ? " x before" : FigureUnit(step.Figure);
    if (step.Min && step.Max) return *step.Min == *step.Max ? Number(*step.Min) + unit
                                                            : Number(*step.Min) + " to " + Number(*step.Max) + unit;
    if (step.Min) return "at least " + Number(*step.Min) + unit;
    if (step.Max) return "at most " + Number(*step.Max) + unit;
    return "";
}

namespace {

std::string Seconds(double seconds) { return Number(seconds) + " s"; }

std::string ExpectTitle(const TPlanStep& step) {
    if (step.Figure == TPlanFigure::pfKey) return "key " + NameOf(Keys(), *step.Key) + " pressed within " + Seconds(step.Seconds);
    std::string title = NameOf(Figures(), step.Figure) + " ";
    if (step.Figure == TPlanFigure::pfRate)
        return title + "of " + NameOf(Messages(), step.Message) + " " + Bounds(step) + " over " + Seconds(step.Seconds);
    title += Bounds(step);
    return step.Seconds > 0 ? title + " within " + Seconds(step.Seconds) : title;
}

} // namespace

std::string Title(const TPlanStep& step) {
    if (!step.Name.empty()) return step.Name;
    switch (step.Kind) {
    case TPlanStepKind::psSet: return "set " + NameOf(SetPoints(), step.SetPoint) + " " + Number(step.Value);
    case TPlanStepKind::psWait: return "wait " + Seconds(step.Seconds);
    case TPlanStepKind::psExpect: return ExpectTitle(step);
    case TPlanStepKind::psSettle:
        return NameOf(Figures(), step.Figure) + " settles " + Bounds(step) + " within " + Seconds(step.Seconds);
    case TPlanStepKind::psAsk: return "ask: " + step.Text;
    }
    return {};
}

} // namespace TestPlanText
