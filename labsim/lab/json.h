#pragma once

// Just enough JSON for the admin interface: writing objects and reading the
// small orders it receives.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace labsim::json {

// The text as a JSON string, quotes included.
std::string quote(std::string_view text);

struct Value;
using Object = std::map<std::string, Value, std::less<>>;
using Array = std::vector<Value>;

struct Value {
    std::variant<std::nullptr_t, bool, double, std::string, Array, Object> data = nullptr;

    const Object *object() const { return std::get_if<Object>(&data); }
    const std::string *string() const { return std::get_if<std::string>(&data); }
    const double *number() const { return std::get_if<double>(&data); }
    const bool *boolean() const { return std::get_if<bool>(&data); }

    // A member of an object, if this is one and has it.
    const Value *member(std::string_view name) const;
};

// Raises std::runtime_error for text that is not JSON.
Value parse(std::string_view text);

} // namespace labsim::json
