#include "labsim/tsql/translator.h"

#include "labsim/tsql/error.h"
#include "labsim/tsql/values.h"

#include <algorithm>
#include <array>

namespace labsim::tsql {

namespace {

enum class Type { Null, Int, Float, Text, DateTime, Bool };

int precedence(Type type)
{
    switch (type) {
    case Type::DateTime:
        return 4;
    case Type::Float:
        return 3;
    case Type::Int:
        return 2;
    case Type::Text:
        return 1;
    default:
        return 0;
    }
}

Type typeOf(const SqlType &type)
{
    switch (type.base) {
    case SqlType::Base::Int:
        return Type::Int;
    case SqlType::Base::Float:
        return Type::Float;
    case SqlType::Base::DateTime:
        return Type::DateTime;
    default:
        return Type::Text;
    }
}

SqlType sqlTypeOf(Type type)
{
    switch (type) {
    case Type::Float:
        return SqlType::real();
    case Type::DateTime:
        return SqlType::datetime();
    case Type::Text:
        return SqlType::varchar(8000);
    default:
        return SqlType::integer();
    }
}

ColumnType columnTypeOf(Type type)
{
    switch (type) {
    case Type::Float:
        return ColumnType::Float;
    case Type::Text:
        return ColumnType::Text;
    case Type::DateTime:
        return ColumnType::DateTime;
    default:
        return ColumnType::Int; // an untyped NULL is an int, as in SQL Server
    }
}

std::string quoted(const std::string &name)
{
    std::string result = "\"";
    for (const char c : name) {
        result += c;
        if (c == '"')
            result += '"';
    }
    return result + "\"";
}

constexpr std::array kTableHints = {"nolock",   "readuncommitted", "readcommitted", "repeatableread", "serializable",
                                    "holdlock", "updlock",         "xlock",         "rowlock",        "paglock",
                                    "tablock",  "tablockx",        "readpast",      "nowait"};

void checkHint(const std::string &hint)
{
    const std::string folded = foldCase(hint);
    if (std::find(kTableHints.begin(), kTableHints.end(), folded) == kTableHints.end())
        throw errors::unknownHint(hint);
}

// The columns an expression may name, and how the SQL refers to them.
struct Scope {
    const std::vector<ColumnDef> *columns = nullptr;
    std::string sqlName;                 // quoted name of the source in the SQL
    std::vector<std::string> qualifiers; // folded names a column may be qualified with
    std::vector<std::string> aliases;    // select-list aliases, usable in order by
};

struct Typed {
    std::string sql;
    Type type = Type::Null;
    int literal = -1; // index of the bound literal this expression is, if it is one
};

// Builds the SQL of one statement; the parameters are numbered as they are bound.
class Builder {
public:
    explicit Builder(Query &query) : query_(query) {}

    Typed bind(Cell value, Type type)
    {
        query_.parameters.push_back(std::move(value));
        const int index = static_cast<int>(query_.parameters.size());
        return {"?" + std::to_string(index), type, index - 1};
    }

    // The expression converted to a type for comparing with it.
    Typed coerce(Typed value, Type target)
    {
        if (value.type == target || value.type == Type::Null || target == Type::Null)
            return value;
        if (value.literal >= 0) {
            auto &parameter = query_.parameters[static_cast<std::size_t>(value.literal)];
            parameter = convertCell(parameter, sqlTypeOf(target), Conversion::Comparison);
            value.type = target;
            return value;
        }
        return converted(value, sqlTypeOf(target), Conversion::Comparison);
    }

    // The expression converted to a column's type for storing in it.
    Typed store(Typed value, const SqlType &type)
    {
        if (value.type == Type::Null)
            return value;
        if (value.literal >= 0) {
            auto &parameter = query_.parameters[static_cast<std::size_t>(value.literal)];
            parameter = convertCell(parameter, type, Conversion::Assignment);
            value.type = typeOf(type);
            return value;
        }
        if (value.type == typeOf(type) && !type.isText())
            return value;
        return converted(value, type, Conversion::Assignment);
    }

