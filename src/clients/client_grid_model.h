#pragma once

#include "db/result_set.h"
#include "db/value.h"

#include <QAbstractTableModel>

class QTableView;

#include <vector>

namespace hc::clients {

// The grid's view of the active-client result set: one column per result-set
// column, in its order, headed by the column name. Only the columns the
// operator needs are visible; every column of the current row can be read by
// name.
class ClientGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ClientGridModel(QObject *parent = nullptr);

    // Binds a result set (never-opened ones show no rows) and stands on its
    // first row.
    void setResultSet(db::ResultSetPtr resultSet);
    const db::ResultSetPtr &resultSet() const { return resultSet_; }

    // The current row's value of a column, by name; raises hc::Failure when
    // there is no current row or no such column.
    db::Value currentValue(const QString &column) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    db::ResultSetPtr resultSet_;
    // Every cell's text, row by row, made once per binding so that painting
    // a large grid converts nothing.
    std::vector<QString> cellTexts_;
    int rows_ = 0;
    int columns_ = 0;
};

// True for the columns the operator sees: CONTACT_NAME, ENDUSER_ID, REC_DATE
// and SAMPLES, by their exact names.
bool isShownColumn(const QString &name);

// The grid's manner, once: whole rows selected, one line a row.
void prepareClientGrid(QTableView &grid);
// Hides every column but the shown ones, sizes those to their contents and
// lets the name take the remaining width. Returns the first shown column, or
// -1.
int showClientColumns(QTableView &grid, const ClientGridModel &model);

} // namespace hc::clients
