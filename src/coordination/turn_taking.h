#pragma once

#include "db/result_set.h"
#include "db/value.h"

#include <QDateTime>
#include <QString>
#include <QTime>

#include <optional>

// Turn-taking with the sibling export service through the shared settings
// rows: one row names the holder of the turn, its stamps prove it alive.
namespace hc::coordination {

inline const QString kHardCopy = QStringLiteral("HARD_COPY");
inline const QString kAutoExport = QStringLiteral("AUTO_EXPORT");

// "_US" for the lab code "KORVEL" exactly, "_CA" for any other, empty included.
QString labSuffix(const QString &labCode);

QString settingsQuery(const QString &suffix);
// The four updates of the heartbeat, sent as one batch.
QString heartbeatBatch(const QString &callingApp, const QString &stamp, const QString &suffix);

// "H:mm" on the 24-hour clock; seconds are not recorded.
QString timeOfDayText(const QTime &time);
// "M/D/YYYY H:mm", the form this service writes.
QString timeStamp(const QDateTime &moment);

// The settings as one question read them. The texts are what the window
// keeps; lastUpdStamp is the LastUpd stamp as it was read, date included,
// so that its age can be measured across midnight.
struct SettingsRead {
    QString currApp;
    QString lastPing;
    QString lastUpd;
    QString delay;
    QString freq;
    std::optional<QDateTime> lastUpdStamp;
};

// Goes through the rows of the settings query, filling `read` as it goes, so
// that after a failure it holds what was read up to that row. Raises
// hc::Failure for a result set that was never opened, a matched row whose
// VALUE is Null, and a LastPing or LastUpd value that is not a date and time.
void readSettings(db::ResultSet &rows, const QString &suffix, SettingsRead &read);

// The Delay setting in whole minutes, halves to even; raises when it is not
// numeric or out of 16-bit range.
qint16 delayMinutes(const QString &delay);

// Whole minutes from the stamp to now, both taken to the minute; negative
// when the stamp is later. A stamp without a date (a time of day alone) is
// measured within the day.
qint64 minutesSince(const QDateTime &stamp, const QDateTime &now);

struct TurnDecision {
    // What the window's sCurrApp holds after the question.
    QString currApp;
    // The type to write as holder of the turn when the caller holds it;
    // nothing is written otherwise.
    std::optional<QString> heartbeat;

    bool holdsTurn() const { return heartbeat.has_value(); }
};

// The turn rule. `read` holds the rows of this question when the caller is
// one of the two types, else the window's variables as they stand (without a
// LastUpd stamp, so no take-over is considered). Raises hc::Failure when a
// LastUpd stamp was read and Delay is not a 16-bit number.
TurnDecision decideTurn(const std::optional<QString> &callingApp, const SettingsRead &read, const QDateTime &now);

// True for the two distribution types, which read the rows before deciding.
bool isDistributionType(const QString &callingApp);

} // namespace hc::coordination
