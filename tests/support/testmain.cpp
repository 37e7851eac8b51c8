// Test entry point: a headless Qt application around GoogleTest.
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // A kiosk that a test starts never speaks to a service manager the tests may run under.
    for (const char *name :
         {"NOTIFY_SOCKET", "MOVENDI_NOTIFY_SOCKET", "WATCHDOG_USEC", "WATCHDOG_PID"})
        qunsetenv(name);
    // Test folders belong to whoever runs the tests; the tests of the library check start their
    // programs without this.
    qputenv("MOVENDI_AUTOMATE_HORS_ROOT", "1");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
