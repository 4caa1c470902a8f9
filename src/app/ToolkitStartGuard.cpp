#include "app/ToolkitStartGuard.h"

#include <QString>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {
const char* Program = "";
// Formatted as the toolkit's own output would be, printed once the start is known to succeed.
std::vector<QString> Collected;

std::string DisplayName() {
    const char* display = std::getenv("DISPLAY");
    return display != nullptr ? display : "";
}
} // namespace

TToolkitStartGuard::TToolkitStartGuard(const char* program) {
    Program = program;
    FPrevious = qInstallMessageHandler(&TToolkitStartGuard::Collect);
}

TToolkitStartGuard::~TToolkitStartGuard() {
    qInstallMessageHandler(FPrevious);
    for (const QString& message : Collected) std::fprintf(stderr, "%s\n", qPrintable(message));
    Collected.clear();
}

void TToolkitStartGuard::Collect(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtFatalMsg) {
        Collected.push_back(qFormatLogMessage(type, context, message));
        return;
    }
    if (!message.contains(QLatin1String("platform plugin"))) {
        std::fprintf(stderr, "%s: %s\n", Program, qPrintable(message));
        std::_Exit(1);
    }
    const std::string display = DisplayName();
    const std::string reason = display.empty() ? "DISPLAY is not set" : "the display '" + display + "' cannot be reached";
    std::fprintf(stderr, "%s: no display to open a window on (%s); kelvo-monitor is the terminal without a window\n",
                 Program, reason.c_str());
    std::_Exit(1);
}
