#pragma once

// The objects the T-SQL layer knows: tables kept in SQLite, table-valued
// functions written as SQLite queries, and procedures written in C++.
// Names are looked up without regard to letter case, as SQL Server's default
// collation does.

#include "labsim/engine.h"
#include "labsim/tsql/ast.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace labsim::tsql {

class Access;

struct SqlType {
    enum class Base { Int, Float, Char, VarChar, DateTime };
    Base base = Base::Int;
    int length = 0; // characters, for Char and VarChar

    static SqlType integer() { return {Base::Int, 0}; }
    static SqlType real() { return {Base::Float, 0}; }
    static SqlType character(int length) { return {Base::Char, length}; }
    static SqlType varchar(int length) { return {Base::VarChar, length}; }
    static SqlType datetime() { return {Base::DateTime, 0}; }

    bool isText() const { return base == Base::Char || base == Base::VarChar; }
    ColumnType columnType() const;
    std::string declaration() const; // as a SQLite column type: "INT", "CHAR(50)"
};

struct ColumnDef {
    std::string name;
    SqlType type;
    bool nullable = true;
};

struct TableDef {
    std::string database;
    std::string name;
    std::vector<ColumnDef> columns;
    std::vector<std::string> primaryKey;

    std::string storageName() const; // the SQLite table: "<database>_<name>"
    std::string fullName() const;    // "<database>.dbo.<name>"
    const ColumnDef *column(const std::string &name) const;
};

struct ParameterDef {
    ParameterDef(std::string name, SqlType type) : name(std::move(name)), type(type) {}
    ParameterDef(std::string name, SqlType type, Cell defaultValue)
        : name(std::move(name)), type(type), required(false), defaultValue(std::move(defaultValue))
    {
    }

    std::string name; // with the @
    SqlType type;
    bool required = true; // without a default
    Cell defaultValue;
};

// A table-valued function: a SQLite query over its arguments, which it reads
// from a one-row table "args" whose columns are the parameter names without @.
struct FunctionDef {
    std::string database;
    std::string name;
    std::vector<ParameterDef> parameters;
    std::vector<ColumnDef> columns;
    std::string body;
    std::vector<std::string> defaultOrder; // columns the answer is sorted by when the caller sorts nothing
    std::string fullName() const;
};

// A procedure gets its arguments converted to the parameters' types, in
// parameter order, and runs with the database in its hands.
using ProcedureBody = std::function<std::vector<StatementResult>(Access &, const std::vector<Cell> &)>;

struct ProcedureDef {
    std::string database;
    std::string name;
    std::vector<ParameterDef> parameters;
    ProcedureBody body;
    std::string fullName() const;
};

class Catalog {
public:
    void add(TableDef table);
    void add(FunctionDef function);
    void add(ProcedureDef procedure);

    // A name resolves only as "<database>.dbo.<name>" or "<database>..<name>";
    // names of one or two parts would be looked up in master, which holds none
    // of these objects.
    const TableDef *table(const ObjectName &name) const;
    const FunctionDef *function(const ObjectName &name) const;
    const ProcedureDef *procedure(const ObjectName &name) const;

    const std::vector<TableDef> &tables() const { return tables_; }

private:
    static std::string key(const ObjectName &name);
    static std::string key(const std::string &database, const std::string &name);

    std::vector<TableDef> tables_;
    std::map<std::string, std::size_t> tableIndex_;
    std::map<std::string, FunctionDef> functions_;
    std::map<std::string, ProcedureDef> procedures_;
};

// Letter case folded for ASCII, as the default collation compares names.
std::string foldCase(std::string_view text);
bool sameName(std::string_view a, std::string_view b);

} // namespace labsim::tsql
