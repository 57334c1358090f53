#include "labsim/tsql/error.h"

namespace labsim::tsql::errors {

SqlError syntaxNear(const std::string &token) { return {102, 15, "Incorrect syntax near '" + token + "'."}; }

SqlError unclosedQuotation(const std::string &rest)
{
    return SqlError({Message{105, 1, 15, "Unclosed quotation mark after the character string '" + rest + "'.", {}, 1},
                     Message{102, 1, 15, "Incorrect syntax near '" + rest + "'.", {}, 1}});
}

SqlError invalidObject(const std::string &name) { return {208, 16, "Invalid object name '" + name + "'."}; }

SqlError invalidColumn(const std::string &name) { return {207, 16, "Invalid column name '" + name + "'."}; }

SqlError unboundIdentifier(const std::string &name)
{
    return {4104, 16, "The multi-part identifier \"" + name + "\" could not be bound."};
}

SqlError unknownProcedure(const std::string &name)
{
    return {2812, 16, "Could not find stored procedure '" + name + "'."};
}

SqlError notAParameter(const std::string &parameter, const std::string &procedure)
{
    return {8145, 16, parameter + " is not a parameter for procedure " + procedure + "."};
}

SqlError parameterMissing(const std::string &procedure, const std::string &parameter)
{
    return {201, 16,
            "Procedure or function '" + procedure + "' expects parameter '" + parameter + "', which was not supplied."};
}

SqlError tooManyArguments(const std::string &procedure)
{
    return {8144, 16, "Procedure or function " + procedure + " has too many arguments specified."};
}

SqlError tooFewArguments(const std::string &function)
{
    return {313, 16, "An insufficient number of arguments were supplied for the procedure or function " + function + "."};
}

SqlError dateConversion()
{
    return {241, 16, "Conversion failed when converting date and/or time from character string."};
}

SqlError dateOutOfRange()
{
    return {242, 16, "The conversion of a varchar data type to a datetime data type resulted in an out-of-range value."};
}

SqlError intConversion(const std::string &value)
{
    return {245, 16, "Conversion failed when converting the varchar value '" + value + "' to data type int."};
}

SqlError truncation() { return {8152, 16, "String or binary data would be truncated."}; }

SqlError nullNotAllowed(const std::string &column, const std::string &table, const std::string &action)
{
    return {515, 16,
            "Cannot insert the value NULL into column '" + column + "', table '" + table +
                "'; column does not allow nulls. " + action + " fails."};
}

SqlError duplicateKey(const std::string &table)
{
    return {2627, 14,
            "Violation of PRIMARY KEY constraint. Cannot insert duplicate key in object '" + table + "'."};
}

SqlError badWaitforTime(const std::string &text)
{
    return {148, 15, "Incorrect time syntax in time string '" + text + "' used with WAITFOR."};
}

SqlError unknownHint(const std::string &hint)
{
    return {321, 15, "\"" + hint + "\" is not a recognized table hints option."};
}

SqlError notUpdatable(const std::string &name)
{
    return {4406, 16, "Update or insert of view or function '" + name + "' failed."};
}

} // namespace labsim::tsql::errors
