#include "app/controls.h"
#include "app/form_hardcopy.h"
#include "clients/client_grid_model.h"
#include "clients/statement_text.h"
#include "db/failure.h"

#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>

namespace hc::app {

void Form_HardCopy::Run_DistribCleanup()
{
    db().cnShared().execute(clients::cleanupStatement(sLabCode));
}

void Form_HardCopy::Get_ActiveClients(const QString &sFilter)
{
    Run_DistribCleanup();
    sRatingString = sFilter;
    sRatingFilter = sFilter;
    const QString statement =
        clients::activeClientsStatement(sLabCode, sFilter, arrSentContactIds, arrSentRecDates);
    rsClients = db().Get_Recordset_Client(statement, true);

    try {
        if (!rsClients->eof() && sServiceState == QLatin1String("IDLE"))
            Set_StatsLabels(rsClients->field(QStringLiteral("TOTAL_REPORTS")), {}, {}, {}, {});
    } catch (const Failure &) {
        // A result set that was never opened has no total to show.
    }

    if (!gridModel_) {
        gridModel_ = new clients::ClientGridModel(this);
        gridModel_->setResultSet(rsClients);
        clients::prepareClientGrid(*DataGrid1);
        DataGrid1->setModel(gridModel_);
        connect(DataGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                [this](const QModelIndex &current) {
                    const db::ResultSetPtr &rows = gridModel_->resultSet();
                    if (current.isValid() && rows && rows->isOpen() && current.row() < rows->recordCount())
                        rows->setCurrentRow(current.row());
                });
    } else {
        gridModel_->setResultSet(rsClients);
    }

    const int firstShown = clients::showClientColumns(*DataGrid1, *gridModel_);
    if (gridModel_->rowCount() > 0 && firstShown >= 0)
        DataGrid1->setCurrentIndex(gridModel_->index(0, firstShown));
}

void Form_HardCopy::opt_FilterRating_Click(qint16 index)
{
    const QString automationCaption = cmd_Automation->text();
    const QString serviceDescription = lbl_ServDesc->text();
    if (!serviceDescription.contains(QLatin1String("restart")) && automationCaption != QLatin1String("Start Services"))
        return;
    if (index < 0 || std::size_t(index) >= opt_FilterRating.size())
        throw Failure("Control array element does not exist.");
    QRadioButton *option = opt_FilterRating[std::size_t(index)];
    option->setChecked(true);
    Get_ActiveClients(tag(option));
}

} // namespace hc::app
