#pragma once

#include "app/platform.h"

#include <QTemporaryDir>

#include <memory>

namespace hc::app {

// Prepares the process's environment for the browser engine before the
// application object exists: the engine's sandbox off when running as root
// (the engine refuses to start as root otherwise), and a private runtime
// folder when XDG_RUNTIME_DIR is unset. The folder returned, if any, must
// outlive the application object.
std::unique_ptr<QTemporaryDir> prepareEnvironment();

// Starts the main window on the platform and runs the event loop until the
// window is closed. Returns the process's exit status: 0 after the window was
// closed; 1 when the connection could not be opened, which the operator was
// shown and after which no window appeared.
int runProgram(Platform platform);

// Ends the program on SIGTERM, SIGINT and SIGHUP as Exit would: every window
// is closed, so that running procedures end and the event loop returns.
// A signal that arrives before the event loop runs ends the process at once.
void closeWindowsOnStopSignals();

} // namespace hc::app
