#include "printing/report_load.h"

#include "clients/statement_text.h"
#include "db/failure.h"
#include "db/value.h"

namespace hc::printing {

QString batchPageAddress(const QString &address, const QString &batchId)
{
    return address + QLatin1String("&bid=") + batchId;
}

QString samplesPageAddress(const QString &address, const QString &batchId)
{
    return address + QLatin1String("&pt=SAMPLES&bid=") + batchId;
}

PageKind pageKind(const QString &printType)
{
    if (printType == QLatin1String("COVER"))
        return PageKind::Cover;
    if (printType.isEmpty())
        return PageKind::RequestAgain;
    return PageKind::LastPage;
}

int pauseSeconds(qint16 samples)
{
    // 0.4 n never lies half-way between two whole numbers, so this rounds
    // exactly as the nearest whole second would.
    return samples > 0 ? (4 * int(samples) + 5) / 10 : 0;
}

int pauseSecondsForCaption(const QString &caption)
{
    try {
        return pauseSeconds(db::Value(caption).toInt16());
    } catch (const Failure &) {
        return 0;
    }
}

QString deleteBatchStatement(const QString &batchId)
{
    return QStringLiteral("exec routing.dbo.Distrib_ActiveSamples_DelBatch @batchId = '")
        + clients::doubledApostrophes(clients::trimBlanks(batchId)) + QLatin1Char('\'');
}

QString failedLoadMessage()
{
    return QStringLiteral("Attempts to contact Fennorics WebServer failed.  This application will be shutdown.\r\n\r\n"
                          "Please confirm your internet connection.  If this problem persists, please contact your "
                          "network administrator");
}

} // namespace hc::printing
