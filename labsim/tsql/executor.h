#pragma once

#include "labsim/engine.h"
#include "labsim/tsql/catalog.h"
#include "labsim/tsql/database.h"

#include <atomic>
#include <chrono>
#include <string_view>

namespace labsim::tsql {

// Runs T-SQL batches on the database with SQL Server's meaning. A batch that
// does not parse runs no statement; a statement that fails ends the batch.
class Executor {
public:
    Executor(Database &database, const Catalog &catalog) : database_(database), catalog_(catalog) {}

    BatchResult run(std::string_view sql, const std::atomic<bool> &cancelled) const;

private:
    StatementResult exec(const struct Exec &statement) const;

    Database &database_;
    const Catalog &catalog_;
};

// Sleeps for the duration, or until cancelled is set; false when cancelled.
bool sleepUnlessCancelled(std::chrono::milliseconds duration, const std::atomic<bool> &cancelled);

// The milliseconds of a waitfor delay text "hh:mm[:ss[.mmm]]"; raises 148.
std::chrono::milliseconds waitforDelay(const std::string &text);

} // namespace labsim::tsql
