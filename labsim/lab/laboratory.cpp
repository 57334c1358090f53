#include "labsim/lab/laboratory.h"

#include "labsim/lab/json.h"
#include "labsim/lab/schema.h"
#include "labsim/lab/seed.h"
#include "labsim/tsql/datetime.h"
#include "labsim/tsql/error.h"

#include <stdexcept>

namespace labsim::lab {

namespace {

std::string cellJson(const Cell &cell)
{
    if (!cell)
        return "null";
    if (const auto *number = std::get_if<std::int64_t>(&*cell))
        return std::to_string(*number);
    if (const auto *real = std::get_if<double>(&*cell))
        return std::to_string(*real);
    if (const auto *text = std::get_if<std::string>(&*cell))
        return json::quote(*text);
    return json::quote(tsql::canonicalText(std::get<DateTime>(*cell)));
}

std::string tableJson(tsql::Access &access, const tsql::TableDef &table, const std::string &order)
{
    std::string columns;
    std::vector<ColumnType> types;
    for (const tsql::ColumnDef &column : table.columns) {
        columns += (columns.empty() ? "\"" : ", \"") + column.name + "\"";
        types.push_back(column.type.columnType());
    }
    std::string result = "[";
    bool first = true;
    for (const Row &row :
         access.query("SELECT " + columns + " FROM \"" + table.storageName() + "\" ORDER BY " + order, {}, types)) {
        result += first ? "\n  {" : ",\n  {";
        first = false;
        for (std::size_t i = 0; i < row.size(); ++i)
            result += (i ? ", " : "") + json::quote(table.columns[i].name) + ": " + cellJson(row[i]);
        result += "}";
    }
    return result + "]";
}

int userVersion(tsql::Access &access)
{
    return static_cast<int>(
        std::get<std::int64_t>(*access.query("PRAGMA user_version", {}, {ColumnType::Int}).front().front()));
}

bool hasTables(tsql::Access &access)
{
    return !access.query("SELECT name FROM sqlite_master WHERE type = 'table' LIMIT 1", {}, {ColumnType::Text}).empty();
}

} // namespace

Laboratory::Laboratory(LaboratoryOptions options)
    : options_(std::move(options)), batchReleaseSeconds_(options_.batchRelease.count()),
      catalog_(laboratoryCatalog([this] { return batchRelease(); })), database_(options_.databasePath),
      executor_(database_, catalog_), reports_(database_)
{
    for (const tsql::TableDef &table : catalog_.tables())
        database_.setDisplayName(table.storageName(), table.fullName());
    bool current = false;
    {
        tsql::Access access = database_.access();
        current = userVersion(access) == kSchemaVersion;
        if (!current && !options_.fresh && hasTables(access))
            throw std::runtime_error(options_.databasePath +
                                     " holds no demo laboratory of this version; --fresh recreates it");
    }
    if (options_.fresh || !current)
        create();
    sibling_ = std::make_unique<Sibling>(executor_);
    if (options_.sibling)
        sibling_->setMode(Sibling::Mode::Hold);
}

Laboratory::~Laboratory()
{
    faults_.clear();
    sibling_.reset();
}

void Laboratory::create()
{
    tsql::Access access = database_.access();
    access.transaction([&] {
        createTables(access, catalog_);
        seedDemoLaboratory(access);
    });
}

bool Laboratory::acceptLogin(const std::string &user, const std::string &password)
{
    return tsql::sameName(user, options_.user) && password == options_.password;
}

BatchResult Laboratory::runBatch(int connection, const std::string &sql, const std::atomic<bool> &cancelled)
{
    log_.add(connection, "sql", sql);
    const Faults::StatementFault fault = faults_.nextStatement();
    if (fault.delay.count() > 0 && !tsql::sleepUnlessCancelled(fault.delay, cancelled)) {
        BatchResult interrupted;
        interrupted.cancelled = true;
        return interrupted;
    }
    if (fault.failure) {
        BatchResult failed;
        StatementResult statement;
        statement.messages.push_back(*fault.failure);
        statement.failed = true;
        failed.statements.push_back(std::move(statement));
        return failed;
    }
    return executor_.run(sql, cancelled);
}

void Laboratory::reset()
{
    faults_.clear();
    create();
    log_.clear();
    batchReleaseSeconds_ = options_.batchRelease.count();
    sibling_->setMode(options_.sibling ? Sibling::Mode::Hold : Sibling::Mode::Silent);
}

void Laboratory::setConnectionDropper(std::function<void()> dropper)
{
    std::lock_guard lock(dropperMutex_);
    dropper_ = std::move(dropper);
}

void Laboratory::dropConnections()
{
    std::function<void()> dropper;
    {
        std::lock_guard lock(dropperMutex_);
        dropper = dropper_;
    }
    if (dropper)
        dropper();
}

std::string Laboratory::stateJson()
{
    const auto find = [&](const char *database, const char *name) -> const tsql::TableDef & {
        return *catalog_.table(tsql::ObjectName{{database, "dbo", name}});
    };
    tsql::Access access = database_.access();
    std::string result = "{\"waiting\": " + tableJson(access, find("routing", "active_samples"), "SAMPLE_ID");
    result += ",\n\"batches\": " + tableJson(access, find("routing", "batches"), "BATCH_ID");
    result += ",\n\"history\": " + tableJson(access, find("routing", "distrib_history"), "DONE_AT, SAMPLE_ID");
    result += ",\n\"statusChanges\": " + tableJson(access, find("routing", "status_changes"), "CHANGE_ID");
    result += ",\n\"settings\": " + tableJson(access, find("sitecfg", "settings"), "PARAMETER");
    result += ",\n\"sibling\": " + json::quote(sibling_->mode() == Sibling::Mode::Hold ? "hold" : "silent");
    result += ",\n\"batchReleaseSeconds\": " + std::to_string(batchReleaseSeconds_.load());
    result += ",\n\"faults\": " + faults_.json() + "}\n";
    return result;
}

} // namespace labsim::lab
