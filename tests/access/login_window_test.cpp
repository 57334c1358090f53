#include "access/form_password.h"
#include "access/login.h"
#include "app/controls.h"
#include "app/form_hardcopy.h"
#include "clients/client_grid_model.h"
#include "clients/statement_text.h"
#include "support/window_fixture.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

namespace hc::app {
namespace {

using test::Answer;
using test::clickByPosition;
using test::WindowFixture;

const QStringList kLoginColumns{"FG_CUSTSRV_RES", "LABCODE", "EMP_NUM"};
const QStringList kClientColumns{"CONTACT_ID", "CONTACT_NAME", "ENDUSER_ID", "REC_DATE",
                                 "SAMPLES",    "TOTAL_REPORTS", "LAB_NOTE"};
const QString kCleanup = clients::cleanupStatement("KORVEL");
const QString kCustomQuery = clients::activeClientsStatement("KORVEL", "CUSTOM", std::nullopt, std::nullopt);

std::vector<db::ResultSet::Row> twoClients()
{
    return {
        {101, "Ames & Sons", "EU-1", QDateTime(QDate(2024, 3, 1), QTime(0, 0)), 4, 9, "x"},
        {102, "O'Brien Farms", "EU-2", QDateTime(QDate(2024, 3, 2), QTime(0, 0)), 5, 9, "y"},
    };
}

// Answers the password dialog as an operator would: types, then clicks Ok
// (or Cancel) where it lies in the dialog.
void answerPassword(WindowFixture &f, const QString &typed, int button = 0)
{
    f.prompts.answerNextDialog([typed, button](QDialog &dialog) {
        auto &form = dynamic_cast<access::Form_Password &>(dialog);
        EXPECT_EQ(form.txt_password->text(), QString()) << "every login starts with an empty box";
        EXPECT_EQ(form.password, QString());
        QTest::keyClicks(form.txt_password, typed);
        clickByPosition(form.cmd_bttn[std::size_t(button)]);
    });
}

void clickLogin(WindowFixture &f, const QString &typed, int button = 0)
{
    answerPassword(f, typed, button);
    ASSERT_TRUE(clickByPosition(f.window->cmd_Access));
}

struct LoginWindow : testing::Test {
    LoginWindow()
    {
        f.db->on(kCustomQuery, Answer::rows(kClientColumns, twoClients()));
    }
    void operatorIs(const QString &password, db::Value rights, db::Value labCode = "KORVEL",
                    db::Value empNum = "1002")
    {
        f.db->on(access::loginStatement(password), Answer::rows(kLoginColumns, {{rights, labCode, empNum}}));
    }
    bool locked() const { return enabledFlag(f.window->cmd_Access); }

