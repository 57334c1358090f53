#pragma once

#include <stdexcept>
#include <string>

namespace hc {

// A run-time failure of the service: raised where the platform would raise an
// error, caught where a procedure handles failures ("any failure ends ...").
class Failure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace hc
