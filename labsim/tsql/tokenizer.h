#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace labsim::tsql {

struct Token {
    enum class Kind {
        Word,             // identifier or keyword
        QuotedIdentifier, // [name] or "name"
        Variable,         // @name
        String,           // 'text' or N'text'
        Integer,
        Decimal,
        Symbol, // ( ) , . = <> != < > <= >= * + - / % ;
        End,
    };
    Kind kind = Kind::End;
    std::string text;  // as written
    std::string value; // string content with doubled apostrophes undone; name without brackets
    std::size_t offset = 0;
    int line = 1;

    // A Word whose text is the keyword, regardless of letter case.
    bool is(std::string_view keyword) const;
    bool isSymbol(std::string_view symbol) const { return kind == Kind::Symbol && text == symbol; }
};

// Splits a batch into tokens; comments and blanks are dropped. The last token
// has kind End. Raises SqlError 105 for an unclosed quotation mark.
std::vector<Token> tokenize(std::string_view sql);

} // namespace labsim::tsql
