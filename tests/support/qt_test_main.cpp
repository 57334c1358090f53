#include <QApplication>
#include <gmock/gmock.h>

// Test programs run with a QApplication, so that widgets and event loops work.
int main(int argc, char **argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    testing::InitGoogleMock(&argc, argv);
    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    return RUN_ALL_TESTS();
}
