#include "app/form_hardcopy.h"
#include "coordination/turn_taking.h"

#include <QScopeGuard>

namespace hc::app {

bool Form_HardCopy::Get_CurrApp_Info(const db::Value &callingApp)
{
    const QString suffix = coordination::labSuffix(sLabCode);
    if (callingApp.isNull())
        return false;
    const QString caller = callingApp.toText();

    coordination::SettingsRead read{sCurrApp, sLastPing, sLastUpd, sDelay, sFreq, std::nullopt};
    if (coordination::isDistributionType(caller)) {
        read = {};
        // A failing row leaves the variables with what was read before it.
        const auto publish = qScopeGuard([this, &read] {
            sCurrApp = read.currApp;
            sLastPing = read.lastPing;
            sLastUpd = read.lastUpd;
            sDelay = read.delay;
            sFreq = read.freq;
        });
        const db::ResultSetPtr rows = db().Get_Recordset_Client(coordination::settingsQuery(suffix), true);
        coordination::readSettings(*rows, suffix, read);
        rows->close();
    }

    const coordination::TurnDecision turn = coordination::decideTurn(caller, read, platform().now());
    sCurrApp = turn.currApp;
    // The turn is only held once the rows say so: a heartbeat that did not
    // reach the database leaves the sibling free to work.
    return turn.holdsTurn() && Set_CurrApp_Update(*turn.heartbeat);
}

bool Form_HardCopy::Set_CurrApp_Update(const QString &callingApp)
{
    return db().Exec_DB_Statement(
        coordination::heartbeatBatch(callingApp, Set_TimeStamp(), coordination::labSuffix(sLabCode)), true);
}

QString Form_HardCopy::Set_TimeStamp() const
{
    return coordination::timeStamp(platform().now());
}

} // namespace hc::app
