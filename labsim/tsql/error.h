#pragma once

#include "labsim/engine.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace labsim::tsql {

// A failure with SQL Server's error number, severity and text. Some failures
// come with more than one message (an unclosed quotation mark is followed by
// the syntax error it causes).
class SqlError : public std::runtime_error {
public:
    SqlError(std::int32_t number, std::uint8_t severity, std::string text)
        : std::runtime_error(text), messages_{Message{number, 1, severity, std::move(text), {}, 1}}
    {
    }
    explicit SqlError(std::vector<Message> messages)
        : std::runtime_error(messages.empty() ? std::string() : messages.front().text), messages_(std::move(messages))
    {
    }

    const std::vector<Message> &messages() const { return messages_; }
    std::vector<Message> &messages() { return messages_; }
    std::int32_t number() const { return messages_.front().number; }

private:
    std::vector<Message> messages_;
};

// The errors the T-SQL layer raises, with SQL Server's numbers and texts.
namespace errors {
SqlError syntaxNear(const std::string &token);                       // 102
SqlError unclosedQuotation(const std::string &rest);                 // 105 then 102
SqlError invalidObject(const std::string &name);                     // 208
SqlError invalidColumn(const std::string &name);                     // 207
SqlError unboundIdentifier(const std::string &name);                 // 4104
SqlError unknownProcedure(const std::string &name);                  // 2812
SqlError notAParameter(const std::string &parameter, const std::string &procedure); // 8145
SqlError parameterMissing(const std::string &procedure, const std::string &parameter); // 201
SqlError tooManyArguments(const std::string &procedure);             // 8144
SqlError tooFewArguments(const std::string &function);               // 313
SqlError dateConversion();                                          // 241
SqlError dateOutOfRange();                                          // 242
SqlError intConversion(const std::string &value);                    // 245
SqlError truncation();                                               // 8152
SqlError nullNotAllowed(const std::string &column, const std::string &table, const std::string &action); // 515
SqlError duplicateKey(const std::string &table);                     // 2627
SqlError badWaitforTime(const std::string &text);                    // 148
SqlError unknownHint(const std::string &hint);                       // 321
SqlError notUpdatable(const std::string &name);                      // 4406
} // namespace errors

} // namespace labsim::tsql
