// kelvo-monitor: the terminal without a window. It drives the same session as the main window
// and prints every line the terminal would show, one per line, plus a "STATS " line per
// statistics tick.
#include "device/DeviceDiscovery.h"
#include "device_link/WaitWithMessages.h"
#include "device_link/ProgramInfo.h"
#include "monitor/CommandInput.h"
#include "monitor/MonitorCommand.h"
#include "monitor/MonitorPlan.h"
#include "terminal/QuitSignals.h"
#include "terminal/SurveyLog.h"
#include "terminal/TerminalSession.h"
#include "terminal/TestPlanReader.h"

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

constexpr int ExitUsage = 2;
constexpr int ExitPortFailed = 1;
// The connection survey gave the console up: the ride's record ends there.
constexpr int ExitConsoleLost = 3;

struct TOptions {
    double Version = TTerminalSession::StartupVersion;
    std::optional<int> Seconds;
    // The window's option boxes as they start; a flag unchecks one, as a user would.
    TOptionBoxes Boxes;
    bool Counters = false;
    bool Quality = false;
    bool Find = false;
    std::string Port;
    TMonitorPlan::TFiles Plan;
};

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

std::string Usage() {
    std::string flags = "[--version V] [--seconds N]";
    std::string meanings;
    for (const TBoxFlag& flag : BoxFlags) {
        flags += std::string(" [") + flag.Flag + "]";
        meanings += std::string(flag.Flag) + ": " + flag.Meaning + "\n";
    }
    flags += " [--counters] [--quality]";
    return "usage: kelvo-monitor " + flags + " PORT\n" + "       kelvo-monitor " + flags + " --find\n" +
           "       kelvo-monitor --plan FILE [--junit OUT.xml] [--report OUT.txt] [options above] PORT|--find\n"
           "       kelvo-monitor --help | --version\n"
           "--version V: the console version assumed before the console answers; alone, the program's version\n" +
           meanings +
           "--counters: a closing COUNTERS line; --quality: the link-quality ledger once more at the end\n"
           "--plan FILE: run the test plan, print its progress as PLAN lines instead of the terminal's,\n"
           "  write the JUnit XML and the text report asked for; exit 0 when every step passed, 1 when\n"
           "  one failed (or the port did not open, or a report could not be written), 2 for a plan\n"
           "  that cannot be read (nothing is sent) or bad arguments\n"
           "commands on standard input, one a line:\n" +
           MonitorCommandHelp() +
           "exit status: 0 after a ride, 1 when the port cannot be opened or no console answered the search,\n"
           "2 for bad arguments, 3 when the connection survey gave the console up (the loss on standard error)\n";
}

bool UncheckBox(const std::string& argument, TOptionBoxes& boxes) {
    const auto flag =
        std::ranges::find_if(BoxFlags, [&](const TBoxFlag& candidate) { return argument == candidate.Flag; });
    if (flag == BoxFlags.end()) return false;
    boxes.*(flag->Box) = false;
    return true;
}

std::optional<double> NumberArgument(const char* text) {
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text || *end != '\0') return std::nullopt;
    return value;
}

// The file option of a test plan's run, where its name goes; nullptr for any other argument.
std::string* PlanFileOption(const std::string& argument, TMonitorPlan::TFiles& files) {
    if (argument == "--plan") return &files.Plan;
    if (argument == "--junit") return &files.JUnit;
    if (argument == "--report") return &files.Report;
    return nullptr;
}

std::optional<TOptions> ParseArguments(const QStringList& arguments) {
    TOptions options;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const std::string argument = arguments[i].toStdString();
        const bool hasValue = i + 1 < arguments.size();
        if (argument == "--version" && hasValue) {
            const auto version = NumberArgument(arguments[++i].toStdString().c_str());
            if (!version || *version <= 0) return std::nullopt;
            options.Version = *version;
        } else if (argument == "--seconds" && hasValue) {
            const auto seconds = NumberArgument(arguments[++i].toStdString().c_str());
            if (!seconds || *seconds < 0) return std::nullopt;
            options.Seconds = static_cast<int>(*seconds);
        } else if (argument == "--find") {
            options.Find = true;
        } else if (argument == "--counters") {
            options.Counters = true;
        } else if (argument == "--quality") {
            options.Quality = true;
        } else if (const auto file = PlanFileOption(argument, options.Plan); file && hasValue) {
            *file = arguments[++i].toStdString();
        } else if (argument.starts_with("-")) {
            if (!UncheckBox(argument, options.Boxes)) return std::nullopt;
        } else if (!options.Port.empty()) {
            return std::nullopt;
        } else {
            options.Port = argument;
        }
    }
    // Either a port, or a search of all ports.
    if (options.Port.empty() == !options.Find) return std::nullopt;
    // The reports belong to a plan.
    if (options.Plan.Plan.empty() && (!options.Plan.JUnit.empty() || !options.Plan.Report.empty())) return std::nullopt;
    return options;
}

// A box's text on one line: its line breaks become single blanks.
std::string OneLine(const std::string& text) {
    return QString::fromStdString(text).simplified().toStdString();
}

