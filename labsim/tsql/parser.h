#pragma once

#include "labsim/tsql/ast.h"

#include <string_view>
#include <vector>

namespace labsim::tsql {

// Reads a batch: select, update, insert, delete, exec, waitfor delay and
// print, one after another with or without semicolons. Raises SqlError 102
// "Incorrect syntax near '<token>'." (105 for an unclosed quotation mark).
std::vector<Statement> parseBatch(std::string_view sql);

// A word that cannot name a column or an alias.
bool isReserved(std::string_view word);

} // namespace labsim::tsql
