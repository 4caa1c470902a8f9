#include "monitor/MonitorCommand.h"

#include "device_link/TextNumber.h"
#include "device/KelvoDevice.h"

#include <array>
#include <cmath>
#include <sstream>
#include <stdexcept>

namespace {

struct TCommandSyntax {
    const char* Word;
    TMonitorCommandKind Kind;
    double Min;
    double Max;
    bool Whole;
    bool TakesNumber = true;
};

constexpr std::array<TCommandSyntax, 6> Syntax = {{
    {"resistance", TMonitorCommandKind::mcResistance, 0, 255, true},
    {"elevation", TMonitorCommandKind::mcElevation, 0, 9999, true},
    {"slope", TMonitorCommandKind::mcSlope, -100, 100, false},
    {"weight", TMonitorCommandKind::mcWeight, 0, 1000, false},
    {"quality", TMonitorCommandKind::mcQuality, 0, 0, true, false},
    {"quality-reset", TMonitorCommandKind::mcResetQuality, 0, 0, true, false},
}};

const TCommandSyntax& SyntaxOf(const std::string& word) {
    for (const TCommandSyntax& syntax : Syntax)
        if (word == syntax.Word) return syntax;
    throw std::invalid_argument("unknown command '" + word + "' (resistance, elevation, slope, weight, quality or quality-reset)");
}

} // namespace

TMonitorCommand ParseMonitorCommand(const std::string& line) {
    std::istringstream stream(line);
    std::string word, number, extra;
    stream >> word >> number >> extra;
    if (word.empty()) throw std::invalid_argument("empty command");
    const TCommandSyntax& syntax = SyntaxOf(word);
    if (!syntax.TakesNumber) {
        if (!number.empty()) throw std::invalid_argument("usage: " + word);
        return {syntax.Kind, 0};
    }
    if (number.empty() || !extra.empty()) throw std::invalid_argument("usage: " + word + " N");
    const double value = NumberOf(number, word, syntax.Min, syntax.Max);
    if (syntax.Whole && value != std::trunc(value))
        throw std::invalid_argument(word + ": " + number + " is not a whole number");
    return {syntax.Kind, value};
}

void ApplyMonitorCommand(TKelvoDevice& device, const TMonitorCommand& command) {
    const auto whole = static_cast<std::int32_t>(command.Value);
    switch (command.Kind) {
    case TMonitorCommandKind::mcResistance: device.SetKelvoResistance(whole); break;
    case TMonitorCommandKind::mcElevation: device.SetCurrentElevation(whole); break;
    case TMonitorCommandKind::mcSlope: device.SetCurrentSlope(command.Value); break;
    case TMonitorCommandKind::mcWeight: device.SetRiderWeight(command.Value); break;
    case TMonitorCommandKind::mcQuality:
    case TMonitorCommandKind::mcResetQuality: break;
    }
}

const char* MonitorCommandHelp() {
    return "resistance N   resistance set-point, 0 to 255\n"
           "elevation N    elevation, 0 to 9999\n"
           "slope N        road slope in percent, -100 to 100 (negative downhill)\n"
           "weight N       rider weight, 0 to 1000 (kg, or lb in miles)\n"
           "quality        print the link-quality ledger (QUALITY lines)\n"
           "quality-reset  start the ledger again from now\n";
}
