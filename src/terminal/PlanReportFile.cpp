#include "terminal/PlanReportFile.h"

#include <QSaveFile>
#include <QString>
#include <cerrno>
#include <cstring>

namespace PlanReportFile {

std::string Save(const std::string& path, const QByteArray& bytes) {
    QSaveFile file(QString::fromStdString(path));
    const auto reason = [&] { return path + ": " + file.errorString().toStdString(); };
    if (!file.open(QIODevice::WriteOnly)) return reason();
    errno = 0;
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        // Qt keeps no words of its own for a write the system refused (a full disk): the
        // system's are taken, before the cancel puts its own in their place.
        const int written = errno;
        const std::string failure = written != 0 ? path + ": " + std::strerror(written) : reason();
        file.cancelWriting();
        return failure;
    }
    if (!file.commit()) return reason();
    return {};
}

} // namespace PlanReportFile
