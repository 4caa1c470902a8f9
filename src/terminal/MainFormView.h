#pragma once

#include "terminal/CommandTable.h"

#include <cstddef>
#include <string>

// What the main window's presenter asks of the window: every call sets what the window shows,
// none of them decides anything.
class TMainFormView {
public:
    enum TIndicator { inHeart, inKeyPlus, inKeyMinus, inKeyTab, inKeyEnter };

    struct TStatsLabels {
        std::string Time;
        std::string Distance;
        std::string Speed;
        std::string SpeedAvg;
        std::string Cadence;
        std::string Heart;
        std::string SerialNumber;
        std::string FirmwareNumber;
    };

    struct TRollerFields {
        double RoundsPerRollEvent = 0;
        double RollDiameter = 0;
        double DistancePerRollEvent = 0;
    };

    virtual ~TMainFormView() = default;

    virtual void SetCommandCaption(TCommand command, const std::string& caption) = 0;
    virtual void SetCommandEnabled(TCommand command, bool enabled) = 0;
    virtual void SetCommandChecked(TCommand command, bool checked) = 0;
    virtual void SetPriorityListsEnabled(bool enabled) = 0;

    virtual void SetVersionListEnabled(bool enabled) = 0;
    virtual void SelectVersionItem(int index) = 0;
    virtual void ShowRollerFields(const TRollerFields& fields) = 0;
    virtual void SetMaintainsConsoleActiveBox(bool checked) = 0;
    virtual void CheckEnableOrientationBox() = 0;

    virtual void ShowStatsLabels(const TStatsLabels& labels) = 0;
    virtual void ShowInstantSpeed(const std::string& text) = 0;
    virtual void ShowHeartImpulses(const std::string& text) = 0;
    virtual void ShowDisconnections(const std::string& text) = 0;
    virtual void Light(TIndicator indicator) = 0;

    virtual void AppendTerminalLine(const std::string& line) = 0;
    virtual void ClearTerminal() = 0;
    virtual std::size_t TerminalLineCount() const = 0;
    // The terminal: caret at the start, empty selection, focused.
    virtual void MoveTerminalCaretToStart() = 0;
};