    Typed expression(const Expr &expr, const Scope &scope)
    {
        switch (expr.kind) {
        case Expr::Kind::Literal:
            return literal(expr.literal);
        case Expr::Kind::Column:
            return column(expr, scope);
        case Expr::Kind::Variable:
            throw SqlError(137, 15, "Must declare the scalar variable \"" + expr.text + "\".");
        case Expr::Kind::Negate: {
            Typed operand = value(*expr.args[0], scope);
            if (operand.type == Type::Text || operand.type == Type::DateTime)
                throw SqlError(8117, 16, "Operand data type varchar is invalid for minus operator.");
            return {"(-" + operand.sql + ")", operand.type};
        }
        case Expr::Kind::Not:
            return {"(NOT " + condition(*expr.args[0], scope).sql + ")", Type::Bool};
        case Expr::Kind::Binary:
            return binary(expr, scope);
        case Expr::Kind::In:
            return in(expr, scope);
        case Expr::Kind::IsNull:
            return {"(" + value(*expr.args[0], scope).sql + (expr.negated ? " IS NOT NULL)" : " IS NULL)"), Type::Bool};
        case Expr::Kind::Like: {
            Typed left = coerce(value(*expr.args[0], scope), Type::Text);
            Typed pattern = coerce(value(*expr.args[1], scope), Type::Text);
            return {"(" + left.sql + (expr.negated ? " NOT LIKE " : " LIKE ") + pattern.sql + ")", Type::Bool};
        }
        case Expr::Kind::Between: {
            Typed subject = value(*expr.args[0], scope);
            Typed low = value(*expr.args[1], scope);
            Typed high = value(*expr.args[2], scope);
            const Type common = std::max({subject.type, low.type, high.type},
                                         [](Type a, Type b) { return precedence(a) < precedence(b); });
            subject = coerce(subject, common);
            low = coerce(low, common);
            high = coerce(high, common);
            const std::string collate = common == Type::Text ? " COLLATE tsql" : "";
            return {"(" + subject.sql + collate + (expr.negated ? " NOT BETWEEN " : " BETWEEN ") + low.sql + " AND " +
                        high.sql + ")",
                    Type::Bool};
        }
        case Expr::Kind::Function:
            return function(expr, scope);
        }
        throw errors::syntaxNear(expr.text);
    }

    // An expression that must give a value, not a condition.
    Typed value(const Expr &expr, const Scope &scope)
    {
        Typed result = expression(expr, scope);
        if (result.type == Type::Bool)
            throw errors::syntaxNear(expr.text);
        return result;
    }

    Typed condition(const Expr &expr, const Scope &scope)
    {
        Typed result = expression(expr, scope);
        if (result.type != Type::Bool)
            throw SqlError(4145, 15,
                           "An expression of non-boolean type specified in a context where a condition is expected, "
                           "near '" + expr.text + "'.");
        return result;
    }

    Typed literal(const Literal &literal)
    {
        if (const auto *number = std::get_if<std::int64_t>(&literal.value))
            return bind(*number, Type::Int);
        if (const auto *real = std::get_if<double>(&literal.value))
            return bind(*real, Type::Float);
        if (const auto *text = std::get_if<std::string>(&literal.value))
            return bind(*text, Type::Text);
        return {"NULL", Type::Null};
    }

private:
    Typed converted(const Typed &value, const SqlType &type, Conversion conversion)
    {
        return {"tsql_convert(" + value.sql + ", " + std::to_string(static_cast<int>(type.base)) + ", " +
                    std::to_string(type.length) + ", " + std::to_string(static_cast<int>(conversion)) + ")",
                typeOf(type)};
    }

    Typed column(const Expr &expr, const Scope &scope)
    {
        const std::string &name = expr.name.back();
        std::string written;
        for (const std::string &part : expr.name)
            written += (written.empty() ? "" : ".") + part;
        if (expr.name.size() > 1) {
            std::string qualifier;
            for (std::size_t i = 0; i + 1 < expr.name.size(); ++i)
                qualifier += (i ? "." : "") + foldCase(expr.name[i]);
            if (std::find(scope.qualifiers.begin(), scope.qualifiers.end(), qualifier) == scope.qualifiers.end())
                throw errors::unboundIdentifier(written);
        }
        if (scope.columns) {
            for (const ColumnDef &column : *scope.columns)
                if (sameName(column.name, name))
                    return {scope.sqlName + "." + quoted(column.name), typeOf(column.type)};
        }
        if (expr.name.size() == 1) {
            for (const std::string &alias : scope.aliases)
                if (sameName(alias, name))
                    return {quoted(alias), Type::Null};
        }
        throw errors::invalidColumn(name);
    }

