#include "labsim/tsql/executor.h"

#include "labsim/tsql/datetime.h"
#include "labsim/tsql/error.h"
#include "labsim/tsql/parser.h"
#include "labsim/tsql/translator.h"
#include "labsim/tsql/values.h"

#include <algorithm>
#include <thread>

namespace labsim::tsql {

namespace {

// A waiting statement looks at its cancel flag this often.
constexpr std::chrono::milliseconds kCancelCheck{10};

std::vector<ColumnType> typesOf(const std::vector<Column> &columns)
{
    std::vector<ColumnType> types;
    for (const Column &column : columns)
        types.push_back(column.type);
    return types;
}

std::vector<Cell> bindArguments(const ProcedureDef &procedure, const std::vector<Argument> &arguments)
{
    const auto &parameters = procedure.parameters;
    std::vector<std::optional<Cell>> supplied(parameters.size());
    std::size_t position = 0;
    bool named = false;
    for (const Argument &argument : arguments) {
        std::size_t index = 0;
        if (argument.name.empty()) {
            if (named)
                throw SqlError(119, 15,
                               "Must pass parameter number " + std::to_string(position + 1) +
                                   " and subsequent parameters as '@name = value'. After the form '@name = value' "
                                   "has been used, all subsequent parameters must be passed in the form '@name = value'.");
            if (position >= parameters.size())
                throw errors::tooManyArguments(procedure.name);
            index = position++;
        } else {
            named = true;
            const auto found = std::find_if(parameters.begin(), parameters.end(),
                                            [&](const ParameterDef &p) { return sameName(p.name, argument.name); });
            if (found == parameters.end())
                throw errors::notAParameter(argument.name, procedure.name);
            index = static_cast<std::size_t>(found - parameters.begin());
            if (supplied[index])
                throw SqlError(8143, 16, "Parameter '" + argument.name + "' was supplied multiple times.");
        }
        if (!argument.value) { // DEFAULT
            if (parameters[index].required)
                throw errors::parameterMissing(procedure.name, parameters[index].name);
            supplied[index] = parameters[index].defaultValue;
            continue;
        }
        supplied[index] = convertCell(constantValue(*argument.value), parameters[index].type, Conversion::Parameter);
    }
    std::vector<Cell> values;
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        if (supplied[i]) {
            values.push_back(*supplied[i]);
        } else if (parameters[i].required) {
            throw errors::parameterMissing(procedure.name, parameters[i].name);
        } else {
            values.push_back(parameters[i].defaultValue);
        }
    }
    return values;
}

} // namespace

bool sleepUnlessCancelled(std::chrono::milliseconds duration, const std::atomic<bool> &cancelled)
{
    const auto end = std::chrono::steady_clock::now() + duration;
    while (!cancelled.load()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= end)
            return true;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(end - now, kCancelCheck));
    }
    return false;
}

std::chrono::milliseconds waitforDelay(const std::string &text)
{
    const bool timeOnly = text.find_first_of("/-") == std::string::npos && text.find(':') != std::string::npos;
    const ParsedDateTime parsed = parseDateTime(text);
    if (!timeOnly || parsed.status != DateTimeParse::Ok)
        throw errors::badWaitforTime(text);
    const DateTime &t = parsed.value;
    return std::chrono::milliseconds(((t.hour * 60L + t.minute) * 60L + t.second) * 1000L + t.millisecond);
}

StatementResult Executor::exec(const Exec &statement) const
{
    const ProcedureDef *procedure = catalog_.procedure(statement.procedure);
    if (!procedure)
        throw errors::unknownProcedure(statement.procedure.written());
    const std::vector<Cell> arguments = bindArguments(*procedure, statement.arguments);
    std::vector<StatementResult> results;
    try {
        Access access = database_.access();
        results = procedure->body(access, arguments);
    } catch (SqlError &error) {
        for (Message &message : error.messages())
            if (message.procedure.empty())
                message.procedure = procedure->name;
        throw;
    }
    StatementResult combined;
    for (StatementResult &result : results) {
        if (result.columns) // the first result set stands for the call
            return std::move(result);
        combined.messages.insert(combined.messages.end(), result.messages.begin(), result.messages.end());
    }
    return combined;
}

BatchResult Executor::run(std::string_view sql, const std::atomic<bool> &cancelled) const
{
    BatchResult batch;
    std::vector<Statement> statements;
    try {
        statements = parseBatch(sql);
    } catch (const SqlError &error) {
        StatementResult failed;
        failed.messages = error.messages();
        failed.failed = true;
        batch.statements.push_back(std::move(failed));
        return batch;
    }
    const Translator translator(catalog_);
    for (const Statement &statement : statements) {
        if (cancelled.load()) {
            batch.cancelled = true;
            return batch;
        }
        StatementResult result;
        try {
            if (const auto *select = std::get_if<Select>(&statement.body)) {
                Query query = translator.select(*select);
                result.rows = database_.access().query(query.sql, query.parameters, typesOf(query.columns));
                result.columns = std::move(query.columns);
                result.rowCount = result.rows.size();
            } else if (const auto *update = std::get_if<Update>(&statement.body)) {
                const Query query = translator.update(*update);
                result.rowCount = static_cast<std::uint64_t>(database_.access().run(query.sql, query.parameters));
            } else if (const auto *insert = std::get_if<Insert>(&statement.body)) {
                const Query query = translator.insert(*insert);
                result.rowCount = static_cast<std::uint64_t>(database_.access().run(query.sql, query.parameters));
            } else if (const auto *remove = std::get_if<Delete>(&statement.body)) {
                const Query query = translator.remove(*remove);
                result.rowCount = static_cast<std::uint64_t>(database_.access().run(query.sql, query.parameters));
            } else if (const auto *call = std::get_if<Exec>(&statement.body)) {
                result = exec(*call);
            } else if (const auto *wait = std::get_if<WaitFor>(&statement.body)) {
                const Cell delay = constantValue(*wait->delay);
                if (!delay || !std::holds_alternative<std::string>(*delay))
                    throw errors::syntaxNear(wait->delay->text);
                if (!sleepUnlessCancelled(waitforDelay(std::get<std::string>(*delay)), cancelled)) {
                    batch.cancelled = true;
                    return batch;
                }
            } else if (const auto *print = std::get_if<Print>(&statement.body)) {
                Message message;
                message.number = 0;
                message.severity = 0;
                message.text = textOf(constantValue(*print->message));
                result.messages.push_back(std::move(message));
            }
        } catch (const SqlError &error) {
            result = StatementResult{};
            result.messages = error.messages();
            result.failed = true;
        }
        for (Message &message : result.messages)
            message.line = statement.line;
        const bool failed = result.failed;
        batch.statements.push_back(std::move(result));
        if (failed)
            return batch;
    }
    return batch;
}

} // namespace labsim::tsql
