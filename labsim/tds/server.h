#pragma once

#include "labsim/engine.h"

#include <cstdint>
#include <memory>
#include <string>

namespace labsim::tds {

struct ServerOptions {
    std::string bindAddress = "127.0.0.1";
    std::uint16_t port = 1433; // 0 picks a free port
};

// The TDS endpoint: accepts connections on a thread of its own and serves each
// connection on a thread of its own, running its batches on the engine.
// Connections are numbered from 1 in the order they were accepted.
class Server {
public:
    Server(Engine &engine, ServerOptions options);
    ~Server(); // stops
    Server(const Server &) = delete;
    Server &operator=(const Server &) = delete;

    // Binds and listens; returns the bound port. Throws std::runtime_error.
    std::uint16_t start();
    // Closes the listener and every connection, and joins the threads. Not
    // from an engine call (it waits for them).
    void stop();
    // Closes every client connection now; the listener stays open. Safe from
    // any thread, an engine call included; a running batch sees cancelled.
    void dropAllConnections();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace labsim::tds
