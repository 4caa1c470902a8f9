#pragma once

#include "terminal/TestPlan.h"

#include <QByteArray>
#include <stdexcept>
#include <string>

class QJsonObject;

// Reads a test plan from its JSON file and refuses, before anything is sent, a plan that
// cannot be run as written: the message names the file, the step's number (from 1) and what
// is wrong. Every set-point lies in the console's range, every bound pair is in order, and a
// field the step does not know (a misspelt "mxa") is refused rather than ignored.
class TTestPlanReader {
public:
    class EUnreadable : public std::runtime_error {
    public:
        using std::runtime_error::runtime_error;
    };

    static TTestPlan ReadFile(const std::string& path);
    static TTestPlan Parse(const QByteArray& json, const std::string& fileName);

private:
    static TPlanStep ReadStep(const QJsonObject& object);
};
