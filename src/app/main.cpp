#include "app/configuration.h"
#include "app/leak_suppressions.h"
#include "app/platform.h"
#include "app/program.h"

#include <QApplication>
#include <QProcessEnvironment>

int main(int argc, char **argv)
{
    // Qt is given the program's name only: the command line is ignored, Qt's
    // own options included.
    char fallbackName[] = "hardcopy";
    char *qtArgv[] = {argc > 0 && argv[0] ? argv[0] : fallbackName, nullptr};
    int qtArgc = 1;

    const auto runtimeFolder = hc::app::prepareEnvironment();
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(qtArgc, qtArgv);
    hc::app::closeWindowsOnStopSignals();

    const hc::app::Configuration configuration =
        hc::app::readConfiguration(QProcessEnvironment::systemEnvironment());
    return hc::app::runProgram(hc::app::systemPlatform(configuration));
}
