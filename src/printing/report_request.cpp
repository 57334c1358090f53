#include "printing/report_request.h"

#include "db/failure.h"

#include <limits>

namespace hc::printing {

QString reportPage(const app::Configuration &configuration)
{
    if (!configuration.reportUrl.isEmpty())
        return configuration.reportUrl;
    return QStringLiteral("http://") + configuration.reportServer
        + QStringLiteral("/CommonFiles/reports/RPT_KVO_Distrib.asp?wui=") + kWebUser;
}

RatingArguments ratingArguments(const std::vector<RatingOption> &options)
{
    RatingArguments arguments;
    for (const RatingOption &option : options) {
        if (!option.selected)
            continue;
        if (option.tag == QLatin1String("Severe"))
            arguments.rating = 10;
        else if (option.tag == QLatin1String("Abnormal"))
            arguments.rating = 5;
        else if (option.tag == QLatin1String("CUSTOM"))
            arguments.customRating = 1;
    }
    return arguments;
}

QString endUserIdParameter(const QString &endUserId)
{
    qsizetype end = endUserId.size();
    while (end > 0 && endUserId.at(end - 1) == QLatin1Char(' '))
        --end;
    return endUserId.left(end).replace(QLatin1Char('&'), QLatin1String("+32"));
}

QString reportAddress(const QString &page, const ReportRequest &request)
{
    QString address = page;
    address += QLatin1String("&labCode=") + request.labCode;
    address += QLatin1String("&eid=") + endUserIdParameter(request.endUserId);
    address += QLatin1String("&cid=") + request.contactId;
    address += QLatin1String("&pc=Y");
    address += QLatin1String("&en=") + request.empNum;
    address += QLatin1String("&sd=") + request.recDate;
    address += QLatin1String("&rating=") + QString::number(request.rating.rating);
    address += QLatin1String("&cr=") + QString::number(request.rating.customRating);
    address += QLatin1String("&dt=HARD_COPY");
    address += QLatin1String("&setFrequency=") + request.frequency;
    if (request.printReports)
        address += QLatin1String("&cb=Y");
    return address;
}

SentLookup addToSentLists(SentLists lists, const QString &contactId, const QString &recDate)
{
    if (!lists.contactIds || !lists.recDates)
        throw Failure("The sent lists do not exist.");
    std::vector<QString> &contactIds = *lists.contactIds;
    std::vector<QString> &recDates = *lists.recDates;
    if (contactIds.size() != recDates.size())
        throw Failure("The sent lists are out of step.");
    if (contactIds.size() > std::size_t(std::numeric_limits<qint16>::max()))
        throw Failure("Overflow");

    for (std::size_t i = 0; i < contactIds.size(); ++i) {
        if (contactIds[i] == contactId && recDates[i] == recDate) {
            lists.last = qint16(contactIds.size() - 1);
            return SentLookup::AlreadySent;
        }
    }
    lists.last = qint16(contactIds.size());
    contactIds.push_back(contactId);
    recDates.push_back(recDate);
    return SentLookup::Added;
}

void restartSentLists(SentLists lists, const QString &contactId, const QString &recDate)
{
    lists.last = 0;
    lists.contactIds = std::vector<QString>{contactId};
    lists.recDates = std::vector<QString>{recDate};
}

} // namespace hc::printing
