#include "clients/statement_text.h"

#include "db/value.h"

namespace hc::clients {

QString doubledApostrophes(const QString &text)
{
    QString doubled = text;
    return doubled.replace(QLatin1Char('\''), QLatin1String("''"));
}

QString trimBlanks(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == QLatin1Char(' '))
        ++first;
    while (last > first && text.at(last - 1) == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}

QString ratingLevel(const QString &filter)
{
    if (filter == QLatin1String("Severe"))
        return QStringLiteral("10");
    if (filter == QLatin1String("Abnormal"))
        return QStringLiteral("5");
    return QStringLiteral("0");
}

QString customFlag(const QString &filter)
{
    return filter == QLatin1String("CUSTOM") ? QStringLiteral("1") : QStringLiteral("0");
}

QString orderingClause(const QString &filter)
{
    return filter.isEmpty() ? QStringLiteral(" order by contact_id ") : QString();
}

QString cleanupStatement(const QString &labCode)
{
    return QStringLiteral("exec routing.dbo.distrib_cleanup @distributionType = 'HARD_COPY', @labCode = '")
        + doubledApostrophes(labCode) + QLatin1Char('\'');
}

QString exclusionClauses(const std::optional<std::vector<QString>> &contactIds,
                         const std::optional<std::vector<QString>> &recDates)
{
    QString clauses;
    if (!contactIds)
        return clauses;
    for (std::size_t i = 0; i < contactIds->size(); ++i) {
        const QString &contactId = (*contactIds)[i];
        if (!recDates || i >= recDates->size() || !db::Value(contactId).isNumeric())
            break;
        clauses += QLatin1Char(' ');
        clauses += i == 0 ? QLatin1String(" where ") : QLatin1String(" and ");
        clauses += QLatin1String(" not(contact_id = ") + contactId + QLatin1String(" and rec_date = '")
            + doubledApostrophes((*recDates)[i]) + QLatin1String("') ");
    }
    return clauses;
}

QString activeClientsStatement(const QString &labCode, const QString &filter,
                               const std::optional<std::vector<QString>> &contactIds,
                               const std::optional<std::vector<QString>> &recDates)
{
    return QLatin1String("select   * ") + QLatin1String("from     routing.dbo.tbl_Distrib_ActiveClients(")
        + QLatin1String("'HARD_COPY', ") + QLatin1Char('\'') + doubledApostrophes(labCode) + QLatin1String("', ")
        + ratingLevel(filter) + QLatin1String(", ") + customFlag(filter) + QLatin1String(") ")
        + exclusionClauses(contactIds, recDates) + orderingClause(filter);
}

} // namespace hc::clients
