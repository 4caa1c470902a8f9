#include "terminal/PlanReportFile.h"

#include <QSaveFile>
#include <QString>

namespace PlanReportFile {

std::string Save(const std::string& path, const QByteArray& bytes) {
    QSaveFile file(QString::fromStdString(path));
    const auto reason = [&] { return path + ": " + file.errorString().toStdString(); };
    if (!file.open(QIODevice::WriteOnly)) return reason();
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        file.cancelWriting();
        return reason();
    }
    if (!file.commit()) return reason();
    return {};
}

} // namespace PlanReportFile
