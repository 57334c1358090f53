#include "access/login.h"

#include "access/form_password.h"
#include "app/form_hardcopy.h"
#include "app/prompts.h"
#include "clients/statement_text.h"
#include "db/failure.h"

#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>

namespace hc::access {

QString loginStatement(const QString &password)
{
    return QStringLiteral("exec lab.dbo.lab_login @password = '")
        + clients::doubledApostrophes(clients::trimBlanks(password)) + QLatin1Char('\'');
}

} // namespace hc::access

namespace hc::app {

void Form_HardCopy::cmd_Access_Click()
{
    QString password;
    {
        access::Form_Password dialog(this);
        platform().prompts->showModal(this, dialog);
        password = dialog.password;
    }
    if (password.isEmpty())
        return;

    db::ResultSetPtr login = db().Get_Recordset(access::loginStatement(password), true);
    QString refusal;
    try {
        if (login->eof()) {
            refusal = QString::fromLatin1(access::kUnknownPasswordText);
        } else if (login->field(QStringLiteral("FG_CUSTSRV_RES")).toInt16() > access::kHighestAdmittedRights) {
            refusal = QString::fromLatin1(access::kInsufficientRightsText);
        } else {
            sLabCode = login->field(QStringLiteral("LABCODE")).toText();
            sEmpNum = login->field(QStringLiteral("EMP_NUM")).toText();

            cmd_Access->setEnabled(false);
            cmd_Automation->setEnabled(true);
            cmd_Printer->setEnabled(true);
            cmd_View->setEnabled(true);
            DataGrid1->setEnabled(true);
            for (QRadioButton *option : opt_FilterRating)
                option->setEnabled(true);
            cbo_Freq_HardCopy->setEnabled(true);
            cbo_Freq_HardCopy->setCurrentIndex(0);
            opt_FilterRating_Click(3);
        }
        login->close();
    } catch (const Failure &) {
        // The login is not admitted; what was unlocked before the failure
        // stays unlocked.
        return;
    }
    if (!refusal.isEmpty())
        platform().prompts->showMessage(this, refusal);
}

} // namespace hc::app
