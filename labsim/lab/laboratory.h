#pragma once

#include "labsim/engine.h"
#include "labsim/lab/faults.h"
#include "labsim/lab/log.h"
#include "labsim/lab/reports.h"
#include "labsim/lab/sibling.h"
#include "labsim/tsql/catalog.h"
#include "labsim/tsql/database.h"
#include "labsim/tsql/executor.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace labsim::lab {

struct LaboratoryOptions {
    std::string databasePath;
    bool fresh = false; // recreate the demo laboratory even if the file holds one
    std::string user = "sa";
    std::string password = "mk9073zr";
    std::chrono::seconds batchRelease{300};
    bool sibling = false; // the sibling holds from the start, and again after each reset
};

// The demo laboratory behind both endpoints: it runs the statement batches of
// the TDS connections, logs them, applies the fault orders, and serves the
// report server's data.
class Laboratory : public Engine {
public:
    explicit Laboratory(LaboratoryOptions options);
    ~Laboratory() override;

    bool acceptLogin(const std::string &user, const std::string &password) override;
    BatchResult runBatch(int connection, const std::string &sql, const std::atomic<bool> &cancelled) override;

    // The fresh demo laboratory: tables recreated, log emptied, faults cleared,
    // the sibling and the release age as at start-up.
    void reset();

    // Drops every TDS connection now (wired to the TDS server by the program).
    void setConnectionDropper(std::function<void()> dropper);
    void dropConnections();

    std::chrono::seconds batchRelease() const { return std::chrono::seconds(batchReleaseSeconds_.load()); }
    void setBatchRelease(std::chrono::seconds age) { batchReleaseSeconds_ = age.count(); }

    Log &log() { return log_; }
    Faults &faults() { return faults_; }
    Reports &reports() { return reports_; }
    Sibling &sibling() { return *sibling_; }

    // Waiting rows, open batches, history, status changes and settings.
    std::string stateJson();

private:
    void create();

    LaboratoryOptions options_;
    std::atomic<long long> batchReleaseSeconds_;
    tsql::Catalog catalog_;
    tsql::Database database_;
    tsql::Executor executor_;
    Reports reports_;
    Log log_;
    Faults faults_;
    std::unique_ptr<Sibling> sibling_;
    std::mutex dropperMutex_;
    std::function<void()> dropper_;
};

} // namespace labsim::lab
