#include "device_link/TextNumber.h"

#include <cstdio>
#include <stdexcept>

namespace {

bool IsHexText(const std::string& text) { return text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'); }

std::string RangeText(double min, double max) {
    char text[80];
    std::snprintf(text, sizeof text, "%g to %g", min, max);
    return text;
}

} // namespace

double NumberOf(const std::string& text, const std::string& what, double min, double max) {
    double value = 0;
    std::size_t used = 0;
    try {
        value = IsHexText(text) ? static_cast<double>(std::stoul(text, &used, 16)) : std::stod(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != text.size())
        throw std::invalid_argument(what + ": '" + text + "' is not a number");
    if (!(value >= min && value <= max))
        throw std::invalid_argument(what + ": " + text + " is outside " + RangeText(min, max));
    return value;
}
