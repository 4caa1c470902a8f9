// kelvo-terminal: the test terminal's interactive program. It takes no arguments: the port comes
// from the stored port settings, "Com port Settings" or "Find device".
#include "device_link/ApplicationError.h"
#include "terminal/widgets/QtUserDialogs.h"
#include "terminal/widgets/TerminalMainForm.h"

#include <QApplication>

namespace {
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
    QApplication application(argc, argv);
    TQtUserDialogs dialogs;
    ShowErrorsIn(dialogs);
    int result = 0;
    {
        TTerminalMainForm window(dialogs);
        window.show();
        result = QApplication::exec();
    }
    SetApplicationErrorDisplay(nullptr);
    return result;
}
