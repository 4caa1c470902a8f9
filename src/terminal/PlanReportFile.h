#pragma once

#include <QByteArray>
#include <string>

// A report written whole: it ends complete or the file that was there stays as it was.
namespace PlanReportFile {
// Returns the system's reason when the file could not be written, empty when it was.
std::string Save(const std::string& path, const QByteArray& bytes);
}
