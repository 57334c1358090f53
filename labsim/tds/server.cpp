#include "labsim/tds/server.h"

#include "labsim/tds/packet.h"
#include "labsim/tds/session.h"

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <list>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <variant>

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace labsim::tds {

namespace {

// A client has no reason to send more than a request and its attention ahead
// of the answers; one that floods the connection is dropped.
constexpr std::size_t kMaxQueuedMessages = 16;

void setOption(int fd, int level, int name, int value)
{
    ::setsockopt(fd, level, name, &value, sizeof value);
}

bool sendAll(int fd, const Bytes &bytes)
{
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

struct ConnectionLost {};

// What the reading side hands to the serving side, in the order received.
using Event = std::variant<ClientMessage, ConnectionLost>;

struct Connection {
    int number = 0;
    std::atomic<bool> cancelled{false};
    std::atomic<bool> finished{false};
    std::thread worker;

    std::mutex fdMutex;
    int fd = -1; // closed only by the worker, after its reader has ended

    std::mutex queueMutex;
    std::condition_variable queueChanged;
    std::deque<Event> queue;

    // Wakes both threads of the connection; the socket stays open until the
    // worker closes it, so its number cannot be reused meanwhile.
    void shutdownSocket()
    {
        std::lock_guard lock(fdMutex);
        if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
    }

    void push(Event event)
    {
        std::lock_guard lock(queueMutex);
        queue.push_back(std::move(event));
        queueChanged.notify_one();
    }

    Event pop()
    {
        std::unique_lock lock(queueMutex);
        queueChanged.wait(lock, [&] { return !queue.empty(); });
        Event event = std::move(queue.front());
        queue.pop_front();
        return event;
    }

    std::size_t queued()
    {
        std::lock_guard lock(queueMutex);
        return queue.size();
    }
};

// Reads the socket for the whole life of the connection, so that an
// attention is seen while a batch runs: it flags the batch as cancelled at
// once, and is queued to be acknowledged in order.
void readMessages(Connection &connection, int fd)
{
    MessageAssembler assembler;
    std::uint8_t buffer[64 * 1024];
    try {
        for (;;) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            assembler.feed(ByteView(buffer, static_cast<std::size_t>(n)));
            while (auto message = assembler.next()) {
                if (message->type == packet_type::kAttention) connection.cancelled = true;
                if (connection.queued() >= kMaxQueuedMessages) throw ProtocolError("too many requests ahead of the answers");
                connection.push(std::move(*message));
            }
        }
    } catch (const std::exception &) {
        // A protocol error (or no memory for a request): this connection ends.
    }
    connection.cancelled = true;
    connection.push(ConnectionLost{});
}

// Answers the connection's messages in order until one ends it.
void serveMessages(Engine &engine, Connection &connection, int fd)
{
    Session session(engine, connection.number, connection.cancelled);
    try {
        for (;;) {
            Event event = connection.pop();
            const auto *message = std::get_if<ClientMessage>(&event);
            if (!message) return;
            const Session::Reply reply = session.handle(*message);
            if (!reply.packets.empty() && !sendAll(fd, reply.packets)) return;
            if (reply.close) return;
        }
    } catch (const std::exception &) {
        // A malformed request, or a login the engine failed on: this
        // connection ends, the others go on.
    }
}

void serveConnection(Engine &engine, Connection &connection, int fd)
{
    std::thread reader(readMessages, std::ref(connection), fd);
    serveMessages(engine, connection, fd);
    connection.shutdownSocket();
    reader.join();
    {
        std::lock_guard lock(connection.fdMutex);
        ::close(connection.fd);
        connection.fd = -1;
    }
    engine.connectionClosed(connection.number);
    connection.finished = true;
}

int openListener(const ServerOptions &options)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo *found = nullptr;
    const std::string port = std::to_string(options.port);
    if (const int error = ::getaddrinfo(options.bindAddress.c_str(), port.c_str(), &hints, &found); error != 0)
        throw std::runtime_error("cannot bind to " + options.bindAddress + ": " + ::gai_strerror(error));
    const int fd = ::socket(found->ai_family, found->ai_socktype | SOCK_CLOEXEC, found->ai_protocol);
    if (fd < 0) {
        ::freeaddrinfo(found);
        throw std::runtime_error(std::string("cannot open a socket: ") + std::strerror(errno));
    }
    setOption(fd, SOL_SOCKET, SO_REUSEADDR, 1);
    const bool bound = ::bind(fd, found->ai_addr, found->ai_addrlen) == 0 && ::listen(fd, 64) == 0;
    const int error = errno;
    ::freeaddrinfo(found);
    if (!bound) {
        ::close(fd);
        throw std::runtime_error("cannot listen on " + options.bindAddress + " port " + port + ": " + std::strerror(error));
    }
    return fd;
}

std::uint16_t boundPort(int fd)
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
    if (address.ss_family == AF_INET6) return ntohs(reinterpret_cast<sockaddr_in6 *>(&address)->sin6_port);
    return ntohs(reinterpret_cast<sockaddr_in *>(&address)->sin_port);
}

