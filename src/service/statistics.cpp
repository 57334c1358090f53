#include "service/statistics.h"

#include "app/form_hardcopy.h"
#include "clients/statement_text.h"

#include <QLabel>

#include <cstdlib>

namespace hc::service {

namespace {

QString twoDigits(qint64 part)
{
    return QString::number(part).rightJustified(2, QLatin1Char('0'));
}

qint64 wholeSeconds(const QDateTime &moment)
{
    const qint64 msecs = moment.toMSecsSinceEpoch();
    return msecs / 1000 - (msecs % 1000 < 0 ? 1 : 0);
}

} // namespace

QString elapsedTimeText(qint64 seconds)
{
    const qint64 span = std::llabs(seconds);
    const qint64 hours = span / 3600;
    const qint64 minutes = (span - 3600 * hours) / 60;
    const qint64 rest = span - 3600 * hours - 60 * minutes;
    const QString text = twoDigits(hours) + QLatin1Char(':') + twoDigits(minutes) + QLatin1Char(':') + twoDigits(rest);
    return seconds < 0 ? QLatin1Char('-') + text : text;
}

QString Get_ElapsedTime(const QDateTime &dtFrom, const QDateTime &dtTo)
{
    return elapsedTimeText(wholeSeconds(dtTo) - wholeSeconds(dtFrom));
}

std::optional<QString> totalLabelText(const db::Value &total)
{
    if (auto count = countLabelText(total))
        return *count + QLatin1String(" reports");
    return std::nullopt;
}

std::optional<QString> countLabelText(const db::Value &count)
{
    if (!count.isNumeric())
        return std::nullopt;
    return clients::trimBlanks(count.toText());
}

std::optional<QString> timeLabelText(const db::Value &time)
{
    if (time.isNull())
        return std::nullopt;
    return clients::trimBlanks(time.toText());
}

} // namespace hc::service

namespace hc::app {

void Form_HardCopy::Reset_Stats()
{
    const char *resetTexts[] = {"", "00:00:00", "", "00:00:00", "0"};
    for (std::size_t i = 0; i < lblStatsValue.size(); ++i)
        lblStatsValue[i]->setText(QString::fromLatin1(resetTexts[i]));
    arrSentContactIds.reset();
    arrSentRecDates.reset();
}

QString Form_HardCopy::Get_ElapsedTime(const QDateTime &dtFrom, const QDateTime &dtTo) const
{
    return service::Get_ElapsedTime(dtFrom, dtTo);
}

void Form_HardCopy::Set_StatsLabels(const db::Value &vTotal, const db::Value &vElapsed, const db::Value &vProcessed,
                                    const db::Value &vCompletion, const db::Value &vBatch)
{
    const std::optional<QString> texts[] = {
        service::totalLabelText(vTotal),     service::timeLabelText(vElapsed), service::countLabelText(vProcessed),
        service::timeLabelText(vCompletion), service::countLabelText(vBatch),
    };
    for (std::size_t i = 0; i < lblStatsValue.size(); ++i) {
        if (texts[i])
            lblStatsValue[i]->setText(*texts[i]);
    }
}

} // namespace hc::app
