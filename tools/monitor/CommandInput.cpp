#include "monitor/CommandInput.h"

#include "monitor/MonitorCommand.h"

#include <cstdio>
#include <stdexcept>
#include <unistd.h>

TCommandInput::TCommandInput(TKelvoDevice& device)
    : FDevice(device), FNotifier(STDIN_FILENO, QSocketNotifier::Read) {
    QObject::connect(&FNotifier, &QSocketNotifier::activated, [this] { ReadAvailable(); });
}

void TCommandInput::ReadAvailable() {
    char buffer[512];
    const ssize_t count = read(STDIN_FILENO, buffer, sizeof buffer);
    if (count <= 0) {
        // End of input: the ride goes on without commands.
        FNotifier.setEnabled(false);
        return;
    }
    FPending.append(buffer, static_cast<std::size_t>(count));
    for (std::size_t end = FPending.find('\n'); end != std::string::npos; end = FPending.find('\n')) {
        std::string line = FPending.substr(0, end);
        FPending.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        RunLine(line);
    }
}

void TCommandInput::RunLine(const std::string& line) {
    if (line.find_first_not_of(" \t") == std::string::npos) return;
    try {
        const TMonitorCommand command = ParseMonitorCommand(line);
        if (command.Kind == TMonitorCommandKind::mcQuality || command.Kind == TMonitorCommandKind::mcResetQuality) {
            if (OnLedgerCommand) OnLedgerCommand(command.Kind);
            return;
        }
        ApplyMonitorCommand(FDevice, command);
    } catch (const std::invalid_argument& error) {
        std::fprintf(stderr, "ignored '%s': %s\n", line.c_str(), error.what());
    }
}
