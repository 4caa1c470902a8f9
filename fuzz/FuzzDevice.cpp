#include "FuzzDevice.h"

#include <QCoreApplication>

void TFuzzDevice::PrepareProcess() {
    static int argc = 1;
    static char name[] = "kelvo-fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
}
