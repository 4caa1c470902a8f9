#pragma once

#include "terminal/OptionBoxes.h"

#include <QString>

#include <cstdint>
#include <string>

// The main window's options kept in "settings.ini", section "General": the four option boxes
// and the two parameters of the resistance test. Booleans are written "1"/"0"; when read, 0 is
// false and any other integer true. A missing key or a value that is not an integer keeps the
// value held, and out-of-range increments are clamped into their fields' ranges, so one bad
// value never costs the others. Saving rewrites only these six keys: every other line of the
// file (other sections, comments, even bytes that are no settings at all) is kept as it was,
// and the file is replaced only once the new one is complete.
//
// The main window:
//  - creation, first step: Load(DefaultFileName()), then sets each box from its value (a box
//    whose state changes runs its click, as a user's click would) and the two spin fields; the
//    session starts the device from the boxes' initial states, so a value that leaves a box
//    unchanged leaves the device agreeing with it;
//  - OnClose, after the survey log's closing line: copies the boxes and fields back and calls
//    Save(DefaultFileName()); a message it returns is shown, and the window closes anyway.
class TIniSettings {
public:
    static constexpr std::int32_t MinIncrementStep = 1;
    static constexpr std::int32_t MaxIncrementStep = 150;
    static constexpr std::int32_t MinIncrementInterval = 1;
    static constexpr std::int32_t MaxIncrementInterval = 999;

    bool WriteMemo = TOptionBoxes{}.WriteToMemo;
    bool MantConsActive = TOptionBoxes{}.MantConsoleActive;
    bool EnableConSurvey = TOptionBoxes{}.EnableConSurvey;
    bool HrFilter2Active = TOptionBoxes{}.HrFilter2Active;
    std::int32_t IncrementStep = 1;
    std::int32_t IncrementInterval = 5;
    // "Time stamps" of the Terminal menu; written only once it was on, so that a file of a
    // user who never used it keeps its six keys.
    bool TimeStamps = false;

    // "settings.ini" beside the executable.
    static QString DefaultFileName();

    // Reads the file when it exists; returns false, reading nothing, when it does not.
    bool Load(const QString& FileName);
    // Writes the six values, creating the file when missing. Returns the message for the user
    // when the file cannot be written (the old file then stays as it was), else empty.
    std::string Save(const QString& FileName) const;
};
