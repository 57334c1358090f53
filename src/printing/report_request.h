#pragma once

#include "app/configuration.h"

#include <QString>

#include <optional>
#include <vector>

// Deciding what to ask the report server for one client.
namespace hc::printing {

inline const QString kWebUser = QStringLiteral("QUILBY_40726");

// The report page the parameters are appended to: the configured replacement
// when there is one, else the built-in page on the configured server.
QString reportPage(const app::Configuration &configuration);

// One rating option as the request sees it, lowest index first.
struct RatingOption {
    bool selected = false;
    QString tag;
};

struct RatingArguments {
    int rating = 0;
    int customRating = 0;
    bool operator==(const RatingArguments &) const = default;
};

// Every selected option counts, in index order; a Tag other than the three
// known ones (exact, case-sensitive) changes nothing.
RatingArguments ratingArguments(const std::vector<RatingOption> &options);

// Trailing blanks removed, then every "&" sent as "+32", which the report
// server reads back as "&".
QString endUserIdParameter(const QString &endUserId);

struct ReportRequest {
    QString labCode;
    QString endUserId;
    QString contactId;
    QString empNum;
    QString recDate;
    RatingArguments rating;
    QString frequency;
    bool printReports = false;
};

// The page followed by the request's parameters, in the order the report
// server expects; values are put in as they are.
QString reportAddress(const QString &page, const ReportRequest &request);

// The clients whose report page was requested in this run: two parallel
// lists, erased (no elements at all) between runs, and the index of their
// last entry.
struct SentLists {
    std::optional<std::vector<QString>> &contactIds;
    std::optional<std::vector<QString>> &recDates;
    qint16 &last;
};

enum class SentLookup { AlreadySent, Added };

// Looks the client up and appends it when it is not there yet. Raises
// hc::Failure, leaving the lists as they were, when they are erased, out of
// step, or full (a 16-bit index past their end would overflow).
SentLookup addToSentLists(SentLists lists, const QString &contactId, const QString &recDate);

// The lists cut (or created) to this client alone.
void restartSentLists(SentLists lists, const QString &contactId, const QString &recDate);

} // namespace hc::printing
