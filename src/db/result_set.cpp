#include "db/result_set.h"

namespace hc::db {

namespace {

[[noreturn]] void raiseClosed()
{
    throw Failure("Operation is not allowed when the object is closed.");
}

[[noreturn]] void raiseNoCurrentRecord()
{
    throw Failure("Either BOF or EOF is True, or the current record has been deleted. "
                  "Requested operation requires a current record.");
}

[[noreturn]] void raiseNotFound()
{
    throw Failure("Item cannot be found in the collection corresponding to the requested name or ordinal.");
}

} // namespace

ResultSet::ResultSet(QStringList columns, std::vector<Row> rows)
    : open_(true), columns_(std::move(columns)), rowCount_(int(rows.size()))
{
    const auto width = std::size_t(columns_.size());
    cells_.reserve(rows.size() * width);
    for (Row &row : rows) {
        if (row.size() != width)
            throw Failure("A row of the result set does not match its columns.");
        std::move(row.begin(), row.end(), std::back_inserter(cells_));
    }
}

ResultSet ResultSet::fromCells(QStringList columns, std::vector<Value> cells)
{
    ResultSet resultSet;
    resultSet.open_ = true;
    resultSet.columns_ = std::move(columns);
    const auto width = std::size_t(resultSet.columns_.size());
    if (width == 0 ? !cells.empty() : cells.size() % width != 0)
        throw Failure("The values of the result set do not match its columns.");
    resultSet.rowCount_ = width == 0 ? 0 : int(cells.size() / width);
    resultSet.cells_ = std::move(cells);
    return resultSet;
}

void ResultSet::requireOpen() const
{
    if (!open_)
        raiseClosed();
}

void ResultSet::close()
{
    requireOpen();
    open_ = false;
    columns_.clear();
    cells_.clear();
    rowCount_ = 0;
    current_ = 0;
}

bool ResultSet::eof() const
{
    requireOpen();
    return current_ >= rowCount_;
}

bool ResultSet::bof() const
{
    requireOpen();
    return rowCount_ == 0 || current_ < 0;
}

void ResultSet::moveFirst()
{
    requireOpen();
    current_ = 0;
}

void ResultSet::moveNext()
{
    if (eof())
        raiseNoCurrentRecord();
    ++current_;
}

int ResultSet::currentRow() const
{
    if (eof())
        raiseNoCurrentRecord();
    return current_;
}

void ResultSet::setCurrentRow(int row)
{
    requireOpen();
    if (row < 0 || row > rowCount_)
        raiseNoCurrentRecord();
    current_ = row;
}

int ResultSet::recordCount() const
{
    requireOpen();
    return rowCount_;
}

int ResultSet::columnCount() const
{
    requireOpen();
    return int(columns_.size());
}

QString ResultSet::columnName(int column) const
{
    requireOpen();
    if (column < 0 || column >= columns_.size())
        raiseNotFound();
    return columns_[column];
}

int ResultSet::columnIndex(const QString &name) const
{
    requireOpen();
    for (qsizetype i = 0; i < columns_.size(); ++i) {
        if (columns_[i].compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

const Value &ResultSet::field(const QString &name) const
{
    const int column = columnIndex(name);
    if (column < 0)
        raiseNotFound();
    return value(currentRow(), column);
}

const Value &ResultSet::value(int row, int column) const
{
    requireOpen();
    if (row < 0 || row >= rowCount_)
        raiseNoCurrentRecord();
    if (column < 0 || column >= columns_.size())
        raiseNotFound();
    return cells_[std::size_t(row) * std::size_t(columns_.size()) + std::size_t(column)];
}

} // namespace hc::db
