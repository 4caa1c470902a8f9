#include <QApplication>
#include <gmock/gmock.h>

int main(int argc, char** argv) {
    // Widget tests never need a display, not even when the runner lists them.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