void PrintLine(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::string StatsLine(const EventText::TStatsContext& stats) {
    return "STATS " + EventText::LabelTimeText(stats) + " | " + EventText::LabelDistanceText(stats) + " | " +
           EventText::LabelSpeedText(stats) + " | " + EventText::LabelCadenceText(stats) + " | " +
           EventText::LabelHeartText(stats) + " | " + EventText::PowerEnergyText(stats);
}

// Where every received byte went, from the session's link ledger: read from the port (or, after
// a user's reset, carried in from the splitter's buffer), cut into packets, discarded by the
// splitter, or still waiting in its buffer.
void PrintCounters(TTerminalSession& session) {
    const TLinkLedger& ledger = session.Ledger();
    std::printf("COUNTERS read=%llu packets=%llu discarded=%llu buffered=%zu carried=%llu\n",
                static_cast<unsigned long long>(ledger.GetBytesRead()),
                static_cast<unsigned long long>(ledger.GetBytesInPackets()),
                static_cast<unsigned long long>(ledger.GetBytesDiscarded()),
                session.Device().GetDataPacket()->GetBuffer().size(),
                static_cast<unsigned long long>(ledger.GetBytesCarried()));
}

void PrintQuality(const TTerminalSession& session) {
    for (const std::string& line : session.LinkQualityLines()) PrintLine("QUALITY " + line);
}

// "Find device": every serial port (KELVO_EXTRA_PORTS included), three passes of 100 ms. The
// port it opens starts the ride as any opened port does. Returns the message for the user when
// no console answered.
std::string FindConsole(TTerminalSession& session) {
    DeviceDiscovery::DiscoveryLog = PrintLine;
    if (!DeviceDiscovery::FindDevice(session.Device(), 3, 100))
        return "Cannot find the Kelvo device!\r\nplease verify your connection,\r\nand Retry";
    PrintLine(EventText::DeviceFoundLine(session.Device().GetComPortPort()));
    PrintLine("");
    return {};
}

void EndRide(TTerminalSession& session) {
    TKelvoDevice& device = session.Device();
    device.Stop();
    device.SetConnected(false);
    if (device.GetComPortConnected()) session.OpenOrClosePort();
}

} // namespace

int main(int argc, char** argv) {
    if (const auto answered = ProgramInfo::AnswerInformationOption(argc, argv, "kelvo-monitor", Usage()))
        return *answered;
    QCoreApplication application(argc, argv);
    const std::optional<TOptions> options = ParseArguments(application.arguments());
    if (!options) {
        std::fputs(Usage().c_str(), stderr);
        return ExitUsage;
    }

    // A plan that cannot be run as written is refused before the port is touched.
    std::optional<TTestPlan> testPlan;
    if (!options->Plan.Plan.empty()) {
        try {
            testPlan = TTestPlanReader::ReadFile(options->Plan.Plan);
        } catch (const TTestPlanReader::EUnreadable& refusal) {
            std::fprintf(stderr, "%s\n", refusal.what());
            return TMonitorPlan::ExitUnreadable;
        }
    }

    // The window's connection survey log, beside the program: a night's run leaves the same record.
    TSurveyLog surveyLog;
    surveyLog.OnWriteFailed = PrintLine;
    surveyLog.WriteStartLine();
    // As the window's box, once the survey tick that gave the console up has returned.
    bool lost = false;
    surveyLog.OnConnectionLostAfterTick = [&lost] {
        lost = true;
        std::fprintf(stderr, "%s\n", OneLine(TSurveyLog::LostConnectionText).c_str());
        QCoreApplication::quit();
    };
    TTerminalSession session;
    session.AttachSurveyLog(&surveyLog);
    session.OnAddLine = PrintLine;
    session.OnStatsLabels = [](const EventText::TStatsContext& stats) { PrintLine(StatsLine(stats)); };
    session.ApplyOptionBoxes(options->Boxes);
    session.Device().SetVersion(options->Version);
    if (!options->Find) session.Device().SetComPortPort(options->Port);
    std::optional<TMonitorPlan> plan;
    if (testPlan) {
        plan.emplace(session, *testPlan, options->Plan, PrintLine);
        session.OnAddLine = [](const std::string&) {};
        session.OnStatsLabels = nullptr;
    }

    // A signal in the middle of a handshake, repair or search ends every wait at once; before
    // the ride's event loop runs, the program then never starts it.
    bool ending = false;
    const TQuitSignals quitSignals([&ending] {
        ending = true;
        AbortWaits();
        QCoreApplication::quit();
    });
    TCommandInput commands(session.Device());
    commands.OnLedgerCommand = [&session](TMonitorCommandKind kind) {
        if (kind == TMonitorCommandKind::mcResetQuality) {
            session.ResetLedger();
            PrintLine("QUALITY reset: counted from now");
        } else {
            PrintQuality(session);
        }
    };

    const std::string failure = options->Find ? FindConsole(session) : session.OpenOrClosePort();
    if (!failure.empty() && !ending) {
        std::fprintf(stderr, "%s\n", failure.c_str());
        for (const std::string& line : session.OpenFailureReason()) std::fprintf(stderr, "%s\n", line.c_str());
        if (plan) plan->Refuse(OneLine(failure));
        surveyLog.WriteClosingLine();
        return plan ? plan->Finish() : ExitPortFailed;
    }
    if (plan) plan->Start([] { QCoreApplication::quit(); });
    if (options->Seconds) QTimer::singleShot(*options->Seconds * 1000, &application, [] { QCoreApplication::quit(); });
    if (!ending && !lost) application.exec();
    if (plan) plan->End("the monitor ended before the plan did");
    EndRide(session);
    surveyLog.WriteClosingLine();
    if (options->Quality) PrintQuality(session);
    if (options->Counters) PrintCounters(session);
    if (plan) return plan->Finish();
    return lost ? ExitConsoleLost : EXIT_SUCCESS;
}