void configureClientSocket(int fd)
{
    setOption(fd, IPPROTO_TCP, TCP_NODELAY, 1);
    // A client that vanishes without closing is noticed within a minute or so.
    setOption(fd, SOL_SOCKET, SO_KEEPALIVE, 1);
    setOption(fd, IPPROTO_TCP, TCP_KEEPIDLE, 30);
    setOption(fd, IPPROTO_TCP, TCP_KEEPINTVL, 10);
    setOption(fd, IPPROTO_TCP, TCP_KEEPCNT, 3);
}

} // namespace

struct Server::Impl {
    Engine &engine;
    ServerOptions options;
    int listenFd = -1;
    int wakeFd = -1;
    std::thread acceptor;
    std::mutex mutex;
    std::list<std::unique_ptr<Connection>> connections;
    int lastConnection = 0;

    Impl(Engine &engine, ServerOptions options) : engine(engine), options(std::move(options)) {}

    void acceptLoop()
    {
        for (;;) {
            pollfd fds[] = {{listenFd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR) continue;
                return;
            }
            if (fds[1].revents) return;
            if (!(fds[0].revents & POLLIN)) continue;
            const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) {
                // Out of descriptors, say: wait a little (or for stop) rather
                // than poll the still readable listener in a tight loop.
                if (errno != EINTR && errno != ECONNABORTED && errno != EAGAIN) {
                    pollfd wake{wakeFd, POLLIN, 0};
                    if (::poll(&wake, 1, 100) > 0) return;
                }
                continue;
            }
            configureClientSocket(fd);
            std::lock_guard lock(mutex);
            reapFinished();
            auto connection = std::make_unique<Connection>();
            connection->number = ++lastConnection;
            connection->fd = fd;
            Connection &started = *connection;
            connections.push_back(std::move(connection));
            started.worker = std::thread(serveConnection, std::ref(engine), std::ref(started), fd);
        }
    }

    void reapFinished()
    {
        for (auto it = connections.begin(); it != connections.end();) {
            if ((*it)->finished) {
                (*it)->worker.join();
                it = connections.erase(it);
            } else {
                ++it;
            }
        }
    }
};

Server::Server(Engine &engine, ServerOptions options) : impl_(std::make_unique<Impl>(engine, std::move(options))) {}

Server::~Server()
{
    stop();
}

std::uint16_t Server::start()
{
    if (impl_->acceptor.joinable()) throw std::logic_error("the TDS server is already running");
    impl_->listenFd = openListener(impl_->options);
    impl_->wakeFd = ::eventfd(0, EFD_CLOEXEC);
    if (impl_->wakeFd < 0) {
        ::close(impl_->listenFd);
        impl_->listenFd = -1;
        throw std::runtime_error(std::string("cannot create an event descriptor: ") + std::strerror(errno));
    }
    const std::uint16_t port = boundPort(impl_->listenFd);
    impl_->acceptor = std::thread([this] { impl_->acceptLoop(); });
    return port;
}

void Server::stop()
{
    if (!impl_->acceptor.joinable()) return;
    const std::uint64_t one = 1;
    (void)!::write(impl_->wakeFd, &one, sizeof one);
    impl_->acceptor.join();
    ::close(impl_->listenFd);
    ::close(impl_->wakeFd);
    impl_->listenFd = impl_->wakeFd = -1;

    std::list<std::unique_ptr<Connection>> connections;
    {
        std::lock_guard lock(impl_->mutex);
        connections.swap(impl_->connections);
    }
    for (auto &connection : connections) {
        connection->cancelled = true;
        connection->shutdownSocket();
    }
    for (auto &connection : connections) connection->worker.join();
}

void Server::dropAllConnections()
{
    std::lock_guard lock(impl_->mutex);
    for (auto &connection : impl_->connections) connection->shutdownSocket();
}

} // namespace labsim::tds
