#pragma once

#include "monitor/MonitorCommand.h"

#include <QSocketNotifier>
#include <functional>
#include <string>

class TKelvoDevice;

// The commands typed on standard input. Input is read only when bytes are waiting, so the
// event loop never blocks on it; a line runs once its end has arrived, and a bad line is
// reported on standard error and ignored.
class TCommandInput {
public:
    explicit TCommandInput(TKelvoDevice& device);

    // The ledger's commands, "quality" and "quality-reset", which the session answers.
    std::function<void(TMonitorCommandKind)> OnLedgerCommand;

private:
    void ReadAvailable();
    void RunLine(const std::string& line);

    TKelvoDevice& FDevice;
    QSocketNotifier FNotifier;
    std::string FPending;
};
