#pragma once

#include <QStringList>

// Replaces `Ports` with the names of the computer's serial ports, sorted ignoring case (COM10
// before COM2): the ports the system reports, plus the paths listed in the colon-separated
// environment variable KELVO_EXTRA_PORTS, which is how virtual ports such as the console
// emulator's pseudo-terminals are found.
void ListSerialPorts(QStringList& Ports);
