#include "console_sim/ConsoleCommand.h"

#include "device_link/TextNumber.h"

#include <algorithm>
#include <functional>
#include <map>
#include <sstream>
#include <stdexcept>

namespace {

using TArgs = std::vector<std::string>;
using TParser = std::function<TConsoleCommand(const TArgs&)>;

constexpr double LongestMs = 24.0 * 3600 * 1000;

TArgs Words(const std::string& line) {
    std::istringstream stream(line);
    TArgs words;
    for (std::string word; stream >> word;) words.push_back(word);
    return words;
}

void RequireArgs(const TArgs& args, std::size_t least, std::size_t most, const std::string& usage) {
    if (args.size() < least + 1 || args.size() > most + 1) throw std::invalid_argument("usage: " + usage);
}

double Optional(const TArgs& args, std::size_t index, double fallback, const std::string& what, double min, double max) {
    return args.size() > index ? NumberOf(args[index], what, min, max) : fallback;
}

// Commands with one number in a range.
TParser OneNumber(TSimCommandKind kind, const std::string& usage, double min, double max) {
    return [=](const TArgs& args) {
        RequireArgs(args, 1, 1, usage);
        return TConsoleCommand{kind, NumberOf(args[1], args[0], min, max), 0};
    };
}

int KeyBit(const std::string& name) {
    static const std::map<std::string, int> bits = {{"plus", 0}, {"minus", 1}, {"enter", 2}, {"tab", 3}};
    const auto found = bits.find(name);
    if (found == bits.end()) throw std::invalid_argument("key: '" + name + "' is not plus, minus, enter or tab");
    return found->second;
}

TConsoleCommand ParseKey(const TArgs& args) {
    RequireArgs(args, 2, 2, "key plus|minus|enter|tab MS");
    return {TSimCommandKind::scKey, double(KeyBit(args[1])), NumberOf(args[2], "key", 1, LongestMs)};
}

TConsoleCommand ParseOrientation(const TArgs& args) {
    RequireArgs(args, 2, 2, "orientation X Y (signed -128..127, or a byte 0..255)");
    const auto byteOf = [](const std::string& text) {
        const double value = NumberOf(text, "orientation", -128, 255);
        return value < 0 ? value + 256 : value;
    };
    return {TSimCommandKind::scOrientation, byteOf(args[1]), byteOf(args[2])};
}

TConsoleCommand ParseCut(const TArgs& args) {
    RequireArgs(args, 1, 2, "cut COUNT [stop]");
    if (args.size() == 3 && args[2] != "stop") throw std::invalid_argument("cut: the second word may only be 'stop'");
    return {TSimCommandKind::scCut, NumberOf(args[1], "cut", 1, 9), args.size() == 3 ? 1.0 : 0.0};
}

TConsoleCommand ParseBadStart(const TArgs& args) {
    RequireArgs(args, 1, 1, "badstart 6|10");
    const double size = NumberOf(args[1], "badstart", 6, 10);
    if (size != 6 && size != 10) throw std::invalid_argument("badstart: the frame size is 6 or 10");
    return {TSimCommandKind::scBadStart, size, 0};
}

TConsoleCommand ParseUnknownType(const TArgs& args) {
    RequireArgs(args, 0, 1, "unknown [TYPE]");
    const double type = Optional(args, 1, 0x04, "unknown", 0, 255);
    static const std::vector<double> known = {0x01, 0x02, 0x03, 0x05, 0x08, 0x09};
    if (std::find(known.begin(), known.end(), type) != known.end())
        throw std::invalid_argument("unknown: " + args[1] + " is a type the console uses");
    return {TSimCommandKind::scUnknownType, type, 0};
}

TConsoleCommand ParseWrongId(const TArgs& args) {
    RequireArgs(args, 0, 1, "wrongid [BYTE]");
    return {TSimCommandKind::scWrongId, Optional(args, 1, 0x51, "wrongid", 0, 255), 0};
}

// Commands that switch a behaviour on or off.
TParser OnOff(TSimCommandKind kind, const std::string& word) {
    return [=](const TArgs& args) {
        RequireArgs(args, 1, 1, word + " on|off");
        if (args[1] != "on" && args[1] != "off") throw std::invalid_argument(word + ": say on or off");
        return TConsoleCommand{kind, args[1] == "on" ? 1.0 : 0.0, 0};
    };
}

const std::map<std::string, TParser>& Parsers() {
    using K = TSimCommandKind;
    static const std::map<std::string, TParser> parsers = {
        {"speed", OneNumber(K::scSpeed, "speed KMH", 0, 150)},
        {"cadence", OneNumber(K::scCadence, "cadence RPM", 0, 250)},
        {"heart", OneNumber(K::scHeart, "heart BPM", 0, 250)},
        {"key", ParseKey},
        {"orientation", ParseOrientation},
        {"silence", OneNumber(K::scSilence, "silence MS", 1, LongestMs)},
        {"garbage", OneNumber(K::scGarbage, "garbage COUNT", 1, 4096)},
        {"cut", ParseCut},
        {"badstart", ParseBadStart},
        {"unknown", ParseUnknownType},
        {"wrongid", ParseWrongId},
        {"noid", OnOff(K::scNoId, "noid")},
        {"nobrake", OnOff(K::scNoBrake, "nobrake")},
        {"hangup", OneNumber(K::scHangUp, "hangup MS", 0, LongestMs)},
    };
    return parsers;
}

TScriptLine ParseScriptLine(const TArgs& words, const std::string& line) {
    TScriptLine scriptLine;
    scriptLine.AtStart = words[0] == "start";
    if (!scriptLine.AtStart) scriptLine.TimeMs = NumberOf(words[0], "time", 0, LongestMs);
    scriptLine.Command = ParseConsoleCommand(line.substr(line.find(words[0]) + words[0].size()));
    return scriptLine;
}

} // namespace

