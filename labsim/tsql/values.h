#pragma once

// Conversions of values between SQL Server's types, with its errors.

#include "labsim/engine.h"
#include "labsim/tsql/catalog.h"

#include <string>

namespace labsim::tsql {

enum class Conversion {
    Comparison, // a value compared with a column: 245, 241
    Assignment, // a value stored in a column: too long text fails with 8152
    Parameter,  // an argument of a procedure or function: too long text is cut, failures are 8114
};

// The value converted to the type; Null stays Null. DateTime values come back
// as DateTime, text padded for Char columns.
Cell convertCell(const Cell &value, const SqlType &type, Conversion conversion);

// The value as text, as a conversion to varchar gives it (datetime in the
// default style "Mar  3 2011  2:05PM").
std::string textOf(const Cell &value);

// Characters (not bytes) of UTF-8 text.
std::size_t characterCount(const std::string &text);

} // namespace labsim::tsql
