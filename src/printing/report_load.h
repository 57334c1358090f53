#pragma once

#include <QString>

// Deciding what one load of a report page does next.
namespace hc::printing {

// The page that asks the server again for the batch it announced.
QString batchPageAddress(const QString &address, const QString &batchId);
// The sample-report page of a batch that came with a cover sheet.
QString samplesPageAddress(const QString &address, const QString &batchId);

// What the page element PrintType announces (compared exactly):
// "COVER" a cover sheet, empty a page to be requested again with the batch
// id, anything else the batch's last page.
enum class PageKind { Cover, RequestAgain, LastPage };
PageKind pageKind(const QString &printType);

// At most this many pages are loaded for one address before the load gives up.
inline constexpr int kPassLimit = 10;

// The pause after a batch: 0.4 s a sample, to the nearest whole second.
int pauseSeconds(qint16 samples);
// The same from the Current Batch Count caption; text that is not a 16-bit
// number gives no pause.
int pauseSecondsForCaption(const QString &caption);

// Blanks at both ends removed; apostrophes doubled so that the id stays one
// literal whatever it holds.
QString deleteBatchStatement(const QString &batchId);

QString failedLoadMessage();

} // namespace hc::printing