TConsoleCommand ParseConsoleCommand(const std::string& line) {
    const TArgs args = Words(line);
    if (args.empty()) throw std::invalid_argument("empty command");
    const auto parser = Parsers().find(args[0]);
    if (parser == Parsers().end()) throw std::invalid_argument("unknown command '" + args[0] + "'");
    return parser->second(args);
}

std::vector<TScriptLine> ParseScript(std::istream& input) {
    std::vector<TScriptLine> lines;
    int number = 0;
    for (std::string line; std::getline(input, line);) {
        ++number;
        const TArgs words = Words(line.substr(0, line.find('#')));
        if (words.empty()) continue;
        try {
            lines.push_back(ParseScriptLine(words, line.substr(0, line.find('#'))));
        } catch (const std::invalid_argument& error) {
            throw std::invalid_argument("script line " + std::to_string(number) + ": " + error.what());
        }
    }
    std::stable_sort(lines.begin(), lines.end(), [](const TScriptLine& a, const TScriptLine& b) {
        return a.AtStart != b.AtStart ? a.AtStart : a.TimeMs < b.TimeMs;
    });
    return lines;
}

const char* ConsoleCommandHelp() {
    return "speed KMH | cadence RPM | heart BPM          the rider's effort at no resistance\n"
           "key plus|minus|enter|tab MS                 hold a console key\n"
           "orientation X Y                             the orientation bytes of the serial number answer\n"
           "silence MS                                  send nothing for MS milliseconds\n"
           "garbage COUNT                               send COUNT pseudo-random bytes\n"
           "cut COUNT [stop]                            send the first COUNT bytes of an infos frame\n"
           "                                            (with 'stop', the last of them is the stop byte)\n"
           "badstart 6|10                               send an infos frame of that size without its start byte\n"
           "unknown [TYPE]                              send a frame of a type the console never uses (0x04)\n"
           "wrongid [BYTE]                              answer the next identification with BYTE (0x51)\n"
           "noid on|off                                 stop or resume answering the identification\n"
           "hangup MS                                   close the line and reappear after MS milliseconds\n"
           "nobrake on|off                              the brake does not bite: set-points no longer slow the rider\n";
}
