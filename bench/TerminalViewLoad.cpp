// kelvo_terminal_view_load: the processor time of the terminal view on a real display while
// lines stream in, without a device: a shown 800 x 600 view takes long-frame infos lines at a
// steady rate from a precise timer (standing in for the port's hand-over, which wakes the main
// thread once a line too) and the program prints its user + system time as a share of one core.
//   xvfb-run -a kelvo_terminal_view_load [--seconds N] [--rate LINES_PER_SECOND] [--idle]
// Defaults: 30 s at 87 lines a second (the line's full rate). --idle runs the same timer without
// adding lines, for the share that the wake-ups alone cost.
#include "ui/TerminalView.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/resource.h>

namespace {

struct TOptions {
    int Seconds = 30;
    double Rate = 87;
    bool Idle = false;
};

TOptions ReadOptions(int argc, char** argv) {
    TOptions options;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--seconds") == 0 && hasValue) options.Seconds = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--rate") == 0 && hasValue) options.Rate = std::atof(argv[++i]);
        else if (std::strcmp(argv[i], "--idle") == 0) options.Idle = true;
        else {
            std::fprintf(stderr, "usage: %s [--seconds N] [--rate LINES_PER_SECOND] [--idle]\n", argv[0]);
            std::exit(2);
        }
    }
    if (options.Seconds <= 0 || options.Rate <= 0) {
        std::fprintf(stderr, "seconds and rate must be positive\n");
        std::exit(2);
    }
    return options;
}

double ProcessorSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& time) { return static_cast<double>(time.tv_sec) + time.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

std::string InfosLine(long number) {
    return "Rcv>>  F0 01 00 1C 00 7D 02 58 00 F7 mtInfos, Rolls: 1.00000, RollCount: " + std::to_string(number) +
           ".00000, Dist.: 2.47, HR: 120, Cad: 80";
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const TOptions options = ReadOptions(argc, argv);
    TTerminalView view;
    view.resize(800, 600);
    view.show();
    for (long n = 0; n < 1000; ++n) view.AppendLine(InfosLine(n));

    long added = 1000;
    QTimer lines;
    lines.setTimerType(Qt::PreciseTimer);
    lines.setInterval(static_cast<int>(1000 / options.Rate));
    QObject::connect(&lines, &QTimer::timeout, [&] {
        if (!options.Idle) view.AppendLine(InfosLine(added++));
    });
    // Start-up (fonts, first paint of a full view) is not what is measured.
    double startedAt = 0;
    QTimer::singleShot(1000, [&] {
        startedAt = ProcessorSeconds();
        lines.start();
        QTimer::singleShot(options.Seconds * 1000, &application, &QApplication::quit);
    });
    application.exec();

    const double used = ProcessorSeconds() - startedAt;
    std::printf("%s, %d s, %ld lines added (%zu held): %.3f s of processor time, %.2f %% of one core\n",
                options.Idle ? "timer only" : "terminal view", options.Seconds, added - 1000, view.Lines().Count(),
                used, 100.0 * used / options.Seconds);
    return 0;
}
