// Latency of the settings query over OdbcConnection (unixODBC, FreeTDS) on
// loopback against the lab simulator, with 1 and with 4 concurrent clients.
//
//   labsim_bench [--port N] [--queries N] [--clients 1,4]
//
// Without --port it starts the labsim next to it on free ports and stops it
// afterwards.

#include "db/odbc_connection.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

const QString kSettingsQuery =
    "select * from   sitecfg.dbo.settings (nolock) where  parameter in ('Dispatch_Freq_US', 'Dispatch_CurrApp_US', "
    "'Dispatch_LastPing_US', 'Dispatch_LastUpd_US', 'Dispatch_Delay_US' )";
constexpr int kWarmUp = 50;

std::uint16_t freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

bool accepts(std::uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

// The labsim next to this program, on free ports; stopped with SIGTERM.
class Labsim {
public:
    explicit Labsim(const std::filesystem::path &program) : port_(freePort())
    {
        const std::string tds = std::to_string(port_), http = std::to_string(freePort());
        pid_ = ::fork();
        if (pid_ == 0) {
            const int quiet = ::open("/dev/null", O_WRONLY);
            ::dup2(quiet, STDOUT_FILENO);
            ::execl(program.c_str(), program.c_str(), "--tds-port", tds.c_str(), "--http-port", http.c_str(), nullptr);
            std::perror("labsim");
            ::_exit(127);
        }
        for (int i = 0; i < 200 && !accepts(port_); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ~Labsim()
    {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    std::uint16_t port() const { return port_; }

private:
    std::uint16_t port_;
    pid_t pid_ = -1;
};

void runClient(const QString &connectionString, int queries, std::vector<double> &latencies)
{
    hc::db::OdbcConnection connection;
    connection.open(connectionString);
    for (int i = 0; i < kWarmUp; ++i) connection.execute(kSettingsQuery);
    latencies.reserve(queries);
    for (int i = 0; i < queries; ++i) {
        const auto before = Clock::now();
        const auto rows = connection.execute(kSettingsQuery);
        latencies.push_back(std::chrono::duration<double, std::micro>(Clock::now() - before).count());
        if (rows->recordCount() != 5) throw std::runtime_error("the settings query did not give 5 rows");
    }
}

struct Figures {
    double median = 0, p99 = 0, max = 0;
};

Figures measure(std::uint16_t port, int clients, int queries)
{
    const QString connectionString =
        QString("Driver={SQL Server};SERVER=127.0.0.1,%1;UID=sa;PWD=mk9073zr;").arg(port);
    std::vector<std::vector<double>> latencies(clients);
    std::vector<std::string> failures(clients);
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&, c] {
            try {
                runClient(connectionString, queries, latencies[c]);
            } catch (const std::exception &failure) {
                failures[c] = failure.what();
            }
        });
    }
    for (auto &thread : threads) thread.join();
    for (const auto &failure : failures)
        if (!failure.empty()) throw std::runtime_error(failure);

    std::vector<double> all;
    for (const auto &one : latencies) all.insert(all.end(), one.begin(), one.end());
    std::sort(all.begin(), all.end());
    const auto at = [&](double fraction) { return all[std::min(all.size() - 1, static_cast<std::size_t>(fraction * all.size()))]; };
    return {at(0.5), at(0.99), all.back()};
}

} // namespace

int main(int argc, char **argv)
{
    int queries = 2000;
    std::vector<int> clientCounts = {1, 4};
    std::uint16_t port = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--port")) port = static_cast<std::uint16_t>(std::atoi(argv[i + 1]));
        else if (!std::strcmp(argv[i], "--queries")) queries = std::max(1, std::atoi(argv[i + 1]));
        else if (!std::strcmp(argv[i], "--clients")) {
            clientCounts.clear();
            for (const char *p = argv[i + 1]; *p; p = std::strchr(p, ',') ? std::strchr(p, ',') + 1 : p + std::strlen(p))
                clientCounts.push_back(std::max(1, std::atoi(p)));
        } else {
            std::fprintf(stderr, "usage: %s [--port N] [--queries N] [--clients 1,4]\n", argv[0]);
            return 2;
        }
    }

    std::unique_ptr<Labsim> labsim;
    if (port == 0) {
        labsim = std::make_unique<Labsim>(std::filesystem::canonical("/proc/self/exe").parent_path() / "labsim");
        port = labsim->port();
    }

    std::printf("settings query, %d timed queries per client after %d warm-up queries\n", queries, kWarmUp);
    std::printf("%8s %12s %12s %12s\n", "clients", "median us", "p99 us", "max us");
    try {
        for (const int clients : clientCounts) {
            const Figures f = measure(port, clients, queries);
            std::printf("%8d %12.0f %12.0f %12.0f\n", clients, f.median, f.p99, f.max);
        }
    } catch (const std::exception &failure) {
        std::fprintf(stderr, "labsim_bench: %s\n", failure.what());
        return 1;
    }
    return 0;
}
