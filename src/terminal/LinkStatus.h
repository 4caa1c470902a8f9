#pragma once

#include <functional>
#include <string>

class TTerminalSession;

// The status bar's first panel: which port is in use, whether the link is alive, and what is
// being kept, so that a technician sees it at a glance:
//   "COM: /dev/ttyUSB0 closed", "... open", "... Kelvo 5 riding", "... Kelvo 5 connected",
//   "... repairing (attempt 2)", "... lost", then "  REC" while a capture runs and
//   "  CS log off" while "Write log CS" is unchecked.
class TLinkStatus {
public:
    explicit TLinkStatus(TTerminalSession& session);

    std::string Text() const;
    // "Write log CS" changed.
    void SetSurveyLogOn(bool on);
    // Something the text shows may have changed (the capture started or stopped): tells
    // OnChanged when the text is new.
    void Refresh();

    std::function<void(const std::string& text)> OnChanged;

private:
    std::string LinkText() const;

    TTerminalSession& FSession;
    bool FSurveyLogOn = true;
    // The survey gave up: the console is lost until the port opens or the console answers again.
    bool FLost = false;
    std::string FShown;
};
