#pragma once

// A small laboratory for the TDS front end's tests: the built-in login, a few
// canned batches, "waitfor N" that sleeps N seconds unless cancelled, and a
// record of what it was asked.

#include "labsim/engine.h"
#include "labsim/tds/server.h"

#include <chrono>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>

namespace labsim::test {

inline StatementResult resultSet(std::vector<Column> columns, std::vector<Row> rows)
{
    StatementResult result;
    result.columns = std::move(columns);
    result.rowCount = rows.size();
    result.rows = std::move(rows);
    return result;
}

inline StatementResult failure(std::int32_t number, std::string text)
{
    StatementResult result;
    result.messages.push_back({number, 1, 16, std::move(text), "", 1});
    result.failed = true;
    return result;
}

class FakeEngine : public Engine {
public:
    std::string password = "mk9073zr";

    // The answer to an exact batch text; unknown texts answer error 208.
    void on(const std::string &sql, BatchResult answer)
    {
        std::lock_guard lock(mutex_);
        answers_[sql] = std::move(answer);
    }

    bool acceptLogin(const std::string &user, const std::string &given) override
    {
        std::lock_guard lock(mutex_);
        logins_.push_back(user + "/" + given);
        return user == "sa" && given == password;
    }

    BatchResult runBatch(int, const std::string &sql, const std::atomic<bool> &cancelled) override
    {
        {
            std::lock_guard lock(mutex_);
            batches_.push_back(sql);
        }
        BatchResult result = answer(sql, cancelled);
        std::lock_guard lock(mutex_);
        if (result.cancelled) ++cancelledBatches_;
        return result;
    }

    void connectionClosed(int connection) override
    {
        std::lock_guard lock(mutex_);
        closed_.insert(connection);
    }

    std::vector<std::string> batches() const { std::lock_guard lock(mutex_); return batches_; }
    std::vector<std::string> logins() const { std::lock_guard lock(mutex_); return logins_; }
    std::set<int> closed() const { std::lock_guard lock(mutex_); return closed_; }
    int cancelledBatches() const { std::lock_guard lock(mutex_); return cancelledBatches_; }

    // Waits (a test's own bound) until the condition on the engine holds.
    template<typename Predicate>
    bool waitFor(Predicate predicate, std::chrono::milliseconds limit = std::chrono::seconds(10)) const
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!predicate(*this)) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }

private:
    BatchResult answer(const std::string &sql, const std::atomic<bool> &cancelled)
    {
        if (sql.starts_with("waitfor ")) {
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(std::stoi(sql.substr(8)));
            while (std::chrono::steady_clock::now() < until) {
                if (cancelled) return {{}, true};
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            StatementResult done;
            return {{done}, false};
        }
        // tsql ends every batch with a newline.
        const std::string text = sql.substr(0, sql.find_last_not_of(" \r\n") + 1);
        std::lock_guard lock(mutex_);
        if (const auto it = answers_.find(text); it != answers_.end()) return it->second;
        return {{failure(208, "Invalid object name 'x'.")}, false};
    }

    mutable std::mutex mutex_;
    std::map<std::string, BatchResult> answers_;
    std::vector<std::string> batches_;
    std::vector<std::string> logins_;
    std::set<int> closed_;
    int cancelledBatches_ = 0;
};

// A server on a free loopback port over a fake engine.
struct ServedEngine {
    FakeEngine engine;
    tds::Server server{engine, {"127.0.0.1", 0}};
    std::uint16_t port = server.start();
};

} // namespace labsim::test
