#pragma once

#include "terminal/PlanReport.h"

#include <QByteArray>

// A plan's report as JUnit XML, the shape every CI server collects: one test suite per plan,
// one test case per row (a failure with the value and the bound, a row not run skipped), the
// measured value in each case's output and the whole text report in the suite's.
class TPlanJUnit {
public:
    static QByteArray Xml(const TPlanReport& report);
};