    Typed binary(const Expr &expr, const Scope &scope)
    {
        const std::string &op = expr.op;
        if (op == "and" || op == "or") {
            const Typed left = condition(*expr.args[0], scope);
            const Typed right = condition(*expr.args[1], scope);
            return {"(" + left.sql + (op == "and" ? " AND " : " OR ") + right.sql + ")", Type::Bool};
        }
        Typed left = value(*expr.args[0], scope);
        Typed right = value(*expr.args[1], scope);
        const bool arithmetic = op == "+" || op == "-" || op == "*" || op == "/" || op == "%";
        if (arithmetic && op == "+" && left.type == Type::Text && right.type == Type::Text)
            return {"(" + left.sql + " || " + right.sql + ")", Type::Text};
        const Type common = precedence(left.type) >= precedence(right.type) ? left.type : right.type;
        left = coerce(left, common);
        right = coerce(right, common);
        if (arithmetic) {
            if (common == Type::Text || common == Type::DateTime)
                throw SqlError(402, 16, "The data types are incompatible in the " + op + " operator.");
            return {"(" + left.sql + " " + op + " " + right.sql + ")", common};
        }
        const std::string collate = common == Type::Text ? " COLLATE tsql" : "";
        return {"(" + left.sql + " " + op + " " + right.sql + collate + ")", Type::Bool};
    }

    Typed in(const Expr &expr, const Scope &scope)
    {
        Typed subject = value(*expr.args[0], scope);
        std::vector<Typed> items;
        Type common = subject.type;
        for (std::size_t i = 1; i < expr.args.size(); ++i) {
            items.push_back(value(*expr.args[i], scope));
            if (precedence(items.back().type) > precedence(common))
                common = items.back().type;
        }
        subject = coerce(subject, common);
        std::string sql = "(" + subject.sql + (common == Type::Text ? " COLLATE tsql" : "") +
                          (expr.negated ? " NOT IN (" : " IN (");
        for (std::size_t i = 0; i < items.size(); ++i)
            sql += (i ? ", " : "") + coerce(items[i], common).sql;
        return {sql + "))", Type::Bool};
    }

    Typed function(const Expr &expr, const Scope &scope)
    {
        const std::string &name = expr.name.front();
        const auto arguments = [&](std::size_t count) {
            if (expr.star || expr.args.size() != count)
                throw SqlError(174, 15,
                               "The " + name + " function requires " + std::to_string(count) + " argument(s).");
            std::vector<Typed> result;
            for (const ExprPtr &argument : expr.args)
                result.push_back(value(*argument, scope));
            return result;
        };
        if (name == "getdate" || name == "sysdatetime") {
            arguments(0);
            return {"tsql_now()", Type::DateTime};
        }
        if (name == "upper" || name == "lower") {
            const Typed text = coerce(arguments(1)[0], Type::Text);
            return {name + "(" + text.sql + ")", Type::Text};
        }
        if (name == "rtrim" || name == "ltrim") {
            const Typed text = coerce(arguments(1)[0], Type::Text);
            return {name + "(" + text.sql + ", ' ')", Type::Text};
        }
        if (name == "len") {
            const Typed text = coerce(arguments(1)[0], Type::Text);
            return {"length(rtrim(" + text.sql + ", ' '))", Type::Int};
        }
        if (name == "isnull") {
            std::vector<Typed> both = arguments(2);
            const Typed fallback = coerce(both[1], both[0].type);
            return {"ifnull(" + both[0].sql + ", " + fallback.sql + ")", both[0].type};
        }
        if (name == "count") {
            if (expr.star)
                return {"count(*)", Type::Int};
            return {"count(" + arguments(1)[0].sql + ")", Type::Int};
        }
        if (name == "max" || name == "min" || name == "sum" || name == "avg") {
            const Typed operand = arguments(1)[0];
            if ((name == "sum" || name == "avg") && (operand.type == Type::Text || operand.type == Type::DateTime))
                throw SqlError(8117, 16, "Operand data type varchar is invalid for " + name + " operator.");
            if (name == "avg")
                return {"CAST(avg(" + operand.sql + ") AS " + (operand.type == Type::Int ? "INTEGER" : "REAL") + ")",
                        operand.type};
            return {name + "(" + operand.sql + ")", operand.type};
        }
        throw SqlError(195, 15, "'" + expr.text + "' is not a recognized built-in function name.");
    }

