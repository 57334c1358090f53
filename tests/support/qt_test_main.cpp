#include "app/leak_suppressions.h"
#include "app/program.h"

#include <QApplication>
#include <gmock/gmock.h>

// Test programs run with a QApplication, so that widgets and event loops work,
// in the environment the program gives the browser engine.
int main(int argc, char **argv)
{
    // Listing the tests runs without the tests' environment, and a developer
    // may run a test program by hand: both get the test platform too.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    const auto runtimeFolder = hc::app::prepareEnvironment();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    testing::InitGoogleMock(&argc, argv);
    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    return RUN_ALL_TESTS();
}
