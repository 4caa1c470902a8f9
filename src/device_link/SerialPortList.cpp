#include "device_link/SerialPortList.h"

#include <QSerialPortInfo>
#include <QtGlobal>

#include <algorithm>

namespace {

QStringList SystemPortNames() {
    QStringList names;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) names.append(info.portName());
    return names;
}

QStringList ExtraPortNames() {
    return qEnvironmentVariable("KELVO_EXTRA_PORTS").split(u':', Qt::SkipEmptyParts);
}

} // namespace

void ListSerialPorts(QStringList& Ports) {
    QStringList names = SystemPortNames() + ExtraPortNames();
    names.removeDuplicates();
    std::stable_sort(names.begin(), names.end(), [](const QString& left, const QString& right) {
        return left.compare(right, Qt::CaseInsensitive) < 0;
    });
    Ports = names;
}
