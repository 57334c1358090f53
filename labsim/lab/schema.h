#pragma once

// The laboratory's databases as SQL Server would hold them: lab (operators,
// laboratories), routing (client contacts, the distribution queue, batches,
// history) and sitecfg (the shared settings), with the procedures and the
// table-valued function the distribution services call.

#include "labsim/tsql/catalog.h"
#include "labsim/tsql/database.h"

#include <chrono>
#include <functional>
#include <string>

namespace labsim::lab {

inline constexpr const char *kHardCopy = "HARD_COPY";
inline constexpr const char *kAutoExport = "AUTO_EXPORT";

// How long a batch id a page request assigned stays open without a deletion
// before the cleanup releases it.
using ReleaseAge = std::function<std::chrono::seconds()>;

tsql::Catalog laboratoryCatalog(ReleaseAge releaseAge);

// Drops and creates every table of the catalog (empty).
void createTables(tsql::Access &access, const tsql::Catalog &catalog);

// The SQLite schema version of the tables this build creates.
inline constexpr int kSchemaVersion = 1;

} // namespace labsim::lab
