#pragma once

#include "labsim/lab/laboratory.h"
#include "labsim/web/report_request.h"

#include <cstdint>
#include <memory>
#include <string>

namespace labsim::web {

struct HttpOptions {
    std::string bindAddress = "127.0.0.1";
    std::uint16_t port = 8080; // 0 picks a free port
    std::string webUser = kWebUser;
};

// The report server's pages and the /labsim/ admin interface on one port,
// each request on a thread of a pool, so that a hanging page holds only its
// own.
class HttpServer {
public:
    HttpServer(lab::Laboratory &laboratory, HttpOptions options);
    ~HttpServer(); // stops
    HttpServer(const HttpServer &) = delete;
    HttpServer &operator=(const HttpServer &) = delete;

    // Binds and listens; returns the bound port. Throws std::runtime_error.
    std::uint16_t start();
    void stop();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace labsim::web
