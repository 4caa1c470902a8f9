#pragma once

// The option boxes of the terminal toolbar as the window starts, before settings.ini is read.
// The window's boxes, the settings' defaults and the headless monitor all start from these, so
// the window and the monitor build the device alike and show the same numbers for one console.
struct TOptionBoxes {
    bool WriteToMemo = true;
    bool MantConsoleActive = true;
    bool EnableConSurvey = true;
    bool HrFilter2Active = true;
    bool Security = true;
    bool EnableOrientation = false;
};
