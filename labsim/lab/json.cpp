#include "labsim/lab/json.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace labsim::json {

std::string quote(std::string_view text)
{
    std::string result = "\"";
    for (const char c : text) {
        switch (c) {
        case '"':
            result += "\\\"";
            break;
        case '\\':
            result += "\\\\";
            break;
        case '\n':
            result += "\\n";
            break;
        case '\r':
            result += "\\r";
            break;
        case '\t':
            result += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                result += escaped;
            } else {
                result += c;
            }
        }
    }
    return result + "\"";
}

const Value *Value::member(std::string_view name) const
{
    const Object *members = object();
    if (!members)
        return nullptr;
    const auto found = members->find(name);
    return found == members->end() ? nullptr : &found->second;
}

namespace {

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    Value document()
    {
        Value result = value();
        blanks();
        if (pos_ != text_.size())
            fail();
        return result;
    }

private:
    [[noreturn]] void fail() const { throw std::runtime_error("malformed JSON at offset " + std::to_string(pos_)); }

    void blanks()
    {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\n' || text_[pos_] == '\r' || text_[pos_] == '\t'))
            ++pos_;
    }

    bool literal(std::string_view word)
    {
        if (text_.substr(pos_, word.size()) != word)
            return false;
        pos_ += word.size();
        return true;
    }

    Value value()
    {
        blanks();
        if (pos_ >= text_.size())
            fail();
        const char c = text_[pos_];
        if (c == '{')
            return {object()};
        if (c == '[')
            return {array()};
        if (c == '"')
            return {string()};
        if (literal("true"))
            return {true};
        if (literal("false"))
            return {false};
        if (literal("null"))
            return {nullptr};
        return {number()};
    }

    Object object()
    {
        Object result;
        ++pos_;
        blanks();
        if (pos_ < text_.size() && text_[pos_] == '}') {
            ++pos_;
            return result;
        }
        while (true) {
            blanks();
            if (pos_ >= text_.size() || text_[pos_] != '"')
                fail();
            std::string name = string();
            blanks();
            if (pos_ >= text_.size() || text_[pos_] != ':')
                fail();
            ++pos_;
            result[std::move(name)] = value();
            blanks();
            if (pos_ < text_.size() && text_[pos_] == ',') {
                ++pos_;
                continue;
            }
            if (pos_ < text_.size() && text_[pos_] == '}') {
                ++pos_;
                return result;
            }
            fail();
        }
    }

    Array array()
    {
        Array result;
        ++pos_;
        blanks();
        if (pos_ < text_.size() && text_[pos_] == ']') {
            ++pos_;
            return result;
        }
        while (true) {
            result.push_back(value());
            blanks();
            if (pos_ < text_.size() && text_[pos_] == ',') {
                ++pos_;
                continue;
            }
            if (pos_ < text_.size() && text_[pos_] == ']') {
                ++pos_;
                return result;
            }
            fail();
        }
    }

    void appendUtf8(std::string &out, unsigned code)
    {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    unsigned hex4()
    {
        if (pos_ + 4 > text_.size())
            fail();
        unsigned code = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = text_[pos_++];
            code <<= 4;
            if (c >= '0' && c <= '9')
                code |= static_cast<unsigned>(c - '0');
            else if (c >= 'a' && c <= 'f')
                code |= static_cast<unsigned>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                code |= static_cast<unsigned>(c - 'A' + 10);
            else
                fail();
        }
        return code;
    }

    std::string string()
    {
        std::string result;
        ++pos_;
        while (pos_ < text_.size()) {
            const char c = text_[pos_++];
            if (c == '"')
                return result;
            if (c != '\\') {
                result += c;
                continue;
            }
            if (pos_ >= text_.size())
                fail();
            const char escape = text_[pos_++];
            switch (escape) {
            case '"':
            case '\\':
            case '/':
                result += escape;
                break;
            case 'b':
                result += '\b';
                break;
            case 'f':
                result += '\f';
                break;
            case 'n':
                result += '\n';
                break;
            case 'r':
                result += '\r';
                break;
            case 't':
                result += '\t';
                break;
            case 'u': {
                unsigned code = hex4();
                if (code >= 0xD800 && code < 0xDC00 && literal("\\u")) {
                    const unsigned low = hex4();
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                }
                appendUtf8(result, code);
                break;
            }
            default:
                fail();
            }
        }
        fail();
    }

    double number()
    {
        const std::string rest(text_.substr(pos_, 64));
        char *end = nullptr;
        const double result = std::strtod(rest.c_str(), &end);
        if (end == rest.c_str())
            fail();
        pos_ += static_cast<std::size_t>(end - rest.c_str());
        return result;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

} // namespace

Value parse(std::string_view text) { return Reader(text).document(); }

} // namespace labsim::json
