#include "app/form_hardcopy.h"
#include "app/program.h"
#include "support/window_fixture.h"

#include <QApplication>
#include <QEventLoop>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>

namespace hc::app {
namespace {

Form_HardCopy *shownWindow()
{
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *window = qobject_cast<Form_HardCopy *>(widget); window && window->isVisible())
            return window;
    return nullptr;
}

TEST(Program, ConnectionThatCannotBeOpenedIsShownAndEndsWithoutAWindow)
{
    auto db = std::make_shared<test::ConnectionScript>();
    db->openFailure = QStringLiteral("[unixODBC][FreeTDS][SQL Server]Unable to connect to data source");
    test::ScriptedPrompts prompts;
    EXPECT_EQ(runProgram(test::scriptedPlatform(db, prompts)), 1);
    EXPECT_EQ(prompts.messages, QStringList{*db->openFailure});
    EXPECT_EQ(shownWindow(), nullptr);
}

TEST(Program, ClosingTheWindowDuringAWaitEndsTheWaitAndTheProgram)
{
    auto db = std::make_shared<test::ConnectionScript>();
    test::ScriptedPrompts prompts;
    QStringList events;
    // A procedure that waits in a local event loop, as a page load does, and
    // the operator closing the window meanwhile.
    QTimer::singleShot(0, [&] {
        Form_HardCopy *window = shownWindow();
        ASSERT_NE(window, nullptr);
        QEventLoop wait;
        QObject::connect(window, &Form_HardCopy::windowClosed, &wait, &QEventLoop::quit);
        QTimer::singleShot(10, window->cmd_Exit, &QPushButton::click);
        QTimer::singleShot(5000, &wait, [&] { events << "timed out"; wait.quit(); });
        events << "waiting";
        wait.exec();
        events << (window->unloaded() ? "wait ended, window unloaded" : "wait ended, window still loaded");
    });
    EXPECT_EQ(runProgram(test::scriptedPlatform(db, prompts)), 0);
    EXPECT_EQ(events, (QStringList{"waiting", "wait ended, window unloaded"}));
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST(Program, EnvironmentForTheBrowserEngine)
{
    qunsetenv("XDG_RUNTIME_DIR");
    qunsetenv("QTWEBENGINE_DISABLE_SANDBOX");
    const auto runtime = prepareEnvironment();
    ASSERT_NE(runtime, nullptr);
    EXPECT_EQ(qEnvironmentVariable("XDG_RUNTIME_DIR"), runtime->path());
    struct stat info = {};
    ASSERT_EQ(::stat(runtime->path().toLocal8Bit().constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(info.st_uid, ::geteuid());
    EXPECT_EQ(qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"), ::geteuid() == 0);

    EXPECT_EQ(prepareEnvironment(), nullptr) << "a runtime folder that is set stays";
    EXPECT_EQ(qEnvironmentVariable("XDG_RUNTIME_DIR"), runtime->path());
}

// The program as it is started: with Qt's own options on the command line,
// which it must ignore (given to Qt, "-platform" would end it at once), and
// ended by a stop signal as by Exit.
TEST(Program, IgnoresItsCommandLineAndEndsCleanlyOnAStopSignal)
{
    QTemporaryDir folder;
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HARDCOPY_DB_CONNECT"),
                       QStringLiteral("Driver={SQLite3};Database=") + folder.filePath(QStringLiteral("lab.db")));
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.start(QStringLiteral(HARDCOPY_EXECUTABLE),
                  {QStringLiteral("-platform"), QStringLiteral("no-such-platform"), QStringLiteral("/x"),
                   QStringLiteral("--anything")});
    ASSERT_TRUE(program.waitForStarted());
    EXPECT_FALSE(program.waitForFinished(3000)) << program.readAll().toStdString();
    ::kill(pid_t(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0) << program.readAll().toStdString();
}

} // namespace
} // namespace hc::app
