#include "app/program.h"

#include "app/form_hardcopy.h"
#include "app/prompts.h"
#include "db/failure.h"

#include <QApplication>
#include <QDir>
#include <QSocketNotifier>

#include <atomic>
#include <csignal>

#include <sys/socket.h>
#include <unistd.h>

namespace hc::app {

namespace {

int stopSignalPipe[2] = {-1, -1};
std::atomic<bool> eventLoopRunning = false;

void onStopSignal(int signal)
{
    if (!eventLoopRunning.load())
        _exit(128 + signal);
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(stopSignalPipe[1], &byte, 1);
}

} // namespace

std::unique_ptr<QTemporaryDir> prepareEnvironment()
{
    if (::geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        return nullptr;
    auto runtime = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/hardcopy-runtime-XXXXXX"));
    if (!runtime->isValid())
        return nullptr;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime->path()));
    return runtime;
}

int runProgram(Platform platform)
{
    Prompts &prompts = *platform.prompts;
    Form_HardCopy window(std::move(platform));
    try {
        window.Form_Load();
    } catch (const Failure &failure) {
        prompts.showMessage(nullptr, QString::fromUtf8(failure.what()));
        return 1;
    }
    eventLoopRunning = true;
    const int status = QApplication::exec();
    eventLoopRunning = false;
    return status;
}

void closeWindowsOnStopSignals()
{
    if (stopSignalPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, stopSignalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(stopSignalPipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [] {
        char byte = 0;
        [[maybe_unused]] const ssize_t read = ::read(stopSignalPipe[0], &byte, 1);
        QApplication::closeAllWindows();
    });
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

} // namespace hc::app
