#include "device_link/SerialPortList.h"

#include <QtGlobal>
#include <gtest/gtest.h>

namespace {

QStringList Only(const QStringList& names, const QStringList& wanted) {
    QStringList kept;
    for (const QString& name : names)
        if (wanted.contains(name)) kept.append(name);
    return kept;
}

TEST(SerialPortList, ExtraPortsJoinTheListSortedIgnoringCase) {
    qputenv("KELVO_EXTRA_PORTS", "COM2::com10:COM1:/tmp/kelvo-pty:COM1");
    QStringList ports{QStringLiteral("stale entry")};
    ListSerialPorts(ports);
    qunsetenv("KELVO_EXTRA_PORTS");
    EXPECT_FALSE(ports.contains(QStringLiteral("stale entry")));
    EXPECT_FALSE(ports.contains(QString()));
    const QStringList ours{QStringLiteral("/tmp/kelvo-pty"), QStringLiteral("COM1"), QStringLiteral("com10"),
                           QStringLiteral("COM2")};
    EXPECT_EQ(Only(ports, ours), ours);
}

} // namespace
