#include "support/window_fixture.h"

#include "db/odbc_connection.h"

#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace hc::test {

app::Platform scriptedPlatform(const std::shared_ptr<ConnectionScript> &db, ScriptedPrompts &prompts)
{
    app::Platform platform;
    platform.makeConnection = [db] { return std::make_unique<ScriptedConnection>(db); };
    platform.prompts = &prompts;
    return platform;
}

void connectThroughOdbc(app::Platform &platform, const QString &connectionString)
{
    platform.configuration.dbConnect = connectionString;
    platform.makeConnection = [] { return std::make_unique<db::OdbcConnection>(); };
}

void addScriptedPrinting(app::Platform &platform, const std::shared_ptr<BrowserScript> &browser,
                         const std::shared_ptr<PrintScript> &printer)
{
    printer->trace = browser->trace;
    platform.makeBrowserEngine = [browser](QWebEngineView &) { return std::make_unique<ScriptedBrowser>(browser); };
    platform.makePrintQueue = [printer] { return std::make_unique<ScriptedPrintQueue>(printer); };
}

WindowFixture::WindowFixture(std::function<void(app::Platform &)> adjust, Printing printing)
{
    app::Platform platform = scriptedPlatform(db, prompts);
    if (printing == Printing::Scripted)
        addScriptedPrinting(platform, browser, printer);
    if (adjust)
        adjust(platform);
    window = std::make_unique<app::Form_HardCopy>(std::move(platform));
    window->Form_Load();
}

namespace {

QString describe(const QWidget *widget)
{
    const QString name = widget->objectName();
    return QString::fromLatin1(widget->metaObject()->className()) +
           (name.isEmpty() ? QString() : QStringLiteral(" \"%1\"").arg(name)) +
           (widget->property("text").isValid() ? QStringLiteral(" \"%1\"").arg(widget->property("text").toString())
                                                : QString());
}

} // namespace

QWidget *widgetAtPosition(QWidget *control, std::optional<QPoint> pointInControl)
{
    QWidget *window = control->window();
    const QPoint point = control->mapTo(window, pointInControl.value_or(control->rect().center()));
    if (!window->rect().contains(point))
        return nullptr;
    QWidget *target = window->childAt(point);
    return target ? target : window;
}

bool clickByPosition(QWidget *control, std::optional<QPoint> pointInControl)
{
    QWidget *target = widgetAtPosition(control, pointInControl);
    if (!target) {
        ADD_FAILURE() << describe(control).toStdString() << " lies outside its window";
        return false;
    }
    if (target != control && !control->isAncestorOf(target)) {
        ADD_FAILURE() << describe(control).toStdString() << " is covered by " << describe(target).toStdString();
        return false;
    }
    QWidget *window = control->window();
    const QPoint inWindow = control->mapTo(window, pointInControl.value_or(control->rect().center()));
    QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(window, inWindow));
    return true;
}

} // namespace hc::test
