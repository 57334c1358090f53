#pragma once

#include <QString>

#include <optional>
#include <vector>

namespace hc::clients {

// Text made safe for a T-SQL literal between apostrophes.
QString doubledApostrophes(const QString &text);
// The text without its leading and trailing blanks (spaces only).
QString trimBlanks(const QString &text);

// The arguments and clause the rating filter (a rating option's Tag) gives
// the active-client function; the comparison is exact and case-sensitive.
QString ratingLevel(const QString &filter);
QString customFlag(const QString &filter);
QString orderingClause(const QString &filter);

QString cleanupStatement(const QString &labCode);

// One "not(...)" clause per client already requested in this run, in list
// order. The clauses stop at the first client that cannot be put into a
// statement: a contact id that is not numeric, or a receive date missing from
// its parallel list. An erased list gives no clause.
QString exclusionClauses(const std::optional<std::vector<QString>> &contactIds,
                         const std::optional<std::vector<QString>> &recDates);

QString activeClientsStatement(const QString &labCode, const QString &filter,
                               const std::optional<std::vector<QString>> &contactIds,
                               const std::optional<std::vector<QString>> &recDates);

} // namespace hc::clients