    Query &query_;
};

struct Source {
    Scope scope;
    std::string from; // the FROM clause, or the WITH prefix and FROM clause of a function
    std::string with;
    const TableDef *table = nullptr;
    const FunctionDef *function = nullptr;
};

std::vector<std::string> qualifiersOf(const TableSource &source)
{
    if (!source.alias.empty())
        return {foldCase(source.alias)};
    std::vector<std::string> result{foldCase(source.name.parts.back())};
    std::string full;
    for (std::size_t i = 0; i < source.name.parts.size(); ++i)
        full += (i ? "." : "") + foldCase(source.name.parts[i]);
    result.push_back(full);
    return result;
}

std::vector<Cell> functionArguments(const FunctionDef &function, const std::vector<ExprPtr> &arguments)
{
    if (arguments.size() < function.parameters.size())
        throw errors::tooFewArguments(function.fullName());
    if (arguments.size() > function.parameters.size())
        throw errors::tooManyArguments(function.fullName());
    std::vector<Cell> values;
    for (std::size_t i = 0; i < arguments.size(); ++i)
        values.push_back(convertCell(constantValue(*arguments[i]), function.parameters[i].type, Conversion::Parameter));
    return values;
}

Source resolve(const Catalog &catalog, const TableSource &source, Builder &builder, bool forChange)
{
    Source result;
    result.scope.qualifiers = qualifiersOf(source);
    for (const std::string &hint : source.hints)
        checkHint(hint);
    if (const TableDef *table = catalog.table(source.name)) {
        for (const ExprPtr &hint : source.args) {
            if (hint->kind != Expr::Kind::Column || hint->name.size() != 1)
                throw errors::syntaxNear(hint->text);
            checkHint(hint->name.front());
        }
        if (source.called && source.args.empty())
            throw errors::syntaxNear(")");
        result.table = table;
        result.scope.columns = &table->columns;
        result.scope.sqlName = quoted(table->storageName());
        result.from = quoted(table->storageName());
        return result;
    }
    if (const FunctionDef *function = catalog.function(source.name)) {
        if (forChange)
            throw errors::notUpdatable(source.name.written());
        if (!source.called)
            throw SqlError(216, 16, "Parameters were not supplied for the function '" + source.name.written() + "'.");
        const std::vector<Cell> values = functionArguments(*function, source.args);
        std::string names, placeholders;
        for (std::size_t i = 0; i < values.size(); ++i) {
            names += (i ? ", " : "") + quoted(function->parameters[i].name.substr(1));
            placeholders += (i ? ", " : "") + builder.bind(values[i], Type::Null).sql;
        }
        result.function = function;
        result.scope.columns = &function->columns;
        result.scope.sqlName = quoted("fn");
        result.with = "WITH \"args\"(" + names + ") AS (SELECT " + placeholders + "), \"fn\" AS (" + function->body +
                      ") ";
        result.from = quoted("fn");
        return result;
    }
    throw errors::invalidObject(source.name.written());
}

} // namespace

Cell constantValue(const Expr &expression)
{
    if (expression.kind == Expr::Kind::Literal) {
        const auto &value = expression.literal.value;
        if (const auto *number = std::get_if<std::int64_t>(&value))
            return *number;
        if (const auto *real = std::get_if<double>(&value))
            return *real;
        if (const auto *text = std::get_if<std::string>(&value))
            return *text;
        return std::nullopt;
    }
    if (expression.kind == Expr::Kind::Column && expression.name.size() == 1)
        return expression.name.front(); // a bare word stands for its text, as in exec p @x = word
    throw errors::syntaxNear(expression.text);
}

Query Translator::select(const Select &statement) const
{
    Query query;
    Builder builder(query);
    Source source;
    if (statement.from)
        source = resolve(catalog_, *statement.from, builder, false);
    for (const SelectItem &item : statement.items)
        if (!item.alias.empty())
            source.scope.aliases.push_back(item.alias);

    std::string items;
    const auto add = [&](const std::string &sql, Column column) {
        items += (items.empty() ? "" : ", ") + sql;
        query.columns.push_back(std::move(column));
    };
    Scope itemScope = source.scope;
    itemScope.aliases.clear();
    for (const SelectItem &item : statement.items) {
        if (!item.expr) {
            if (!source.scope.columns)
                throw SqlError(263, 16, "Must specify table to select from.");
            for (const ColumnDef &column : *source.scope.columns)
                add(source.scope.sqlName + "." + quoted(column.name), {column.name, column.type.columnType()});
            continue;
        }
        const Typed typed = builder.value(*item.expr, itemScope);
        std::string name = item.alias;
        if (name.empty() && item.expr->kind == Expr::Kind::Column)
            name = item.expr->name.back();
        add(typed.sql, {name, columnTypeOf(typed.type)});
    }

    std::string sql = source.with + "SELECT " + (statement.distinct ? "DISTINCT " : "") + items;
    if (!source.from.empty())
        sql += " FROM " + source.from;
    if (statement.where)
        sql += " WHERE " + builder.condition(*statement.where, source.scope).sql;
    std::string order;
    for (const OrderItem &item : statement.orderBy) {
        std::string term;
        if (const auto *ordinal = std::get_if<std::int64_t>(&item.expr->literal.value);
            item.expr->kind == Expr::Kind::Literal && ordinal) {
            if (*ordinal < 1 || *ordinal > static_cast<std::int64_t>(query.columns.size()))
                throw SqlError(108, 16, "The ORDER BY position number " + std::to_string(*ordinal) +
                                            " is out of range of the number of items in the select list.");
            term = std::to_string(*ordinal);
        } else {
            const Typed typed = builder.value(*item.expr, source.scope);
            term = typed.sql + (typed.type == Type::Text ? " COLLATE tsql" : "");
        }
        order += (order.empty() ? "" : ", ") + term + (item.descending ? " DESC" : "");
    }
    if (order.empty() && source.function) {
        for (const std::string &column : source.function->defaultOrder)
            order += (order.empty() ? "" : ", ") + source.scope.sqlName + "." + quoted(column);
    }
    if (!order.empty())
        sql += " ORDER BY " + order;
    if (statement.top)
        sql += " LIMIT " + std::to_string(*statement.top);
    query.sql = std::move(sql);
    return query;
}

Query Translator::update(const Update &statement) const
{
    Query query;
    Builder builder(query);
    const Source source = resolve(catalog_, statement.target, builder, true);
    std::string assignments;
    for (const auto &[name, expr] : statement.assignments) {
        const ColumnDef *column = source.table->column(name);
        if (!column)
            throw errors::invalidColumn(name);
        const Typed value = builder.store(builder.value(*expr, source.scope), column->type);
        assignments += (assignments.empty() ? "" : ", ") + quoted(column->name) + " = " + value.sql;
    }
    std::string sql = "UPDATE " + source.from + " SET " + assignments;
    if (statement.where)
        sql += " WHERE " + builder.condition(*statement.where, source.scope).sql;
    query.sql = std::move(sql);
    return query;
}

Query Translator::insert(const Insert &statement) const
{
    Query query;
    Builder builder(query);
    const Source source = resolve(catalog_, statement.target, builder, true);
    std::vector<const ColumnDef *> columns;
    if (statement.columns.empty()) {
        for (const ColumnDef &column : source.table->columns)
            columns.push_back(&column);
    } else {
        for (const std::string &name : statement.columns) {
            const ColumnDef *column = source.table->column(name);
            if (!column)
                throw errors::invalidColumn(name);
            columns.push_back(column);
        }
    }
    std::string names;
    for (const ColumnDef *column : columns)
        names += (names.empty() ? "" : ", ") + quoted(column->name);
    std::string rows;
    const Scope none;
    for (const auto &row : statement.rows) {
        if (row.size() != columns.size())
            throw SqlError(row.size() > columns.size() ? 110 : 109, 15,
                           row.size() > columns.size()
                               ? "There are fewer columns in the INSERT statement than values specified in the VALUES clause. The number of values in the VALUES clause must match the number of columns specified in the INSERT statement."
                               : "There are more columns in the INSERT statement than values specified in the VALUES clause. The number of values in the VALUES clause must match the number of columns specified in the INSERT statement.");
        std::string values;
        for (std::size_t i = 0; i < row.size(); ++i)
            values += (i ? ", " : "") + builder.store(builder.value(*row[i], none), columns[i]->type).sql;
        rows += (rows.empty() ? "(" : ", (") + values + ")";
    }
    query.sql = "INSERT INTO " + source.from + " (" + names + ") VALUES " + rows;
    return query;
}

Query Translator::remove(const Delete &statement) const
{
    Query query;
    Builder builder(query);
    const Source source = resolve(catalog_, statement.target, builder, true);
    std::string sql = "DELETE FROM " + source.from;
    if (statement.where)
        sql += " WHERE " + builder.condition(*statement.where, source.scope).sql;
    query.sql = std::move(sql);
    return query;
}

} // namespace labsim::tsql
