#include "support/scripted_connection.h"

#include "db/failure.h"

namespace hc::test {

Answer Answer::rows(QStringList columns, std::vector<db::ResultSet::Row> rows, std::vector<db::DbError> warnings)
{
    Answer answer;
    answer.kind = Kind::Rows;
    answer.columns = std::move(columns);
    answer.resultRows = std::move(rows);
    answer.entries = std::move(warnings);
    return answer;
}

Answer Answer::ok(std::vector<db::DbError> warnings)
{
    Answer answer;
    answer.kind = Kind::Ok;
    answer.entries = std::move(warnings);
    return answer;
}

Answer Answer::error(qint32 number, QString description, QString sqlState)
{
    return failure({db::DbError{number, std::move(description), std::move(sqlState)}});
}

Answer Answer::failure(std::vector<db::DbError> entries)
{
    Answer answer;
    answer.kind = Kind::Failure;
    answer.entries = std::move(entries);
    return answer;
}

Answer Answer::timeout()
{
    return error(db::kTimeoutErrorNumber, QStringLiteral("[FreeTDS][SQL Server]Query timeout expired"),
                 QStringLiteral("HYT00"));
}

Answer Answer::brokenLink()
{
    Answer answer;
    answer.kind = Kind::BrokenLink;
    answer.entries = {{db::kGeneralErrorNumber, QStringLiteral("[FreeTDS][SQL Server]Communication link failure"),
                       QStringLiteral("08S01")}};
    return answer;
}

void ConnectionScript::on(const QString &exactStatement, Answer answer)
{
    onMatch([exactStatement](const QString &s) { return s == exactStatement; }, std::move(answer));
}

void ConnectionScript::onPrefix(const QString &prefix, Answer answer)
{
    onMatch([prefix](const QString &s) { return s.startsWith(prefix); }, std::move(answer));
}

void ConnectionScript::onMatch(std::function<bool(const QString &)> matches, Answer answer)
{
    lasting_.push_back({std::move(matches), std::move(answer)});
}

void ConnectionScript::once(const QString &exactStatement, Answer answer)
{
    onceMatch([exactStatement](const QString &s) { return s == exactStatement; }, std::move(answer));
}

void ConnectionScript::onceMatch(std::function<bool(const QString &)> matches, Answer answer)
{
    singleUse_.push_back({std::move(matches), std::move(answer)});
}

Answer ConnectionScript::answerFor(const QString &statement)
{
    for (auto rule = singleUse_.begin(); rule != singleUse_.end(); ++rule) {
        if (rule->matches(statement)) {
            Answer answer = std::move(rule->answer);
            singleUse_.erase(rule);
            return answer;
        }
    }
    for (auto rule = lasting_.rbegin(); rule != lasting_.rend(); ++rule) {
        if (rule->matches(statement))
            return rule->answer;
    }
    return Answer::ok();
}

ScriptedConnection::ScriptedConnection(std::shared_ptr<ConnectionScript> script) : script_(std::move(script)) {}

void ScriptedConnection::setCommandTimeout(int seconds)
{
    script_->commandTimeout = seconds;
}

void ScriptedConnection::setConnectionTimeout(int seconds)
{
    script_->connectionTimeout = seconds;
}

void ScriptedConnection::open(const QString &connectionString)
{
    script_->opened.append(connectionString);
    if (script_->openFailure)
        fail({{db::kGeneralErrorNumber, *script_->openFailure, QStringLiteral("08001")}});
    open_ = true;
    script_->broken = false;
}

void ScriptedConnection::close()
{
    ++script_->closed;
    open_ = false;
}

db::ResultSetPtr ScriptedConnection::execute(const QString &statement)
{
    script_->executed.append(statement);
    if (!open_)
        fail({{db::kGeneralErrorNumber, QStringLiteral("Connection not open"), QStringLiteral("08003")}});
    if (script_->broken)
        fail({{db::kGeneralErrorNumber, QStringLiteral("[FreeTDS][SQL Server]Communication link failure"),
               QStringLiteral("08S01")}});
    Answer answer = script_->answerFor(statement);
    switch (answer.kind) {
    case Answer::Kind::Rows:
        replaceErrors(std::move(answer.entries));
        return std::make_shared<db::ResultSet>(std::move(answer.columns), std::move(answer.resultRows));
    case Answer::Kind::Ok:
        replaceErrors(std::move(answer.entries));
        return std::make_shared<db::ResultSet>(QStringList(), std::vector<db::ResultSet::Row>());
    case Answer::Kind::BrokenLink:
        script_->broken = true;
        [[fallthrough]];
    case Answer::Kind::Failure:
        break;
    }
    fail(std::move(answer.entries));
}

void ScriptedConnection::replaceErrors(std::vector<db::DbError> entries)
{
    if (!entries.empty())
        errors_ = std::move(entries);
}

void ScriptedConnection::fail(std::vector<db::DbError> entries)
{
    QString message;
    for (const db::DbError &entry : entries)
        message += (message.isEmpty() ? QString() : QStringLiteral("\n")) + entry.description;
    replaceErrors(std::move(entries));
    throw Failure(message.toStdString());
}

} // namespace hc::test
