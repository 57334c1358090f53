#include "coordination/turn_taking.h"

#include "db/failure.h"

namespace hc::coordination {

namespace {

// The date a time of day alone converts to: such a stamp carries no date.
const QDate kZeroDate(1899, 12, 30);

// Only blanks are trimmed, not tabs or line breaks.
QString trimTrailingBlanks(const QString &text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == u' ')
        --end;
    return text.left(end);
}

QString trimBlanks(const QString &text)
{
    qsizetype begin = 0;
    while (begin < text.size() && text.at(begin) == u' ')
        ++begin;
    return trimTrailingBlanks(text.mid(begin));
}

QString quoted(const QString &text)
{
    QString doubled = text;
    doubled.replace(u'\'', QStringLiteral("''"));
    return QLatin1Char('\'') + doubled + QLatin1Char('\'');
}

QString settingValue(const QString &name, const db::Value &value)
{
    if (value.isNull())
        throw Failure(QStringLiteral("The setting %1 has no value.").arg(name).toStdString());
    return trimTrailingBlanks(value.toText());
}

QDateTime settingStamp(const QString &name, const db::Value &value)
{
    if (value.isDateTime())
        return value.toDateTime();
    const QString text = settingValue(name, value);
    try {
        return db::Value(trimBlanks(text)).toDateTime();
    } catch (const Failure &) {
        throw Failure(QStringLiteral("The setting %1 holds \"%2\", which is not a date and time.")
                          .arg(name, text)
                          .toStdString());
    }
}

int minuteOfDay(const QTime &time)
{
    return time.hour() * 60 + time.minute();
}

} // namespace

QString labSuffix(const QString &labCode)
{
    return labCode == QLatin1String("KORVEL") ? QStringLiteral("_US") : QStringLiteral("_CA");
}

QString settingsQuery(const QString &suffix)
{
    return QStringLiteral("select * from   sitecfg.dbo.settings (nolock) where  parameter in ('Dispatch_Freq%1', "
                          "'Dispatch_CurrApp%1', 'Dispatch_LastPing%1', 'Dispatch_LastUpd%1', 'Dispatch_Delay%1' )")
        .arg(suffix);
}

QString heartbeatBatch(const QString &callingApp, const QString &stamp, const QString &suffix)
{
    const auto update = [&suffix](const QString &value, const char *setting) {
        return QStringLiteral("update sitecfg.dbo.settings set value = %1 where parameter = 'Dispatch_%2%3' ")
            .arg(quoted(value), QLatin1String(setting), suffix);
    };
    return update(callingApp, "CurrApp") + update(stamp, "LastPing") + update(stamp, "LastUpd")
        + update(QStringLiteral("HardCopy Distribution"), "Function");
}

QString timeOfDayText(const QTime &time)
{
    return QStringLiteral("%1:%2").arg(time.hour()).arg(time.minute(), 2, 10, QLatin1Char('0'));
}

QString timeStamp(const QDateTime &moment)
{
    const QDate date = moment.date();
    return QStringLiteral("%1/%2/%3 %4")
        .arg(date.month())
        .arg(date.day())
        .arg(date.year(), 4, 10, QLatin1Char('0'))
        .arg(timeOfDayText(moment.time()));
}

void readSettings(db::ResultSet &rows, const QString &suffix, SettingsRead &read)
{
    const QString currApp = QStringLiteral("Dispatch_CurrApp") + suffix;
    const QString lastPing = QStringLiteral("Dispatch_LastPing") + suffix;
    const QString lastUpd = QStringLiteral("Dispatch_LastUpd") + suffix;
    const QString delay = QStringLiteral("Dispatch_Delay") + suffix;
    const QString freq = QStringLiteral("Dispatch_Freq") + suffix;

    for (; !rows.eof(); rows.moveNext()) {
        const db::Value &parameter = rows.field(QStringLiteral("PARAMETER"));
        if (parameter.isNull())
            continue;
        const QString name = trimBlanks(parameter.toText());
        const db::Value &value = rows.field(QStringLiteral("VALUE"));
        if (name == currApp) {
            read.currApp = settingValue(name, value);
        } else if (name == lastPing) {
            read.lastPing = timeOfDayText(settingStamp(name, value).time());
        } else if (name == lastUpd) {
            const QDateTime stamp = settingStamp(name, value);
            read.lastUpd = timeOfDayText(stamp.time());
            read.lastUpdStamp = stamp;
        } else if (name == delay) {
            read.delay = settingValue(name, value);
        } else if (name == freq) {
            read.freq = settingValue(name, value);
        }
    }
}

qint16 delayMinutes(const QString &delay)
{
    try {
        return db::Value(delay).toInt16();
    } catch (const Failure &) {
        throw Failure(QStringLiteral("The take-over delay \"%1\" is not a whole number of minutes.")
                          .arg(delay)
                          .toStdString());
    }
}

qint64 minutesSince(const QDateTime &stamp, const QDateTime &now)
{
    const qint64 withinDay = minuteOfDay(now.time()) - minuteOfDay(stamp.time());
    if (stamp.date() == kZeroDate)
        return withinDay;
    // Counted on the calendar, not in elapsed seconds, so that a change of
    // daylight saving time does not move a wall-clock stamp by an hour.
    return stamp.date().daysTo(now.date()) * 24 * 60 + withinDay;
}

TurnDecision decideTurn(const std::optional<QString> &callingApp, const SettingsRead &read, const QDateTime &now)
{
    TurnDecision turn{read.currApp, std::nullopt};
    if (!callingApp)
        return turn;
    if (read.lastUpdStamp && minutesSince(*read.lastUpdStamp, now) >= delayMinutes(read.delay))
        turn.currApp = *callingApp;
    if (*callingApp == turn.currApp)
        turn.heartbeat = *callingApp;
    return turn;
}

bool isDistributionType(const QString &callingApp)
{
    return callingApp == kAutoExport || callingApp == kHardCopy;
}

} // namespace hc::coordination
