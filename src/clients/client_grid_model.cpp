#include "clients/client_grid_model.h"

#include "db/failure.h"

#include <QHeaderView>
#include <QTableView>

namespace hc::clients {

namespace {

// Pixels beyond the widest text, so that neighbouring columns do not touch.
constexpr int kColumnPadding = 8;

} // namespace

ClientGridModel::ClientGridModel(QObject *parent) : QAbstractTableModel(parent) {}

void ClientGridModel::setResultSet(db::ResultSetPtr resultSet)
{
    beginResetModel();
    resultSet_ = std::move(resultSet);
    cellTexts_.clear();
    rows_ = 0;
    columns_ = 0;
    if (resultSet_ && resultSet_->isOpen()) {
        rows_ = resultSet_->recordCount();
        columns_ = resultSet_->columnCount();
        cellTexts_.reserve(std::size_t(rows_) * std::size_t(columns_));
        for (int row = 0; row < rows_; ++row) {
            for (int column = 0; column < columns_; ++column) {
                const db::Value &value = resultSet_->value(row, column);
                cellTexts_.push_back(value.isNull() ? QString() : value.toText());
            }
        }
        if (rows_ > 0)
            resultSet_->moveFirst();
    }
    endResetModel();
}

db::Value ClientGridModel::currentValue(const QString &column) const
{
    if (!resultSet_)
        throw Failure("The grid has no data source.");
    return resultSet_->field(column);
}

int ClientGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : rows_;
}

int ClientGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : columns_;
}

QVariant ClientGridModel::data(const QModelIndex &index, int role) const
{
    // The tip shows a text that its column is too narrow for.
    if ((role != Qt::DisplayRole && role != Qt::ToolTipRole) || !index.isValid() || index.row() >= rows_
        || index.column() >= columns_)
        return {};
    return cellTexts_[std::size_t(index.row()) * std::size_t(columns_) + std::size_t(index.column())];
}

QVariant ClientGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 || section >= columns_)
        return {};
    return resultSet_->columnName(section);
}

bool isShownColumn(const QString &name)
{
    return name == QLatin1String("CONTACT_NAME") || name == QLatin1String("ENDUSER_ID")
        || name == QLatin1String("REC_DATE") || name == QLatin1String("SAMPLES");
}

void prepareClientGrid(QTableView &grid)
{
    grid.setSelectionBehavior(QAbstractItemView::SelectRows);
    grid.setSelectionMode(QAbstractItemView::SingleSelection);
    grid.setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid.setWordWrap(false);
    grid.verticalHeader()->hide();
    grid.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid.verticalHeader()->setDefaultSectionSize(grid.fontMetrics().height() + 6);
}

int showClientColumns(QTableView &grid, const ClientGridModel &model)
{
    QHeaderView &header = *grid.horizontalHeader();
    int firstShown = -1;
    for (int column = 0; column < model.columnCount(); ++column) {
        const QString name = model.headerData(column, Qt::Horizontal).toString();
        const bool shown = isShownColumn(name);
        grid.setColumnHidden(column, !shown);
        if (!shown)
            continue;
        if (firstShown < 0)
            firstShown = column;
        if (name == QLatin1String("CONTACT_NAME")) {
            header.setSectionResizeMode(column, QHeaderView::Stretch);
        } else {
            header.setSectionResizeMode(column, QHeaderView::Interactive);
            grid.resizeColumnToContents(column);
            header.resizeSection(column, header.sectionSize(column) + kColumnPadding);
        }
    }
    return firstShown;
}

} // namespace hc::clients
