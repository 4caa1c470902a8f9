// kelvo-monitor: the terminal without a window. It drives the same session as the main window
// and prints every line the terminal would show, one per line, plus a "STATS " line per
// statistics tick.
#include "device/DeviceDiscovery.h"
#include "device_link/WaitWithMessages.h"
#include "device_link/ProgramInfo.h"
#include "device_link/VirtualTime.h"
#include "monitor/CaptureDecode.h"
#include "monitor/CommandInput.h"
#include "monitor/MonitorCommand.h"
#include "monitor/MonitorOptions.h"
#include "monitor/MonitorOutput.h"
#include "monitor/MonitorPlan.h"
#include "terminal/QuitSignals.h"
#include "terminal/SurveyLog.h"
#include "terminal/TerminalSession.h"
#include "terminal/TestPlanReader.h"

#include <QCoreApplication>
#include <QTime>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

using MonitorOutput::OneLine;
using MonitorOutput::PrintCounters;
using MonitorOutput::PrintLine;
using MonitorOutput::PrintQuality;

constexpr int ExitUsage = 2;
constexpr int ExitPortFailed = 1;
// The connection survey gave the console up: the ride's record ends there.
constexpr int ExitConsoleLost = 3;

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

// The session as the command line builds it, printing what the window's terminal shows.
void ShowOnStandardOutput(TTerminalSession& session, TSurveyLog& surveyLog, const TMonitorOptions& options) {
    session.AttachSurveyLog(&surveyLog);
    session.OnAddLine = PrintLine;
    session.OnStatsLabels = [](const EventText::TStatsContext& stats) { PrintLine(MonitorOutput::StatsLine(stats)); };
    session.ApplyOptionBoxes(options.Boxes);
    session.Device().SetVersion(options.Version);
}

void TellConsoleLost() { std::fprintf(stderr, "%s\n", OneLine(TSurveyLog::LostConnectionText).c_str()); }

void PrintClosingFigures(TTerminalSession& session, const TMonitorOptions& options) {
    if (options.Quality) PrintQuality(session);
    if (options.Counters) PrintCounters(session);
}

// --decode: the capture played through the session in the capture's own time. The survey's log
// is printed, not written into CS.log, whose record is of real rides.
int DecodeCapture(const TMonitorOptions& options) {
    TCaptureDecode::TCapture capture;
    try {
        capture = TCaptureDecode::Read(options.Decode);
    } catch (const std::runtime_error& fault) {
        std::fprintf(stderr, "kelvo-monitor: %s\n", fault.what());
        return ExitPortFailed;
    }
    TVirtualTime time;
    // Without the header's start the times read as the time since the capture began.
    const QDateTime started = capture.Started.isValid() ? capture.Started : QDateTime(QDate(1970, 1, 1), QTime(0, 0));
    const auto captureTime = [&] {
        return started.addMSecs(std::chrono::duration_cast<std::chrono::milliseconds>(time.Elapsed()).count());
    };
    MonitorOutput::LineTime = [&] { return captureTime().time(); };

    TSurveyLog surveyLog;
    surveyLog.CurrentTime = captureTime;
    surveyLog.SteadyMs = [&] { return std::chrono::duration_cast<std::chrono::milliseconds>(time.Elapsed()).count(); };
    // The closing line begins with a line break of its own.
    surveyLog.OnLine = [](const QString& line) {
        for (const QString& part : line.split(QStringLiteral("\r\n"))) PrintLine("SURVEY " + part.toStdString());
    };
    bool lost = false;
    surveyLog.OnConnectionLostAfterTick = [&lost] {
        lost = true;
        TellConsoleLost();
    };
    surveyLog.WriteStartLine();
    TTerminalSession session;
    TMonitorOptions decodeOptions = options;
    decodeOptions.Version = TCaptureDecode::StartupVersion(capture, options.Version);
    ShowOnStandardOutput(session, surveyLog, decodeOptions);
    const TQuitSignals quitSignals([] { AbortWaits(); });
    {
        TCaptureDecode decode(session, time);
        decode.Play(capture);
        EndRide(session);
        if (WaitsAborted())
            std::fprintf(
                stderr, "kelvo-monitor: the decode was stopped at %s of the capture\n",
                captureTime().time().toString(QStringLiteral("hh:mm:ss.zzz")).toLocal8Bit().constData());
        else if (decode.GetUnreadEntries() != 0)
            std::fprintf(stderr, "kelvo-monitor: %zu of the console's byte strings did not reach the terminal\n",
                         decode.GetUnreadEntries());
    }
    surveyLog.WriteClosingLine();
    PrintClosingFigures(session, options);
    // The capture's clock goes with this function.
    MonitorOutput::LineTime = nullptr;
    return lost ? ExitConsoleLost : EXIT_SUCCESS;
}

} // namespace

int main(int argc, char** argv) {
    if (const auto answered =
            ProgramInfo::AnswerInformationOption(argc, argv, "kelvo-monitor", MonitorOptions::Usage()))
        return *answered;
    QCoreApplication application(argc, argv);
    std::optional<TMonitorOptions> options;
    try {
        options = MonitorOptions::Parse(application.arguments().mid(1));
    } catch (const std::invalid_argument& error) {
        std::fprintf(stderr, "kelvo-monitor: %s\n%s", error.what(), MonitorOptions::Usage().c_str());
        return ExitUsage;
    }
    if (!options->Decode.empty()) return DecodeCapture(*options);
    if (options->TimeStamps) MonitorOutput::LineTime = [] { return QTime::currentTime(); };

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
        TellConsoleLost();
        QCoreApplication::quit();
    };
    TTerminalSession session;
    ShowOnStandardOutput(session, surveyLog, *options);
    if (!options->Find) session.Device().SetComPortPort(options->Port);
    if (!options->Capture.empty()) {
        const std::string failure = session.Capture().Start(options->Capture, session.CaptureHeader("kelvo-monitor"));
        if (!failure.empty()) {
            std::fprintf(stderr, "kelvo-monitor: cannot record the traffic into %s: %s\n", options->Capture.c_str(),
                         failure.c_str());
            surveyLog.WriteClosingLine();
            return ExitPortFailed;
        }
        // A full disk stops the capture, never the ride.
        session.Capture().OnFailed = [](const std::string& message) { std::fprintf(stderr, "%s\n", message.c_str()); };
    }
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
    PrintClosingFigures(session, *options);
    if (plan) return plan->Finish();
    return lost ? ExitConsoleLost : EXIT_SUCCESS;
}
