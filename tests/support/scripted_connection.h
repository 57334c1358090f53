#pragma once

#include "db/connection.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace hc::test {

// How a scripted statement is answered.
struct Answer {
    static Answer rows(QStringList columns, std::vector<db::ResultSet::Row> rows,
                       std::vector<db::DbError> warnings = {});
    static Answer ok(std::vector<db::DbError> warnings = {}); // no result set
    static Answer error(qint32 number, QString description, QString sqlState = QStringLiteral("42000"));
    // Fails with these entries, in this order.
    static Answer failure(std::vector<db::DbError> entries);
    static Answer timeout(); // the time-out entry, HYT00
    static Answer brokenLink(); // fails with 08S01 and breaks the link

    enum class Kind { Rows, Ok, Failure, BrokenLink };
    Kind kind = Kind::Ok;
    QStringList columns;
    std::vector<db::ResultSet::Row> resultRows;
    // The warnings of a success, or the entries of a failure.
    std::vector<db::DbError> entries;
};

// Shared between a test and its connection(s). Rules are looked up at each
// execution: the single-use rules first, in the order they were given, then
// the lasting rules, the latest given first.
struct ConnectionScript {
    void on(const QString &exactStatement, Answer answer);
    void onPrefix(const QString &prefix, Answer answer);
    void onMatch(std::function<bool(const QString &)> matches, Answer answer);
    // Used a single time, before the lasting rules.
    void once(const QString &exactStatement, Answer answer);
    void onceMatch(std::function<bool(const QString &)> matches, Answer answer);

    // The answer for a statement; unmatched statements succeed with no
    // result set. Uses up a matching single-use rule.
    Answer answerFor(const QString &statement);

    QStringList executed; // every statement text executed, in order
    QStringList opened;   // every connection string opened
    std::optional<QString> openFailure; // open raises hc::Failure with this text
    // The link to the server: broken by a brokenLink answer (or by a test, as
    // a server that went away while idle), mended by the next open.
    bool broken = false;
    int closed = 0;             // calls of close()
    int commandTimeout = -1;    // the time-outs as last set
    int connectionTimeout = -1;

private:
    struct Rule {
        std::function<bool(const QString &)> matches;
        Answer answer;
    };
    std::vector<Rule> singleUse_;
    std::vector<Rule> lasting_;
};

// A connection that answers from its script. Before it is opened every
// statement fails, as does every statement while the link is broken.
class ScriptedConnection : public db::Connection {
public:
    explicit ScriptedConnection(std::shared_ptr<ConnectionScript> script);

    void setCommandTimeout(int seconds) override;
    void setConnectionTimeout(int seconds) override;
    void open(const QString &connectionString) override;
    bool isOpen() const override { return open_; }
    void close() override;
    db::ResultSetPtr execute(const QString &statement) override;
    bool isBroken() const override { return open_ && script_->broken; }
    const std::vector<db::DbError> &errors() const override { return errors_; }
    void clearErrors() override { errors_.clear(); }

    ConnectionScript &script() { return *script_; }

private:
    [[noreturn]] void fail(std::vector<db::DbError> entries);
    void replaceErrors(std::vector<db::DbError> entries);

    std::shared_ptr<ConnectionScript> script_;
    bool open_ = false;
    std::vector<db::DbError> errors_;
};

} // namespace hc::test