    WindowFixture f;
};

TEST_F(LoginWindow, AdmittedOperatorUnlocksTheServiceAndSeesTheCustomClients)
{
    operatorIs("korvel200", 200);
    clickLogin(f, "korvel200");
    Form_HardCopy &w = *f.window;

    EXPECT_TRUE(f.prompts.messages.isEmpty());
    EXPECT_EQ(f.db->executed, (QStringList{access::loginStatement("korvel200"), kCleanup, kCustomQuery}));
    EXPECT_EQ(w.sLabCode, "KORVEL");
    EXPECT_EQ(w.sEmpNum, "1002");

    EXPECT_FALSE(enabledFlag(w.cmd_Access));
    for (QWidget *unlocked : std::initializer_list<QWidget *>{w.cmd_Automation, w.cmd_Printer, w.cmd_View, w.DataGrid1,
                                                              w.cbo_Freq_HardCopy})
        EXPECT_TRUE(enabledFlag(unlocked)) << unlocked->objectName().toStdString();
    for (QRadioButton *option : w.opt_FilterRating)
        EXPECT_TRUE(enabledFlag(option)) << option->objectName().toStdString();
    EXPECT_EQ(w.cbo_Freq_HardCopy->currentText(), "1 Minute");
    EXPECT_TRUE(w.opt_FilterRating[3]->isChecked());
    EXPECT_EQ(w.sRatingFilter, "CUSTOM");

    ASSERT_NE(w.gridModel(), nullptr);
    EXPECT_EQ(w.DataGrid1->model(), w.gridModel());
    EXPECT_EQ(w.gridModel()->rowCount(), 2);
    QStringList shown;
    for (int column = 0; column < w.gridModel()->columnCount(); ++column) {
        if (!w.DataGrid1->isColumnHidden(column))
            shown << w.gridModel()->headerData(column, Qt::Horizontal).toString();
    }
    EXPECT_EQ(shown, (QStringList{"CONTACT_NAME", "ENDUSER_ID", "REC_DATE", "SAMPLES"}));
    EXPECT_EQ(w.gridModel()->currentValue("CONTACT_NAME").toText(), "Ames & Sons");
    EXPECT_EQ(w.lblStatsValue[0]->text(), "9 reports");

    // A disabled Login button takes no click: no dialog, no statement.
    QTest::mouseClick(w.cmd_Access, Qt::LeftButton);
    EXPECT_EQ(f.db->executed.size(), 3);
}

TEST(LoginRights, DecideAdmission)
{
    struct Case {
        db::Value rights;
        bool admitted;
        const char *message;
    };
    const Case cases[] = {
        {200, true, nullptr},
        {0, true, nullptr},
        {-5, true, nullptr},
        {"150", true, nullptr},
        {201, false, "User does not have sufficient rights"},
        {32767, false, "User does not have sufficient rights"},
        {db::Value(), false, nullptr},
        {40000, false, nullptr},
        {"high", false, nullptr},
    };
    for (const Case &c : cases) {
        WindowFixture g;
        g.db->on(access::loginStatement("pw"), Answer::rows(kLoginColumns, {{c.rights, "KORVEL", "1002"}}));
        clickLogin(g, "pw");
        const std::string label = c.rights.isNull() ? "Null" : c.rights.toText().toStdString();
        EXPECT_EQ(!enabledFlag(g.window->cmd_Access), c.admitted) << label;
        EXPECT_EQ(g.prompts.messages, c.message ? QStringList{c.message} : QStringList{}) << label;
        EXPECT_EQ(g.window->sLabCode, c.admitted ? "KORVEL" : "") << label;
    }
}

TEST_F(LoginWindow, UnknownPasswordIsRefusedAndTheDialogOpensEmptyAgain)
{
    f.db->on(access::loginStatement("nobody"), Answer::rows(kLoginColumns, {}));
    clickLogin(f, "nobody");
    EXPECT_EQ(f.prompts.messages, QStringList{"Invalid code....access denied"});
    EXPECT_TRUE(locked());

    operatorIs("korvel0", 0);
    clickLogin(f, "korvel0");
    EXPECT_FALSE(locked());
    EXPECT_EQ(f.prompts.messages.size(), 1);
}

TEST_F(LoginWindow, NothingIsSentWithoutAPassword)
{
    clickLogin(f, "typed", 1);
    clickLogin(f, "");
    f.prompts.answerNextDialog([](QDialog &dialog) {
        QTest::keyClicks(dynamic_cast<access::Form_Password &>(dialog).txt_password, "typed");
        dialog.reject();
    });
    ASSERT_TRUE(clickByPosition(f.window->cmd_Access));

    EXPECT_TRUE(f.db->executed.isEmpty());
    EXPECT_TRUE(f.prompts.messages.isEmpty());
    EXPECT_TRUE(locked());
}

TEST_F(LoginWindow, PasswordIsSentTrimmedAndSafelyQuoted)
{
    operatorIs("o'hara", 100, "TARNBY", "2003");
    f.db->on(clients::activeClientsStatement("TARNBY", "CUSTOM", std::nullopt, std::nullopt),
             Answer::rows(kClientColumns, {}));
    clickLogin(f, "  o'hara ");
    ASSERT_FALSE(f.db->executed.isEmpty());
    EXPECT_EQ(f.db->executed.first(), "exec lab.dbo.lab_login @password = 'o''hara'");
    EXPECT_FALSE(locked());
    EXPECT_EQ(f.window->sLabCode, "TARNBY");
    EXPECT_EQ(f.db->executed.at(1),
              "exec routing.dbo.distrib_cleanup @distributionType = 'HARD_COPY', @labCode = 'TARNBY'");
    EXPECT_EQ(f.window->lblStatsValue[0]->text(), "") << "no rows, no total";

    WindowFixture g;
    clickLogin(g, "   ");
    EXPECT_EQ(g.db->executed.value(0), "exec lab.dbo.lab_login @password = ''");
}

TEST_F(LoginWindow, AFailedLoginStatementAdmitsNobodyAndShowsNoRefusal)
{
    f.db->on(access::loginStatement("pw"), Answer::error(2812, "Could not find stored procedure 'lab.dbo.lab_login'."));
    clickLogin(f, "pw");
    EXPECT_TRUE(f.prompts.messages.isEmpty());
    EXPECT_TRUE(locked());
    EXPECT_EQ(f.db->executed, QStringList{access::loginStatement("pw")});
}

TEST_F(LoginWindow, AnUnreadableRowStopsTheLoginWhereItFailed)
{
    operatorIs("nolab", 0, db::Value(), "1002");
    clickLogin(f, "nolab");
    EXPECT_TRUE(locked());
    EXPECT_EQ(f.window->sLabCode, "");

    operatorIs("noemp", 0, "KORVEL", db::Value());
    clickLogin(f, "noemp");
    EXPECT_TRUE(locked());
    EXPECT_EQ(f.window->sLabCode, "KORVEL") << "the lab code was read before the employee number failed";
    EXPECT_EQ(f.window->sEmpNum, "");
    EXPECT_TRUE(f.prompts.messages.isEmpty());
}

TEST_F(LoginWindow, AFailingFirstQueryKeepsTheAdmission)
{
    operatorIs("korvel0", 0);
    f.db->on(kCleanup, Answer::error(2812, "Could not find stored procedure 'routing.dbo.distrib_cleanup'."));
    clickLogin(f, "korvel0");
    Form_HardCopy &w = *f.window;
    EXPECT_FALSE(locked());
    EXPECT_TRUE(enabledFlag(w.cmd_Automation));
    EXPECT_EQ(w.cbo_Freq_HardCopy->currentText(), "1 Minute");
    EXPECT_EQ(w.gridModel(), nullptr);
    EXPECT_EQ(w.sRatingFilter, "");
    EXPECT_TRUE(f.prompts.messages.isEmpty());
}

TEST(PasswordDialog, IsLaidOutAsDesignedAndMasksWhatIsTyped)
{
    access::Form_Password dialog;
    EXPECT_EQ(dialog.windowTitle(), "Distribution Access Security");
    EXPECT_EQ(geometryTwips(&dialog).width, 4005);
    EXPECT_EQ(geometryTwips(&dialog).height, 1065);
    EXPECT_EQ(dialog.lbl_Prompt->text(), "Enter your LIMS password : ");
    EXPECT_EQ(geometryTwips(dialog.lbl_Prompt), (TwipsGeometry{60, 120, 2145, 255}));
    EXPECT_EQ(geometryTwips(dialog.txt_password), (TwipsGeometry{120, 420, 1335, 315}));
    EXPECT_EQ(dialog.cmd_bttn[0]->text(), "&Ok");
    EXPECT_EQ(geometryTwips(dialog.cmd_bttn[0]), (TwipsGeometry{2550, 120, 1305, 345}));
    EXPECT_EQ(dialog.cmd_bttn[1]->text(), "&Cancel");
    EXPECT_EQ(geometryTwips(dialog.cmd_bttn[1]), (TwipsGeometry{2550, 570, 1305, 345}));

    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(dialog.focusWidget(), dialog.txt_password);
    QTest::keyClicks(dialog.txt_password, "a b'c");
    EXPECT_EQ(dialog.txt_password->displayText(), "*****");
    QTest::keyClick(dialog.txt_password, Qt::Key_Tab);
    EXPECT_EQ(dialog.focusWidget(), dialog.cmd_bttn[0]);
    QTest::keyClick(dialog.cmd_bttn[0], Qt::Key_Tab);
    EXPECT_EQ(dialog.focusWidget(), dialog.cmd_bttn[1]);

    QTest::keyClick(dialog.cmd_bttn[1], Qt::Key_Space);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.password, "");
}

TEST(PasswordDialog, OkTakesTheTextAsTyped)
{
    access::Form_Password dialog;
    dialog.show();
    QTest::keyClicks(dialog.txt_password, " secret ");
    QTest::keyClick(dialog.txt_password, Qt::Key_Return);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.password, " secret ");
}

} // namespace
} // namespace hc::app
