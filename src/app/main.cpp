// kelvo-terminal: the test terminal's interactive program. It takes no arguments: the port comes
// from the stored port settings, "Com port Settings" or "Find device".
#include "app/ToolkitStartGuard.h"
#include "device_link/ApplicationError.h"
#include "device_link/ProgramInfo.h"
#include "terminal/QuitSignals.h"
#include "ui/QtUserDialogs.h"
#include "ui/TerminalMainForm.h"

#include <QApplication>
#include <cstdio>
#include <cstring>
#include <optional>

namespace {
constexpr const char* Usage = "usage: kelvo-terminal\n"
                              "       kelvo-terminal --help | --version\n"
                              "takes no other argument: the port comes from the stored port settings,\n"
                              "\"Com port Settings\" or \"Find device\"\n";

// Failures that no command waits for (a hand-over that threw) get the application's error box.
void ShowErrorsIn(TUserDialogs& dialogs) {
    SetApplicationErrorDisplay([&dialogs](const std::exception_ptr& error) {
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& caught) {
            dialogs.ShowMessage(TUserDialogs::bkError, caught.what());
        } catch (...) {
            dialogs.ShowMessage(TUserDialogs::bkError, "Unknown error");
        }
    });
}
} // namespace

int main(int argc, char** argv) {
    // Answered before the application object, so that they need no display.
    if (const auto answered = ProgramInfo::AnswerInformationOption(argc, argv, "kelvo-terminal", Usage))
        return *answered;
    // The toolkit's own options begin with a single dash; a long option is a mistake, told before
    // a display is needed.
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--", 2) != 0) continue;
        std::fprintf(stderr, "kelvo-terminal: unexpected argument '%s'\n%s", argv[i], Usage);
        return 2;
    }
    std::optional<TToolkitStartGuard> startGuard(std::in_place, "kelvo-terminal");
    QApplication application(argc, argv);
    startGuard.reset();
    // The toolkit has taken its own options (-platform ...); anything left is a mistake.
    if (QApplication::arguments().size() > 1) {
        std::fprintf(stderr, "kelvo-terminal: unexpected argument '%s'\n%s",
                     qPrintable(QApplication::arguments().at(1)), Usage);
        return 2;
    }
    TQtUserDialogs dialogs;
    ShowErrorsIn(dialogs);
    int result = 0;
    {
        TTerminalMainForm window(dialogs);
        // A signal closes the window as its user would, so the run's report, the survey log's
        // closing line and settings.ini are written before the program ends.
        const TQuitSignals quitSignals([&window] { window.EndBySignal(); });
        window.show();
        result = QApplication::exec();
    }
    SetApplicationErrorDisplay(nullptr);
    return result;
}
