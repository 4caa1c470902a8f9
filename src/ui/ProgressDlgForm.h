#pragma once

#include <QDialog>

#include <cstdint>

class QLabel;
class QProgressBar;
class QPushButton;

// A borderless progress window: a text line, a progress bar and an optional cancel button.
// The cancel button sends CancelMessage to the application as a numbered application message
// and waits until it has been handled.
class TProgressDlgForm : public QDialog {
public:
    // CancelMessage below 0: no cancel button.
    explicit TProgressDlgForm(std::int32_t CancelMessage);

    std::int32_t GetCancelMessage() const { return FCancelMessage; }
    // A new maximum is applied before the position; a maximum of 0 or less shows an empty bar.
    void SetProgress(std::int32_t Max, std::int32_t Position);
    // The text is painted at once: the main thread that calls this is busy with the work.
    void SetText(const QString& Text);

    QLabel* LabelProgress = nullptr;
    QProgressBar* ProgressBar = nullptr;
    QPushButton* BtCancel = nullptr;

private:
    void BuildLayout();
    void CentreOnScreen();
    void SendCancelMessage();

    std::int32_t FCancelMessage;
};
