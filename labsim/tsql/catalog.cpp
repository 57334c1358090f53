#include "labsim/tsql/catalog.h"

#include <algorithm>
#include <cctype>

namespace labsim::tsql {

std::string foldCase(std::string_view text)
{
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

bool sameName(std::string_view a, std::string_view b) { return foldCase(a) == foldCase(b); }

ColumnType SqlType::columnType() const
{
    switch (base) {
    case Base::Int:
        return ColumnType::Int;
    case Base::Float:
        return ColumnType::Float;
    case Base::Char:
    case Base::VarChar:
        return ColumnType::Text;
    case Base::DateTime:
        return ColumnType::DateTime;
    }
    return ColumnType::Text;
}

std::string SqlType::declaration() const
{
    switch (base) {
    case Base::Int:
        return "INT";
    case Base::Float:
        return "FLOAT";
    case Base::Char:
        return "CHAR(" + std::to_string(length) + ")";
    case Base::VarChar:
        return "VARCHAR(" + std::to_string(length) + ")";
    case Base::DateTime:
        return "DATETIME";
    }
    return "TEXT";
}

std::string TableDef::storageName() const { return database + "_" + name; }
std::string TableDef::fullName() const { return database + ".dbo." + name; }
std::string FunctionDef::fullName() const { return database + ".dbo." + name; }
std::string ProcedureDef::fullName() const { return database + ".dbo." + name; }

const ColumnDef *TableDef::column(const std::string &wanted) const
{
    for (const ColumnDef &column : columns)
        if (sameName(column.name, wanted))
            return &column;
    return nullptr;
}

std::string Catalog::key(const std::string &database, const std::string &name)
{
    return foldCase(database) + "." + foldCase(name);
}

std::string Catalog::key(const ObjectName &name)
{
    const auto &parts = name.parts;
    if (parts.size() != 3 || !(parts[1].empty() || sameName(parts[1], "dbo")))
        return {};
    return key(parts[0], parts[2]);
}

void Catalog::add(TableDef table)
{
    tableIndex_[key(table.database, table.name)] = tables_.size();
    tables_.push_back(std::move(table));
}

void Catalog::add(FunctionDef function)
{
    const std::string k = key(function.database, function.name);
    functions_[k] = std::move(function);
}

void Catalog::add(ProcedureDef procedure)
{
    const std::string k = key(procedure.database, procedure.name);
    procedures_[k] = std::move(procedure);
}

const TableDef *Catalog::table(const ObjectName &name) const
{
    const auto found = tableIndex_.find(key(name));
    return found == tableIndex_.end() ? nullptr : &tables_[found->second];
}

const FunctionDef *Catalog::function(const ObjectName &name) const
{
    const auto found = functions_.find(key(name));
    return found == functions_.end() ? nullptr : &found->second;
}

const ProcedureDef *Catalog::procedure(const ObjectName &name) const
{
    const auto found = procedures_.find(key(name));
    return found == procedures_.end() ? nullptr : &found->second;
}

} // namespace labsim::tsql
