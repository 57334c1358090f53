// Logins of the demo laboratory's operators through OdbcConnection, unixODBC
// and the FreeTDS driver against the lab simulator of the test run.

#include "access/form_password.h"
#include "app/controls.h"
#include "app/form_hardcopy.h"
#include "clients/client_grid_model.h"
#include "support/labsim_client.h"
#include "support/window_fixture.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gmock/gmock.h>

namespace hc::app {
namespace {

using test::LabsimClient;
using testing::ElementsAre;

struct Operator {
    const char *typed;
    const char *sentLiteral; // between the apostrophes of the login statement
    const char *labCode;     // empty when refused
    const char *empNum;
    const char *refusal;
};

void PrintTo(const Operator &op, std::ostream *os)
{
    *os << '"' << op.typed << '"';
}

class LabsimLogin : public testing::TestWithParam<Operator> {
protected:
    void SetUp() override
    {
        labsim.reset();
        fixture = std::make_unique<test::WindowFixture>([this](Platform &platform) {
            test::connectThroughOdbc(platform, labsim.connectionString());
        });
    }

    LabsimClient labsim = LabsimClient::fromEnvironment();
    std::unique_ptr<test::WindowFixture> fixture;
};

TEST_P(LabsimLogin, OperatorIsAdmittedOrRefusedAsSeeded)
{
    const Operator &op = GetParam();
    Form_HardCopy &w = *fixture->window;
    fixture->prompts.answerNextDialog([&](QDialog &dialog) {
        auto &form = dynamic_cast<access::Form_Password &>(dialog);
        QTest::keyClicks(form.txt_password, QString::fromUtf8(op.typed));
        test::clickByPosition(form.cmd_bttn[0]);
    });
    ASSERT_TRUE(test::clickByPosition(w.cmd_Access));

    const QString login = QStringLiteral("exec lab.dbo.lab_login @password = '%1'").arg(op.sentLiteral);
    const bool admitted = *op.labCode != '\0';
    EXPECT_EQ(!enabledFlag(w.cmd_Access), admitted);
    EXPECT_EQ(w.sLabCode, op.labCode);
    EXPECT_EQ(w.sEmpNum, admitted ? op.empNum : "");
    if (!admitted) {
        EXPECT_EQ(fixture->prompts.messages, QStringList{op.refusal});
        EXPECT_THAT(labsim.sqlLogged(), ElementsAre(login));
        return;
    }
    EXPECT_TRUE(fixture->prompts.messages.isEmpty());
    EXPECT_THAT(labsim.sqlLogged(),
                ElementsAre(login,
                            QStringLiteral("exec routing.dbo.distrib_cleanup @distributionType = 'HARD_COPY', "
                                           "@labCode = '%1'").arg(op.labCode),
                            QStringLiteral("select   * from     routing.dbo.tbl_Distrib_ActiveClients('HARD_COPY', "
                                           "'%1', 0, 1) ").arg(op.labCode)));
    ASSERT_NE(w.gridModel(), nullptr);
    EXPECT_GT(w.gridModel()->rowCount(), 0);
    EXPECT_TRUE(w.lblStatsValue[0]->text().endsWith(" reports")) << w.lblStatsValue[0]->text().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    SeededOperators, LabsimLogin,
    testing::Values(Operator{"korvel0", "korvel0", "KORVEL", "1001", nullptr},
                    Operator{"korvel200", "korvel200", "KORVEL", "1002", nullptr},
                    Operator{"korvel201", "korvel201", "", "", "User does not have sufficient rights"},
                    Operator{"tarnby0", "tarnby0", "TARNBY", "2001", nullptr},
                    Operator{"tarnby200", "tarnby200", "TARNBY", "2002", nullptr},
                    Operator{"o'hara", "o''hara", "TARNBY", "2003", nullptr},
                    Operator{"  korvel0 ", "korvel0", "KORVEL", "1001", nullptr},
                    Operator{"KORVEL0", "KORVEL0", "", "", "Invalid code....access denied"},
                    Operator{"x' or '1'='1", "x'' or ''1''=''1", "", "", "Invalid code....access denied"}));

} // namespace
} // namespace hc::app
