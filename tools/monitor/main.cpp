// kelvo-monitor: the terminal without a window. It drives the same session as the main window
// and prints every line the terminal would show, one per line, plus a "STATS " line per
// statistics tick.
#include "terminal/TerminalSession.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <unistd.h>

namespace {

constexpr int ExitUsage = 2;
constexpr int ExitPortFailed = 1;

struct TOptions {
    double Version = TTerminalSession::StartupVersion;
    std::optional<int> Seconds;
    bool Survey = true;
    std::string Port;
};

void PrintUsage() {
    std::fprintf(stderr, "usage: kelvo-monitor [--version V] [--seconds N] [--no-survey] PORT\n");
}

std::optional<double> NumberArgument(const char* text) {
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text || *end != '\0') return std::nullopt;
    return value;
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
        } else if (argument == "--no-survey") {
            options.Survey = false;
        } else if (argument.starts_with("-") || !options.Port.empty()) {
            return std::nullopt;
        } else {
            options.Port = argument;
        }
    }
    if (options.Port.empty()) return std::nullopt;
    return options;
}

void PrintLine(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::string StatsLine(const EventText::TStatsContext& stats) {
    return "STATS " + EventText::LabelTimeText(stats) + " | " + EventText::LabelDistanceText(stats) + " | " +
           EventText::LabelSpeedText(stats) + " | " + EventText::LabelCadenceText(stats) + " | " +
           EventText::LabelHeartText(stats);
}

// SIGINT and SIGTERM end the ride through the event loop, never inside the signal handler.
int SignalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(SignalPipe[1], &byte, 1);
}

void EndRide(TTerminalSession& session) {
    TKelvoDevice& device = session.Device();
    device.Stop();
    device.SetConnected(false);
    if (device.GetComPortConnected()) session.OpenOrClosePort();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const std::optional<TOptions> options = ParseArguments(application.arguments());
    if (!options) {
        PrintUsage();
        return ExitUsage;
    }

    TTerminalSession session;
    session.OnAddLine = PrintLine;
    session.OnStatsLabels = [](const EventText::TStatsContext& stats) { PrintLine(StatsLine(stats)); };
    session.SetConnectionSurveyEnabled(options->Survey);
    session.Device().SetVersion(options->Version);
    session.Device().SetComPortPort(options->Port);

    if (pipe(SignalPipe) != 0) return EXIT_FAILURE;
    QSocketNotifier signalNotifier(SignalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &application, [] { QCoreApplication::quit(); });
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);

    const std::string failure = session.OpenOrClosePort();
    if (!failure.empty()) {
        std::fprintf(stderr, "%s\n", failure.c_str());
        return ExitPortFailed;
    }
    if (options->Seconds) QTimer::singleShot(*options->Seconds * 1000, &application, [] { QCoreApplication::quit(); });
    application.exec();
    EndRide(session);
    return EXIT_SUCCESS;
}
