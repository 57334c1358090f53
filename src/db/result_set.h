#pragma once

#include "db/value.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace hc::db {

// A client-side result set: every row fetched, columns looked up by name
// without regard to letter case. A result set that was never opened (or was
// closed) raises hc::Failure on every read (end-of-data flag, fields,
// navigation, counts).
class ResultSet {
public:
    using Row = std::vector<Value>;

    ResultSet() = default; // never opened
    // Every row must have one value per column.
    ResultSet(QStringList columns, std::vector<Row> rows);
    // The values row after row, one per column each.
    static ResultSet fromCells(QStringList columns, std::vector<Value> cells);

    bool isOpen() const { return open_; }
    void close();

    bool eof() const;
    bool bof() const;
    void moveFirst();
    void moveNext();
    // Index of the current row, 0-based; raises at end-of-data.
    int currentRow() const;
    // 0 .. recordCount(); recordCount() is end-of-data.
    void setCurrentRow(int row);

    int recordCount() const;
    int columnCount() const;
    QString columnName(int column) const;
    // Column index by name, or -1.
    int columnIndex(const QString &name) const;

    // The current row's value of a column; raises for an unknown column or
    // when there is no current row.
    const Value &field(const QString &name) const;
    const Value &value(int row, int column) const;

private:
    void requireOpen() const;

    bool open_ = false;
    QStringList columns_;
    std::vector<Value> cells_;
    int rowCount_ = 0;
    int current_ = 0;
};

using ResultSetPtr = std::shared_ptr<ResultSet>;

} // namespace hc::db
