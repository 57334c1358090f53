#include "app/controls.h"
#include "app/form_hardcopy.h"
#include "app/timer.h"
#include "support/window_fixture.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QWebEngineView>

#include <gtest/gtest.h>

namespace hc::app {
namespace {

using test::clickByPosition;
using test::WindowFixture;

constexpr const char *kBuiltInConnection = "Driver={SQL Server};SERVER=127.0.0.1;UID=sa;PWD=mk9073zr;";

QWidget *control(Form_HardCopy &window, const char *name)
{
    auto *found = window.findChild<QWidget *>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

// Every control of the window, as it is after start-up.
struct Expected {
    const char *name;
    const char *kind;
    const char *caption;
    const char *tag;
    TwipsGeometry geometry;
};
const Expected kControls[] = {
    {"cmd_Access", "QPushButton", "&Login", "", {4830, 270, 1455, 345}},
    {"Frame_Report", "QGroupBox", "Distribution Statistics", "", {90, 6600, 6315, 2055}},
    {"lblStats(0)", "QLabel", "Total Reports : ", "TOTAL_REPORTS", {150, 300, 2100, 315}},
    {"lblStats(1)", "QLabel", "Total Time : ", "TIME_ELAPSED", {150, 630, 2100, 315}},
    {"lblStats(2)", "QLabel", "Reports Processed : ", "PROCESSED", {150, 960, 2100, 315}},
    {"lblStats(3)", "QLabel", "Estimated Completion Time : ", "TIME_TOCOMPLETION", {150, 1320, 2100, 315}},
    {"lblStats(4)", "QLabel", "Current Batch Count : ", "CURRENT_BATCH_COUNT", {120, 1680, 2100, 315}},
    {"lblStatsValue(0)", "QLabel", "", "TOTAL_REPORTS", {2250, 300, 3825, 345}},
    {"lblStatsValue(1)", "QLabel", "", "TIME_ELAPSED", {2250, 630, 3825, 345}},
    {"lblStatsValue(2)", "QLabel", "", "PROCESSED", {2250, 960, 3825, 345}},
    {"lblStatsValue(3)", "QLabel", "", "TIME_TOCOMPLETION", {2250, 1320, 3825, 345}},
    {"lblStatsValue(4)", "QLabel", "", "CURRENT_BATCH_COUNT", {2220, 1680, 3825, 345}},
    {"cmd_Exit", "QPushButton", "E&xit", "", {4890, 6120, 1455, 375}},
    {"cmd_View", "QPushButton", "Preview >>", "OFF", {3330, 6120, 1455, 375}},
    {"cmd_Printer", "QPushButton", "P&rinter Options", "", {120, 6090, 1545, 375}},
    {"Frame1", "QGroupBox", "Distribution Activity Services ", "", {360, 4380, 5775, 1365}},
    {"Label6", "QLabel", "Refresh Frequency :", "", {30, 330, 1725, 255}},
    {"cbo_Freq_HardCopy", "QComboBox", "", "", {1860, 300, 1815, 315}},
    {"Label4", "QLabel", "Batch Status : ", "", {270, 660, 1515, 315}},
    {"lbl_BatchStatus", "QLabel", "Not active", "", {1890, 690, 1995, 285}},
    {"pb_BatchStatus", "QProgressBar", "", "", {1860, 690, 3615, 225}},
    {"Label2", "QLabel", "Activity Status : ", "", {270, 1050, 1515, 315}},
    {"lbl_ReadyStatus", "QLabel", "Browser is idle", "", {1860, 1050, 1995, 285}},
    {"pb_ReadyStatus", "QProgressBar", "", "", {1860, 1050, 3615, 225}},
    {"WebBrowser1", "QWebEngineView", "", "", {6540, 810, 10560, 7845}},
    {"Frame_Addr", "QGroupBox", "", "", {6570, 90, 10515, 675}},
    {"Label1", "QLabel", "Address : ", "", {0, 240, 885, 315}},
    {"cboAddress", "QComboBox", "", "", {930, 210, 8895, 315}},
    {"cmdGo", "QPushButton", "Go", "", {9930, 210, 405, 315}},
    {"frame_Grid", "QGroupBox", "Distribution Services ", "", {90, 90, 6315, 5925}},
    {"chk_Print", "QCheckBox", "Print reports", "", {3030, 300, 2055, 315}},
    {"SSTab1", "QTabWidget", "", "", {150, 330, 6045, 5475}},
    {"shp_runMode", "hc::app::Shape", "", "", {150, 90, 195, 195}},
    {"lbl_ServDesc", "QLabel", "Hardcopy services disabled", "", {2370, 450, 3495, 285}},
    {"cmd_Automation", "QPushButton", "Start Services", "", {150, 780, 1455, 345}},
    {"cmd_ManualRestart", "QPushButton", "Manual Restart", "", {1710, 780, 1455, 345}},
    {"Label5", "QLabel", "Print Mode : ", "", {150, 1440, 1065, 255}},
    {"opt_FilterRating(0)", "QRadioButton", "All", "", {1110, 1410, 855, 315}},
    {"opt_FilterRating(1)", "QRadioButton", "Severe", "Severe", {2040, 1410, 915, 315}},
    {"opt_FilterRating(2)", "QRadioButton", "Abnormal", "Abnormal", {3000, 1410, 1785, 315}},
    {"opt_FilterRating(3)", "QRadioButton", "Custom", "CUSTOM", {4080, 1410, 1785, 315}},
    {"DataGrid1", "QTableView", "", "", {120, 1770, 5775, 2055}},
};

QString caption(const QWidget *widget)
{
    if (auto *group = qobject_cast<const QGroupBox *>(widget))
        return group->title();
    if (auto *button = qobject_cast<const QAbstractButton *>(widget))
        return button->text();
    if (auto *label = qobject_cast<const QLabel *>(widget))
        return label->text();
    return QString();
}

TEST(Window, AfterStartUp)
{
    WindowFixture f;
    Form_HardCopy &w = *f.window;

    EXPECT_EQ(w.windowTitle(), QStringLiteral("Fennoric HardCopy Distribution System"));
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(widthTwips(&w), 6540) << "the preview is hidden";
    EXPECT_EQ(w.width(), 436);
    EXPECT_EQ(w.height(), 587);
    EXPECT_EQ(w.cmd_View->text(), QStringLiteral("Preview >>"));
    EXPECT_EQ(tag(w.cmd_View), QStringLiteral("OFF"));
    EXPECT_EQ(w.sServiceState, QStringLiteral("IDLE"));
    EXPECT_EQ(w.iSentLast, 0);
    EXPECT_TRUE(w.Timer1->enabled());

    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(topTwips(w.lblStatsValue[i]), topTwips(w.lblStats[i])) << i;
        EXPECT_EQ(leftTwips(w.lblStatsValue[i]), i == 4 ? 2220 : 2250) << i;
        EXPECT_EQ(w.lblStatsValue[i]->x(), i == 4 ? 148 : 150) << i;
        EXPECT_EQ(w.lblStatsValue[i]->text(), QString()) << i;
        EXPECT_EQ(tag(w.lblStatsValue[i]), tag(w.lblStats[i])) << i;
    }

    // Start-up opens the connection once and reads nothing.
    EXPECT_EQ(f.db->opened, QStringList{QLatin1String(kBuiltInConnection)});
    EXPECT_EQ(w.db().sConnect, QLatin1String(kBuiltInConnection));
    EXPECT_TRUE(f.db->executed.isEmpty());
    EXPECT_TRUE(f.prompts.messages.isEmpty());
    EXPECT_EQ(w.DataGrid1->model(), nullptr);
    EXPECT_EQ(w.gridModel(), nullptr);
    EXPECT_FALSE(w.rsClients->isOpen());
    EXPECT_FALSE(w.arrSentContactIds.has_value());
    EXPECT_FALSE(w.arrSentRecDates.has_value());
    EXPECT_EQ(w.browser(), nullptr);
    EXPECT_EQ(w.printQueue(), nullptr);
}

TEST(Window, OnlyTheStatedControlsStartDisabledOrHidden)
{
    WindowFixture f;
    const QStringList disabled = {"cmd_View", "cmd_Printer", "cbo_Freq_HardCopy", "cmd_Automation",
                                  "opt_FilterRating(0)", "opt_FilterRating(1)", "opt_FilterRating(2)",
                                  "opt_FilterRating(3)"};
    const QStringList hidden = {"pb_BatchStatus", "pb_ReadyStatus", "cmd_ManualRestart"};
    for (const Expected &e : kControls) {
        const QString name = QString::fromLatin1(e.name);
        QWidget *widget = control(*f.window, e.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(enabledFlag(widget), !disabled.contains(name)) << e.name;
        EXPECT_EQ(visibleFlag(widget), !hidden.contains(name)) << e.name;
    }
    EXPECT_TRUE(f.window->chk_Print->isChecked());
    EXPECT_EQ(f.window->cbo_Freq_HardCopy->currentIndex(), -1);
    for (QRadioButton *option : f.window->opt_FilterRating)
        EXPECT_FALSE(option->isChecked());
}

TEST(Window, ControlsHaveTheirKindCaptionTagAndPlace)
{
    WindowFixture f;
    for (const Expected &e : kControls) {
        SCOPED_TRACE(e.name);
        QWidget *widget = control(*f.window, e.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_TRUE(widget->inherits(e.kind)) << widget->metaObject()->className();
        EXPECT_EQ(caption(widget), QString::fromLatin1(e.caption));
        EXPECT_EQ(tag(widget), QString::fromLatin1(e.tag));
        EXPECT_EQ(geometryTwips(widget), e.geometry);
        EXPECT_EQ(widget->geometry(), QRect(twipsToPixels(e.geometry.left, 96), twipsToPixels(e.geometry.top, 96),
                                            twipsToPixels(e.geometry.width, 96),
                                            twipsToPixels(e.geometry.height, 96)));
    }

    Form_HardCopy &w = *f.window;
    EXPECT_EQ(w.SSTab1->count(), 1);
    EXPECT_EQ(w.SSTab1->tabText(0), QStringLiteral("Hard Copy"));
    for (QWidget *onTab : {static_cast<QWidget *>(w.shp_runMode), static_cast<QWidget *>(w.DataGrid1),
                           static_cast<QWidget *>(w.opt_FilterRating[3])})
        EXPECT_EQ(onTab->parentWidget(), w.SSTab1);
    EXPECT_EQ(w.shp_runMode->backColor(), kRed);
    EXPECT_EQ(backColor(w.lbl_ServDesc), kYellow);
    EXPECT_EQ(backStyle(w.lbl_ServDesc), BackStyle::Opaque);
    EXPECT_TRUE(w.lbl_ServDesc->font().bold());
    EXPECT_EQ(w.lbl_ServDesc->font().pointSizeF(), 8.25);
    EXPECT_EQ(w.DataGrid1->toolTip(), QStringLiteral("HardCopy Services is disabled"));
    EXPECT_EQ(w.pb_BatchStatus->maximum(), 100);
    EXPECT_EQ(w.pb_ReadyStatus->maximum(), 4);
    EXPECT_EQ(w.cbo_Freq_HardCopy->count(), 7);
    const QStringList frequencies = {"1 Minute", "2 Minutes", "5 Minutes", "10 Minutes", "15 Minutes",
                                     "20 Minutes", "Once only"};
    for (int i = 0; i < frequencies.size(); ++i)
        EXPECT_EQ(w.cbo_Freq_HardCopy->itemText(i), frequencies[i]);
    EXPECT_TRUE(w.cboAddress->isEditable());
    EXPECT_EQ(w.cboAddress->count(), 0);
    EXPECT_TRUE(w.WebBrowser1->url().isEmpty());
}

TEST(Window, PreviewToggleWidensAndNarrowsTheWindow)
{
    WindowFixture f;
    Form_HardCopy &w = *f.window;
    w.cmd_View->setEnabled(true);

    ASSERT_TRUE(clickByPosition(w.cmd_View));
    EXPECT_EQ(w.cmd_View->text(), QStringLiteral("<< Hide Preview"));
    EXPECT_EQ(tag(w.cmd_View), QStringLiteral("ON"));
    EXPECT_EQ(widthTwips(&w), 17310);
    EXPECT_EQ(w.width(), 1154);

    ASSERT_TRUE(clickByPosition(w.cmd_View));
    EXPECT_EQ(w.cmd_View->text(), QStringLiteral("Preview >>"));
    EXPECT_EQ(tag(w.cmd_View), QStringLiteral("OFF"));
    EXPECT_EQ(widthTwips(&w), 6540);
    EXPECT_EQ(w.width(), 436);

    // The hidden width follows the browser's current place.
    setTag(w.cmd_View, QString());
    w.cmd_View_Click();
    EXPECT_EQ(tag(w.cmd_View), QStringLiteral("ON")) << "an empty Tag shows the preview";
    setLeftTwips(w.WebBrowser1, 7000);
    w.cmd_View_Click();
    EXPECT_EQ(widthTwips(&w), 7000);

    // Any other Tag hides it.
    setTag(w.cmd_View, QStringLiteral("on"));
    w.cmd_View_Click();
    EXPECT_EQ(tag(w.cmd_View), QStringLiteral("OFF"));
    EXPECT_TRUE(f.db->executed.isEmpty());
}

TEST(Window, EveryVisibleControlCanBeReachedByTheMouse)
{
    WindowFixture f;
    Form_HardCopy &w = *f.window;
    w.cmd_View_Click(); // preview shown: the whole window is on screen
    for (const Expected &e : kControls) {
        QWidget *widget = control(w, e.name);
        if (!visibleFlag(widget))
            continue;
        QWidget *reached = test::widgetAtPosition(widget, QPoint(4, widget->height() / 2));
        EXPECT_TRUE(reached == widget || widget->isAncestorOf(reached))
            << e.name << " is covered by "
            << (reached ? reached->objectName().toStdString() + " (" + reached->metaObject()->className() + ")"
                        : std::string("nothing"));
    }
    // With the preview hidden the address bar lies outside the window.
    w.cmd_View_Click();
    EXPECT_EQ(test::widgetAtPosition(w.cmdGo), nullptr);
}

TEST(Window, LoginAndPrintReportsTakeClicksOverTheContainersBelowThem)
{
    WindowFixture f;
    Form_HardCopy &w = *f.window;
    QSignalSpy loginClicks(w.cmd_Access, &QPushButton::clicked);
    f.prompts.answerNextDialog([](QDialog &passwordDialog) { passwordDialog.reject(); });
    ASSERT_TRUE(clickByPosition(w.cmd_Access));
    EXPECT_EQ(loginClicks.count(), 1);
    ASSERT_TRUE(clickByPosition(w.chk_Print, QPoint(8, w.chk_Print->height() / 2)));
    EXPECT_FALSE(w.chk_Print->isChecked());
    ASSERT_TRUE(clickByPosition(w.chk_Print, QPoint(8, w.chk_Print->height() / 2)));
    EXPECT_TRUE(w.chk_Print->isChecked());
}

TEST(Window, ReplacementConnectionStringIsOpenedInstead)
{
    WindowFixture f([](Platform &platform) {
        platform.configuration.dbServer = QStringLiteral("lims-db");
        platform.configuration.dbConnect = QStringLiteral("Driver={SQLite3};Database=:memory:");
    });
    EXPECT_EQ(f.db->opened, QStringList{QStringLiteral("Driver={SQLite3};Database=:memory:")});
}

TEST(Window, ServerAddressGoesIntoTheBuiltInString)
{
    WindowFixture f([](Platform &platform) { platform.configuration.dbServer = QStringLiteral("10.1.2.3,1433"); });
    EXPECT_EQ(f.db->opened, QStringList{QStringLiteral("Driver={SQL Server};SERVER=10.1.2.3,1433;UID=sa;PWD=mk9073zr;")});
}

TEST(Window, ConnectionThatCannotBeOpenedEndsStartUpBeforeTheWindowShows)
{
    auto db = std::make_shared<test::ConnectionScript>();
    db->openFailure = QStringLiteral("[FreeTDS][SQL Server]Unable to connect to data source");
    test::ScriptedPrompts prompts;
    Form_HardCopy window(test::scriptedPlatform(db, prompts));
    try {
        window.Form_Load();
        ADD_FAILURE() << "start-up went on without its connection";
    } catch (const Failure &failure) {
        EXPECT_STREQ(failure.what(), "[FreeTDS][SQL Server]Unable to connect to data source");
    }
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.sServiceState, QString()) << "nothing after the open ran";
    EXPECT_TRUE(prompts.messages.isEmpty()) << "the caller reports it";
}

TEST(Window, ExitAndTheWindowFrameCloseTheWindowWithoutAQuestion)
{
    for (bool byFrame : {false, true}) {
        SCOPED_TRACE(byFrame ? "window frame" : "Exit");
        WindowFixture f;
        Form_HardCopy &w = *f.window;
        QSignalSpy closed(&w, &Form_HardCopy::windowClosed);
        if (byFrame)
            w.close();
        else
            ASSERT_TRUE(clickByPosition(w.cmd_Exit));
        EXPECT_TRUE(w.unloaded());
        EXPECT_FALSE(w.isVisible());
        EXPECT_EQ(closed.count(), 1);
        EXPECT_FALSE(w.Timer1->enabled()) << "no tick reaches the closed window";
        EXPECT_TRUE(f.prompts.messages.isEmpty());
        EXPECT_TRUE(f.db->executed.isEmpty());
        w.close();
        EXPECT_EQ(closed.count(), 1) << "closed once";
    }
}

TEST(Window, FailureOfAnEventIsShownAndEndsOnlyThatEvent)
{
    WindowFixture f;
    Form_HardCopy &w = *f.window;
    bool after = false;
    w.runEvent([&] {
        throw Failure("Type mismatch");
        after = true;
    });
    EXPECT_FALSE(after);
    EXPECT_EQ(f.prompts.messages, QStringList{QStringLiteral("Type mismatch")});
    EXPECT_FALSE(w.unloaded());

    w.close();
    w.runEvent([] { throw Failure("after the window closed"); });
    EXPECT_EQ(f.prompts.messages.size(), 1) << "nothing is shown for a closed window";
}

} // namespace
} // namespace hc::app
