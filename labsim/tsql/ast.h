#pragma once

// The statements of a T-SQL batch as the parser reads them.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace labsim::tsql {

// A name of one to four parts as written ("routing.dbo.x", "routing..x").
struct ObjectName {
    std::vector<std::string> parts;
    std::string written() const; // joined with dots
};

struct Literal {
    std::variant<std::monostate, std::int64_t, double, std::string> value; // monostate is NULL
};

struct Expr;
using ExprPtr = std::unique_ptr<Expr>;

struct Expr {
    enum class Kind {
        Literal,
        Column,   // name: one or more parts
        Variable, // @@name
        Negate,   // -args[0]
        Not,      // not args[0]
        Binary,   // args[0] op args[1]: and or = <> < > <= >= + - * / %
        In,       // args[0] [not] in (args[1..])
        IsNull,   // args[0] is [not] null
        Like,     // args[0] [not] like args[1]
        Between,  // args[0] [not] between args[1] and args[2]
        Function, // name(args), count(*) has star
    };
    Kind kind = Kind::Literal;
    Literal literal;
    std::vector<std::string> name; // column parts, or the function name
    std::string op;                // lower case
    std::vector<ExprPtr> args;
    bool negated = false;
    bool star = false;
    std::string text; // the first token as written, for messages
};

struct TableSource {
    ObjectName name;
    bool called = false;        // name(...) — a table-valued function call or table hints
    std::vector<ExprPtr> args;  // inside the parentheses
    std::vector<std::string> hints;
    std::string alias;
};

struct SelectItem {
    ExprPtr expr; // null for *
    std::string alias;
};

struct OrderItem {
    ExprPtr expr;
    bool descending = false;
};

struct Select {
    bool distinct = false;
    std::optional<std::int64_t> top;
    std::vector<SelectItem> items;
    std::optional<TableSource> from;
    ExprPtr where;
    std::vector<OrderItem> orderBy;
};

struct Update {
    TableSource target;
    std::vector<std::pair<std::string, ExprPtr>> assignments;
    ExprPtr where;
};

struct Insert {
    TableSource target;
    std::vector<std::string> columns;
    std::vector<std::vector<ExprPtr>> rows;
};

struct Delete {
    TableSource target;
    ExprPtr where;
};

struct Argument {
    std::string name; // "@name", empty for a positional argument
    ExprPtr value;    // null for DEFAULT
};

struct Exec {
    ObjectName procedure;
    std::vector<Argument> arguments;
};

struct WaitFor {
    ExprPtr delay;
};

struct Print {
    ExprPtr message;
};

struct Statement {
    std::variant<Select, Update, Insert, Delete, Exec, WaitFor, Print> body;
    int line = 1; // where it starts in the batch
};

} // namespace labsim::tsql
