#include "monitor/MonitorOptions.h"

#include "device_link/TextNumber.h"
#include "monitor/MonitorCommand.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace {

struct TBoxFlag {
    const char* Flag;
    bool TOptionBoxes::*Box;
    const char* Meaning;
};

// The window's boxes that change the device; checked at start, so each flag unchecks one.
constexpr std::array BoxFlags{
    TBoxFlag{"--no-survey", &TOptionBoxes::EnableConSurvey, "no connection survey (\"Enable Con. survey\" unchecked)"},
    TBoxFlag{"--no-hr-filter2", &TOptionBoxes::HrFilter2Active,
             "the first heart filter, a moving mean (\"HRFilter2Active\" unchecked)"},
    TBoxFlag{"--no-security", &TOptionBoxes::Security,
             "resistance also while the roller stands still (\"Security\" unchecked)"},
};

bool UncheckBox(const std::string& argument, TOptionBoxes& boxes) {
    const auto flag =
        std::ranges::find_if(BoxFlags, [&](const TBoxFlag& candidate) { return argument == candidate.Flag; });
    if (flag == BoxFlags.end()) return false;
    boxes.*(flag->Box) = false;
    return true;
}

// The option that names a file, and where its name goes; nullptr for any other argument.
std::string* FileOption(const std::string& argument, TMonitorOptions& options) {
    if (argument == "--plan") return &options.Plan.Plan;
    if (argument == "--junit") return &options.Plan.JUnit;
    if (argument == "--report") return &options.Plan.Report;
    if (argument == "--capture") return &options.Capture;
    if (argument == "--decode") return &options.Decode;
    return nullptr;
}

bool SetFlag(const std::string& argument, TMonitorOptions& options) {
    for (auto [flag, value] : {std::pair{"--find", &options.Find}, std::pair{"--counters", &options.Counters},
                               std::pair{"--quality", &options.Quality}, std::pair{"--timestamps", &options.TimeStamps}})
        if (argument == flag) return *value = true;
    return UncheckBox(argument, options.Boxes);
}

// The highest console version there is, and a night's ride many times over.
constexpr double HighestVersion = 7;
constexpr double LongestRideSeconds = 1e8;

} // namespace

namespace MonitorOptions {

TMonitorOptions Parse(const QStringList& arguments) {
    TMonitorOptions options;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const std::string argument = arguments[i].toStdString();
        const bool takesValue = argument == "--version" || argument == "--seconds" || FileOption(argument, options);
        if (takesValue && i + 1 >= arguments.size()) throw std::invalid_argument(argument + " needs a value");
        if (argument == "--version") {
            options.Version = NumberOf(arguments[++i].toStdString(), "--version", 1, HighestVersion);
        } else if (argument == "--seconds") {
            options.Seconds = static_cast<int>(NumberOf(arguments[++i].toStdString(), "--seconds", 0, LongestRideSeconds));
        } else if (std::string* file = FileOption(argument, options)) {
            *file = arguments[++i].toStdString();
        } else if (argument.starts_with("-")) {
            if (!SetFlag(argument, options)) throw std::invalid_argument("unknown option " + argument);
        } else if (!options.Port.empty()) {
            throw std::invalid_argument("a second port '" + argument + "' (the first is '" + options.Port + "')");
        } else {
            options.Port = argument;
        }
    }
    if (!options.Decode.empty()) {
        if (!options.Port.empty() || options.Find || options.Seconds || !options.Capture.empty() ||
            !options.Plan.Plan.empty())
            throw std::invalid_argument("--decode plays a capture without a port: no port, --find, --seconds, "
                                        "--capture or --plan with it");
        return options;
    }
    if (options.Port.empty() && !options.Find) throw std::invalid_argument("no port given (or --find to search)");
    if (!options.Port.empty() && options.Find) throw std::invalid_argument("a port and --find: give one of them");
    if (options.Plan.Plan.empty() && (!options.Plan.JUnit.empty() || !options.Plan.Report.empty()))
        throw std::invalid_argument("--junit and --report belong to a --plan");
    return options;
}

std::string Usage() {
    std::string flags = "[--version V] [--seconds N]";
    std::string meanings;
    for (const TBoxFlag& flag : BoxFlags) {
        flags += std::string(" [") + flag.Flag + "]";
        meanings += std::string(flag.Flag) + ": " + flag.Meaning + "\n";
    }
    flags += " [--counters] [--quality] [--timestamps] [--capture FILE]";
    return "usage: kelvo-monitor " + flags + " PORT\n" + "       kelvo-monitor " + flags + " --find\n" +
           "       kelvo-monitor --plan FILE [--junit OUT.xml] [--report OUT.txt] [options above] PORT|--find\n"
           "       kelvo-monitor --decode FILE [--version V] [flags] [--counters] [--quality]\n"
           "       kelvo-monitor --help | --version\n"
           "--version V: the console version assumed before the console answers; alone, the program's version\n" +
           meanings +
           "--counters: a closing COUNTERS line; --quality: the link-quality ledger once more at the end\n"
           "--timestamps: each line begins with the time it arrived (hh:mm:ss.zzz)\n"
           "--capture FILE: keep every byte to and from the console in FILE (the emulator's record form)\n"
           "--decode FILE: play a capture through the terminal offline, in the capture's own time, and print\n"
           "  what the terminal showed (with the connection survey's log lines as SURVEY lines), each line\n"
           "  beginning with its time in the capture; exit 1 for a file that is not a capture\n"
           "--plan FILE: run the test plan, print its progress as PLAN lines instead of the terminal's,\n"
           "  write the JUnit XML and the text report asked for; exit 0 when every step passed, 1 when\n"
           "  one failed (or the port did not open, or a report could not be written), 2 for a plan\n"
           "  that cannot be read (nothing is sent) or bad arguments\n"
           "commands on standard input, one a line:\n" +
           MonitorCommandHelp() +
           "exit status: 0 after a ride, 1 when the port cannot be opened, no console answered the search or\n"
           "the capture cannot be started, 2 for bad arguments, 3 when the connection survey gave the console\n"
           "up (the loss on standard error)\n";
}

} // namespace MonitorOptions
