#include "app/form_hardcopy.h"

#include "app/controls.h"
#include "clients/client_grid_model.h"
#include "db/failure.h"
#include "printing/report_request.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>

#include <cmath>

namespace hc::app {

void Form_HardCopy::Request_ClientReport()
{
    if (!Get_CurrApp_Info(db::Value(QStringLiteral("HARD_COPY"))))
        return;
    bManualPrint = false;
    const bool gridEnabled = enabledFlag(DataGrid1);
    if (cmd_Automation->text() == QLatin1String("Start Services") && !gridEnabled)
        return;
    if (!gridModel())
        throw Failure("The client grid has no data source.");
    const clients::ClientGridModel &grid = *gridModel();
    if (gridEnabled) {
        bManualPrint = true;
        pb_BatchStatus->setMaximum(int(std::lround(grid.currentValue(QStringLiteral("TOTAL_REPORTS")).toDouble())));
    }

    nClientSamples = 0;
    std::vector<printing::RatingOption> options;
    for (const QRadioButton *option : opt_FilterRating)
        options.push_back({option->isChecked(), tag(option)});
    const printing::RatingArguments rating = printing::ratingArguments(options);

    const db::Value samples = grid.currentValue(QStringLiteral("SAMPLES"));
    lblStatsValue[4]->setText(samples.toText());

    const QString contactId = grid.currentValue(QStringLiteral("CONTACT_ID")).toText();
    const QString recDate = grid.currentValue(QStringLiteral("REC_DATE")).toText();
    const printing::ReportRequest request{sLabCode,
                                          grid.currentValue(QStringLiteral("ENDUSER_ID")).toText(),
                                          contactId,
                                          sEmpNum,
                                          recDate,
                                          rating,
                                          cbo_Freq_HardCopy->currentText(),
                                          chk_Print->checkState() == Qt::Checked};
    const QString address = printing::reportAddress(printing::reportPage(platform().configuration), request);

    const printing::SentLists sent{arrSentContactIds, arrSentRecDates, iSentLast};
    try {
        if (printing::addToSentLists(sent, contactId, recDate) == printing::SentLookup::AlreadySent)
            return;
        nClientSamples = samples.toInt16();
        Open_Address(address);
    } catch (const Failure &) {
        // The lists do not exist yet at the first request of a run, or are
        // full: they start again with this client alone.
        printing::restartSentLists(sent, contactId, recDate);
        nClientSamples = samples.toInt16();
        Open_Address(address);
    }
}

} // namespace hc::app
