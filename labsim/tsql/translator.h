#pragma once

// Turns parsed statements into SQLite statements over the catalog's tables.
// Every value of the batch becomes a bound parameter; names are checked
// against the catalog and written quoted, so no text of the batch is ever
// pasted into the SQL that SQLite runs.

#include "labsim/engine.h"
#include "labsim/tsql/ast.h"
#include "labsim/tsql/catalog.h"

#include <string>
#include <vector>

namespace labsim::tsql {

struct Query {
    std::string sql;
    std::vector<Cell> parameters; // bound as ?1, ?2, ...
    std::vector<Column> columns;  // what a select returns
};

class Translator {
public:
    explicit Translator(const Catalog &catalog) : catalog_(catalog) {}

    Query select(const Select &statement) const;
    Query update(const Update &statement) const;
    Query insert(const Insert &statement) const;
    Query remove(const Delete &statement) const;

private:
    const Catalog &catalog_;
};

// The value of an expression that needs no table: a literal, a negated
// number, NULL. Anything else is a syntax error near it, as SQL Server
// answers for an expression where only a constant may stand.
Cell constantValue(const Expr &expression);

} // namespace labsim::tsql
