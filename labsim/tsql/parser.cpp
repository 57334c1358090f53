#include "labsim/tsql/parser.h"

#include "labsim/tsql/error.h"
#include "labsim/tsql/tokenizer.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <limits>

namespace labsim::tsql {

namespace {

std::string lower(std::string_view text)
{
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

constexpr std::array kReserved = {
    "all",    "and",    "as",      "asc",     "between", "by",     "default", "delete", "desc",
    "distinct", "exec", "execute", "from",    "group",   "having", "in",      "insert", "into",
    "is",     "join",   "like",    "not",     "null",    "on",     "or",      "order",  "print",
    "select", "set",    "top",     "union",   "update",  "values", "waitfor", "where",  "with",
};

bool startsStatement(const Token &token)
{
    for (const char *keyword : {"select", "update", "insert", "delete", "exec", "execute", "waitfor", "print"})
        if (token.is(keyword))
            return true;
    return false;
}

class Parser {
public:
    explicit Parser(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

    std::vector<Statement> batch()
    {
        std::vector<Statement> statements;
        while (true) {
            while (peek().isSymbol(";"))
                ++pos_;
            if (peek().kind == Token::Kind::End)
                return statements;
            statements.push_back(statement());
        }
    }

private:
    const Token &peek(std::size_t ahead = 0) const
    {
        return tokens_[std::min(pos_ + ahead, tokens_.size() - 1)];
    }
    const Token &take() { return tokens_[std::min(pos_++, tokens_.size() - 1)]; }

    [[noreturn]] void fail() const
    {
        const Token &token = peek();
        if (token.kind == Token::Kind::End && pos_ > 0)
            throw errors::syntaxNear(tokens_[pos_ - 1].text);
        throw errors::syntaxNear(token.text);
    }

    bool acceptKeyword(std::string_view keyword)
    {
        if (peek().is(keyword)) {
            ++pos_;
            return true;
        }
        return false;
    }
    void expectKeyword(std::string_view keyword)
    {
        if (!acceptKeyword(keyword))
            fail();
    }
    bool acceptSymbol(std::string_view symbol)
    {
        if (peek().isSymbol(symbol)) {
            ++pos_;
            return true;
        }
        return false;
    }
    void expectSymbol(std::string_view symbol)
    {
        if (!acceptSymbol(symbol))
            fail();
    }

    bool atName() const
    {
        const Token &token = peek();
        return token.kind == Token::Kind::QuotedIdentifier ||
               (token.kind == Token::Kind::Word && !isReserved(token.text));
    }
    std::string name()
    {
        if (!atName())
            fail();
        return take().value;
    }

    Statement statement()
    {
        Statement result;
        result.line = peek().line;
        const Token &first = peek();
        if (first.is("select"))
            result.body = select();
        else if (first.is("update"))
            result.body = update();
        else if (first.is("insert"))
            result.body = insert();
        else if (first.is("delete"))
            result.body = remove();
        else if (first.is("exec") || first.is("execute"))
            result.body = exec();
        else if (first.is("waitfor"))
            result.body = waitfor();
        else if (first.is("print"))
            result.body = print();
        else
            fail();
        return result;
    }

    ObjectName objectName()
    {
        ObjectName result;
        result.parts.push_back(name());
        while (peek().isSymbol(".")) {
            ++pos_;
            if (peek().isSymbol(".")) {
                result.parts.emplace_back(); // "routing..x" leaves the schema out
                continue;
            }
            result.parts.push_back(name());
        }
        if (result.parts.size() > 4)
            fail();
        return result;
    }

    std::vector<std::string> hintList()
    {
        std::vector<std::string> hints;
        expectSymbol("(");
        do {
            hints.push_back(name());
        } while (acceptSymbol(","));
        expectSymbol(")");
        return hints;
    }

    // A select's source may be a function call and carry an alias; the target
    // of an update or delete is a table name with hints only.
    TableSource tableSource(bool forSelect)
    {
        TableSource source;
        source.name = objectName();
        if (forSelect && peek().isSymbol("(")) {
            ++pos_;
            source.called = true;
            if (!peek().isSymbol(")")) {
                do {
                    source.args.push_back(expression());
                } while (acceptSymbol(","));
            }
            expectSymbol(")");
        }
        if (forSelect && acceptKeyword("as")) {
            source.alias = name();
        } else if (forSelect && atName()) {
            source.alias = name();
        }
        if (acceptKeyword("with")) {
            source.hints = hintList();
        } else if (!source.alias.empty() && peek().isSymbol("(")) {
            source.hints = hintList();
        }
        return source;
    }

    Select select()
    {
        expectKeyword("select");
        Select result;
        if (acceptKeyword("distinct"))
            result.distinct = true;
        else
            acceptKeyword("all");
        if (acceptKeyword("top")) {
            const bool parenthesised = acceptSymbol("(");
            if (peek().kind != Token::Kind::Integer)
                fail();
            result.top = std::stoll(take().text);
            if (parenthesised)
                expectSymbol(")");
        }
        do {
            SelectItem item;
            if (acceptSymbol("*")) {
                result.items.push_back(std::move(item));
                continue;
            }
            item.expr = expression();
            if (acceptKeyword("as")) {
                item.alias = peek().kind == Token::Kind::String ? take().value : name();
            } else if (atName() || peek().kind == Token::Kind::String) {
                item.alias = take().value;
            }
            result.items.push_back(std::move(item));
        } while (acceptSymbol(","));
        if (acceptKeyword("from"))
            result.from = tableSource(true);
        if (acceptKeyword("where"))
            result.where = expression();
        if (acceptKeyword("order")) {
            expectKeyword("by");
            do {
                OrderItem item;
                item.expr = expression();
                if (acceptKeyword("desc"))
                    item.descending = true;
                else
                    acceptKeyword("asc");
                result.orderBy.push_back(std::move(item));
            } while (acceptSymbol(","));
        }
        return result;
    }

    Update update()
    {
        expectKeyword("update");
        Update result;
        result.target = tableSource(false);
        expectKeyword("set");
        do {
            ObjectName column = objectName();
            expectSymbol("=");
            result.assignments.emplace_back(column.parts.back(), expression());
        } while (acceptSymbol(","));
        if (acceptKeyword("where"))
            result.where = expression();
        return result;
    }

    Insert insert()
    {
        expectKeyword("insert");
        acceptKeyword("into");
        Insert result;
        result.target.name = objectName();
        if (acceptSymbol("(")) {
            do {
                result.columns.push_back(name());
            } while (acceptSymbol(","));
            expectSymbol(")");
        }
        expectKeyword("values");
        do {
            expectSymbol("(");
            std::vector<ExprPtr> row;
            do {
                row.push_back(expression());
            } while (acceptSymbol(","));
            expectSymbol(")");
            result.rows.push_back(std::move(row));
        } while (acceptSymbol(","));
        return result;
    }

    Delete remove()
    {
        expectKeyword("delete");
        acceptKeyword("from");
        Delete result;
        result.target = tableSource(false);
        if (acceptKeyword("where"))
            result.where = expression();
        return result;
    }

    Exec exec()
    {
        take(); // exec or execute
        Exec result;
        result.procedure = objectName();
        const Token &next = peek();
        if (next.kind == Token::Kind::End || next.isSymbol(";") || startsStatement(next))
            return result;
        do {
            Argument argument;
            if (peek().kind == Token::Kind::Variable && peek(1).isSymbol("=")) {
                argument.name = take().value;
                ++pos_;
            }
            if (!acceptKeyword("default"))
                argument.value = expression();
            result.arguments.push_back(std::move(argument));
        } while (acceptSymbol(","));
        return result;
    }

    WaitFor waitfor()
    {
        expectKeyword("waitfor");
        expectKeyword("delay");
        WaitFor result;
        result.delay = expression();
        return result;
    }

    Print print()
    {
        expectKeyword("print");
        Print result;
        result.message = expression();
        return result;
    }

    // Precedence from loosest: or, and, not, comparisons, + -, * / %, unary.
    ExprPtr expression() { return disjunction(); }

    static ExprPtr binary(std::string op, ExprPtr left, ExprPtr right, std::string text)
    {
        auto node = std::make_unique<Expr>();
        node->kind = Expr::Kind::Binary;
        node->op = std::move(op);
        node->text = std::move(text);
        node->args.push_back(std::move(left));
        node->args.push_back(std::move(right));
        return node;
    }

    ExprPtr disjunction()
    {
        ExprPtr left = conjunction();
        while (peek().is("or")) {
            const std::string text = take().text;
            left = binary("or", std::move(left), conjunction(), text);
        }
        return left;
    }

    ExprPtr conjunction()
    {
        ExprPtr left = negation();
        while (peek().is("and")) {
            const std::string text = take().text;
            left = binary("and", std::move(left), negation(), text);
        }
        return left;
    }

    ExprPtr negation()
    {
        if (peek().is("not")) {
            auto node = std::make_unique<Expr>();
            node->kind = Expr::Kind::Not;
            node->text = take().text;
            node->args.push_back(negation());
            return node;
        }
        return comparison();
    }

    ExprPtr comparison()
    {
        ExprPtr left = additive();
        const Token &token = peek();
        static constexpr std::array operators = {"=", "<>", "!=", "<", ">", "<=", ">=", "!<", "!>"};
        for (const char *op : operators) {
            if (token.isSymbol(op)) {
                const std::string text = take().text;
                std::string normal = op;
                if (normal == "!=")
                    normal = "<>";
                else if (normal == "!<")
                    normal = ">=";
                else if (normal == "!>")
                    normal = "<=";
                return binary(normal, std::move(left), additive(), text);
            }
        }
        const bool negated = token.is("not") && (peek(1).is("in") || peek(1).is("like") || peek(1).is("between"));
        if (negated)
            ++pos_;
        auto node = std::make_unique<Expr>();
        node->negated = negated;
        node->text = peek().text;
        if (acceptKeyword("in")) {
            node->kind = Expr::Kind::In;
            node->args.push_back(std::move(left));
            expectSymbol("(");
            do {
                node->args.push_back(expression());
            } while (acceptSymbol(","));
            expectSymbol(")");
            return node;
        }
        if (acceptKeyword("like")) {
            node->kind = Expr::Kind::Like;
            node->args.push_back(std::move(left));
            node->args.push_back(additive());
            return node;
        }
        if (acceptKeyword("between")) {
            node->kind = Expr::Kind::Between;
            node->args.push_back(std::move(left));
            node->args.push_back(additive());
            expectKeyword("and");
            node->args.push_back(additive());
            return node;
        }
        if (negated)
            fail();
        if (acceptKeyword("is")) {
            node->kind = Expr::Kind::IsNull;
            node->negated = acceptKeyword("not");
            expectKeyword("null");
            node->args.push_back(std::move(left));
            return node;
        }
        return left;
    }

    ExprPtr additive()
    {
        ExprPtr left = multiplicative();
        while (peek().isSymbol("+") || peek().isSymbol("-")) {
            const std::string op = take().text;
            left = binary(op, std::move(left), multiplicative(), op);
        }
        return left;
    }

    ExprPtr multiplicative()
    {
        ExprPtr left = unary();
        while (peek().isSymbol("*") || peek().isSymbol("/") || peek().isSymbol("%")) {
            const std::string op = take().text;
            left = binary(op, std::move(left), unary(), op);
        }
        return left;
    }

    ExprPtr unary()
    {
        if (peek().isSymbol("-")) {
            const std::string text = take().text;
            ExprPtr operand = unary();
            if (operand->kind == Expr::Kind::Literal) { // fold, so that -9223372036854775808 fits
                auto &value = operand->literal.value;
                if (auto *number = std::get_if<std::int64_t>(&value)) {
                    *number = -*number;
                    return operand;
                }
                if (auto *real = std::get_if<double>(&value)) {
                    *real = -*real;
                    return operand;
                }
            }
            auto node = std::make_unique<Expr>();
            node->kind = Expr::Kind::Negate;
            node->text = text;
            node->args.push_back(std::move(operand));
            return node;
        }
        if (acceptSymbol("+"))
            return unary();
        return primary();
    }

    ExprPtr primary()
    {
        const Token &token = peek();
        auto node = std::make_unique<Expr>();
        node->text = token.text;
        switch (token.kind) {
        case Token::Kind::String:
            node->literal.value = token.value;
            ++pos_;
            return node;
        case Token::Kind::Integer: {
            ++pos_;
            try {
                node->literal.value = static_cast<std::int64_t>(std::stoll(token.text));
            } catch (const std::out_of_range &) {
                node->literal.value = std::stod(token.text);
            }
            return node;
        }
        case Token::Kind::Decimal:
            node->literal.value = std::stod(token.text);
            ++pos_;
            return node;
        case Token::Kind::Variable:
            node->kind = Expr::Kind::Variable;
            node->name.push_back(lower(token.value));
            ++pos_;
            return node;
        case Token::Kind::Symbol:
            if (token.isSymbol("(")) {
                ++pos_;
                ExprPtr inner = expression();
                expectSymbol(")");
                return inner;
            }
            fail();
        case Token::Kind::Word:
            if (token.is("null")) {
                ++pos_;
                return node;
            }
            [[fallthrough]];
        case Token::Kind::QuotedIdentifier:
            if (token.kind == Token::Kind::Word && peek(1).isSymbol("(") && !isReserved(token.text))
                return function();
            node->kind = Expr::Kind::Column;
            node->name = objectName().parts;
            return node;
        case Token::Kind::End:
            fail();
        }
        fail();
    }

    ExprPtr function()
    {
        auto node = std::make_unique<Expr>();
        node->kind = Expr::Kind::Function;
        node->text = peek().text;
        node->name.push_back(lower(take().text));
        expectSymbol("(");
        if (acceptSymbol("*")) {
            node->star = true;
        } else if (!peek().isSymbol(")")) {
            do {
                node->args.push_back(expression());
            } while (acceptSymbol(","));
        }
        expectSymbol(")");
        return node;
    }

    std::vector<Token> tokens_;
    std::size_t pos_ = 0;
};

} // namespace

std::string ObjectName::written() const
{
    std::string result;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            result += '.';
        result += parts[i];
    }
    return result;
}

bool isReserved(std::string_view word)
{
    const std::string folded = lower(word);
    return std::find(kReserved.begin(), kReserved.end(), folded) != kReserved.end();
}

std::vector<Statement> parseBatch(std::string_view sql) { return Parser(tokenize(sql)).batch(); }

} // namespace labsim::tsql
