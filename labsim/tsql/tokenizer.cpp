#include "labsim/tsql/tokenizer.h"

#include "labsim/tsql/error.h"

#include <cctype>

namespace labsim::tsql {

namespace {

bool isWordStart(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return std::isalpha(u) || c == '_' || c == '#' || u >= 0x80;
}

bool isWordPart(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return std::isalnum(u) || c == '_' || c == '#' || c == '@' || c == '$' || u >= 0x80;
}

bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

class Scanner {
public:
    explicit Scanner(std::string_view sql) : sql_(sql) {}

    std::vector<Token> run()
    {
        std::vector<Token> tokens;
        while (true) {
            skipBlanksAndComments();
            if (pos_ >= sql_.size())
                break;
            tokens.push_back(next());
        }
        Token end;
        end.offset = sql_.size();
        end.line = line_;
        tokens.push_back(end);
        return tokens;
    }

private:
    char at(std::size_t i) const { return i < sql_.size() ? sql_[i] : '\0'; }

    void advance(std::size_t count = 1)
    {
        for (std::size_t i = 0; i < count && pos_ < sql_.size(); ++i)
            if (sql_[pos_++] == '\n')
                ++line_;
    }

    void skipBlanksAndComments()
    {
        while (pos_ < sql_.size()) {
            const char c = sql_[pos_];
            if (std::isspace(static_cast<unsigned char>(c))) {
                advance();
            } else if (c == '-' && at(pos_ + 1) == '-') {
                while (pos_ < sql_.size() && sql_[pos_] != '\n')
                    advance();
            } else if (c == '/' && at(pos_ + 1) == '*') {
                skipBlockComment();
            } else {
                return;
            }
        }
    }

    // Block comments nest in T-SQL.
    void skipBlockComment()
    {
        int depth = 0;
        while (pos_ < sql_.size()) {
            if (sql_[pos_] == '/' && at(pos_ + 1) == '*') {
                ++depth;
                advance(2);
            } else if (sql_[pos_] == '*' && at(pos_ + 1) == '/') {
                advance(2);
                if (--depth == 0)
                    return;
            } else {
                advance();
            }
        }
        throw SqlError(113, 15, "Missing end comment mark '*/'.");
    }

    Token make(Token::Kind kind, std::size_t start, std::string value, int line)
    {
        Token token;
        token.kind = kind;
        token.text = std::string(sql_.substr(start, pos_ - start));
        token.value = std::move(value);
        token.offset = start;
        token.line = line;
        return token;
    }

    Token next()
    {
        const std::size_t start = pos_;
        const int line = line_;
        const char c = sql_[pos_];
        if ((c == 'N' || c == 'n') && at(pos_ + 1) == '\'') {
            advance();
            return make(Token::Kind::String, start, quoted('\''), line);
        }
        if (c == '\'')
            return make(Token::Kind::String, start, quoted('\''), line);
        if (c == '[')
            return make(Token::Kind::QuotedIdentifier, start, quoted(']'), line);
        if (c == '"')
            return make(Token::Kind::QuotedIdentifier, start, quoted('"'), line);
        if (c == '@') {
            advance();
            while (pos_ < sql_.size() && isWordPart(sql_[pos_]))
                advance();
            return make(Token::Kind::Variable, start, std::string(sql_.substr(start, pos_ - start)), line);
        }
        if (isWordStart(c)) {
            while (pos_ < sql_.size() && isWordPart(sql_[pos_]))
                advance();
            return make(Token::Kind::Word, start, std::string(sql_.substr(start, pos_ - start)), line);
        }
        if (isDigit(c) || (c == '.' && isDigit(at(pos_ + 1))))
            return number(start, line);
        static constexpr std::string_view pairs[] = {"<>", "!=", "<=", ">=", "!<", "!>"};
        for (const std::string_view pair : pairs) {
            if (sql_.substr(pos_, 2) == pair) {
                advance(2);
                return make(Token::Kind::Symbol, start, std::string(pair), line);
            }
        }
        static constexpr std::string_view singles = "(),.=<>*+-/%;";
        if (singles.find(c) != std::string_view::npos) {
            advance();
            return make(Token::Kind::Symbol, start, std::string(1, c), line);
        }
        throw errors::syntaxNear(std::string(1, c));
    }

    Token number(std::size_t start, int line)
    {
        bool decimal = false;
        while (isDigit(at(pos_)))
            advance();
        if (at(pos_) == '.') {
            decimal = true;
            advance();
            while (isDigit(at(pos_)))
                advance();
        }
        if ((at(pos_) == 'e' || at(pos_) == 'E') &&
            (isDigit(at(pos_ + 1)) || ((at(pos_ + 1) == '+' || at(pos_ + 1) == '-') && isDigit(at(pos_ + 2))))) {
            decimal = true;
            advance(2);
            while (isDigit(at(pos_)))
                advance();
        }
        Token token = make(decimal ? Token::Kind::Decimal : Token::Kind::Integer, start, {}, line);
        token.value = token.text;
        return token;
    }

    // Text between an opening and a closing mark; a doubled closing mark stands
    // for one.
    std::string quoted(char close)
    {
        advance(); // the opening mark
        std::string value;
        const std::size_t contentStart = pos_;
        while (pos_ < sql_.size()) {
            if (sql_[pos_] == close) {
                if (at(pos_ + 1) == close) {
                    value += close;
                    advance(2);
                    continue;
                }
                advance();
                return value;
            }
            value += sql_[pos_];
            advance();
        }
        const std::string rest(sql_.substr(contentStart));
        if (close == '\'')
            throw errors::unclosedQuotation(rest);
        throw SqlError(105, 15, "Unclosed quotation mark after the character string '" + rest + "'.");
    }

    std::string_view sql_;
    std::size_t pos_ = 0;
    int line_ = 1;
};

} // namespace

bool Token::is(std::string_view keyword) const
{
    if (kind != Kind::Word || text.size() != keyword.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(keyword[i])))
            return false;
    return true;
}

std::vector<Token> tokenize(std::string_view sql) { return Scanner(sql).run(); }

} // namespace labsim::tsql
