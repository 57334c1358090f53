#pragma once

// The SQLite database behind the T-SQL layer. One connection, used by one
// thread at a time: every use goes through an Access, which holds the lock.

#include "labsim/engine.h"

#include <map>
#include <mutex>
#include <string>
#include <vector>

struct sqlite3;

namespace labsim::tsql {

class Database;

class Access {
public:
    Access(const Access &) = delete;
    Access &operator=(const Access &) = delete;
    Access(Access &&) = default;

    // Runs one statement with its parameters and reads every row, converting
    // each cell to the type of its column. Raises SqlError.
    std::vector<Row> query(const std::string &sql, const std::vector<Cell> &parameters,
                           const std::vector<ColumnType> &types);
    // Runs one statement and returns the number of rows it changed.
    std::int64_t run(const std::string &sql, const std::vector<Cell> &parameters = {});
    // Runs statements without parameters (schema, pragmas).
    void script(const std::string &sql);

    // Runs work inside a transaction; rolls back when it raises.
    template <typename Work> void transaction(Work &&work)
    {
        script("BEGIN IMMEDIATE");
        try {
            work();
        } catch (...) {
            script("ROLLBACK");
            throw;
        }
        script("COMMIT");
    }

private:
    friend class Database;
    Access(Database &database);

    Database &database_;
    std::unique_lock<std::mutex> lock_;
};

class Database {
public:
    // Opens (creating) the file, in WAL mode, with the collation and the
    // conversion functions the translated statements use.
    explicit Database(const std::string &path);
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    Access access() { return Access(*this); }

    // The name shown in messages for a SQLite table ("sitecfg.dbo.settings").
    void setDisplayName(const std::string &storageName, const std::string &displayName);

private:
    friend class Access;
    [[noreturn]] void raise(int code, const std::string &sql) const;

    sqlite3 *handle_ = nullptr;
    std::mutex mutex_;
    std::map<std::string, std::string> displayNames_;
};

} // namespace labsim::tsql
