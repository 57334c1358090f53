// labsim: the demo laboratory's SQL Server (TDS) and report server (HTTP).

#include "labsim/lab/laboratory.h"
#include "labsim/tds/server.h"
#include "labsim/web/http_server.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace {

constexpr const char *kUsage =
    "usage: labsim [--db FILE] [--fresh] [--bind ADDR] [--tds-port N] [--http-port N] [--sibling]\n"
    "              [--password TEXT] [--batch-release SECONDS]\n"
    "  --db FILE         keep the laboratory in FILE (created with the demo laboratory when new);\n"
    "                    without it a fresh demo laboratory lives in a temporary file\n"
    "  --fresh           recreate FILE with the demo laboratory\n"
    "  --bind ADDR       address of both endpoints (127.0.0.1)\n"
    "  --tds-port N      SQL Server port (1433); 0 picks a free one\n"
    "  --http-port N     report server and /labsim/ admin port (8080); 0 picks a free one\n"
    "  --sibling         play the AUTO_EXPORT service from the start\n"
    "  --password TEXT   the password of the login sa (mk9073zr)\n"
    "  --batch-release SECONDS  age at which the cleanup releases an undeleted batch id (300)\n";

struct Options {
    labsim::lab::LaboratoryOptions laboratory;
    std::optional<std::string> database;
    std::string bind = "127.0.0.1";
    std::uint16_t tdsPort = 1433;
    std::uint16_t httpPort = 8080;
};

std::uint16_t portOf(const std::string &text)
{
    std::size_t used = 0;
    const unsigned long port = std::stoul(text, &used);
    if (used != text.size() || port > 65535)
        throw std::invalid_argument("not a port: " + text);
    return static_cast<std::uint16_t>(port);
}

Options parse(int argc, char **argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                throw std::invalid_argument(argument + " needs a value");
            return argv[++i];
        };
        if (argument == "--db")
            options.database = value();
        else if (argument == "--fresh")
            options.laboratory.fresh = true;
        else if (argument == "--bind")
            options.bind = value();
        else if (argument == "--tds-port")
            options.tdsPort = portOf(value());
        else if (argument == "--http-port")
            options.httpPort = portOf(value());
        else if (argument == "--sibling")
            options.laboratory.sibling = true;
        else if (argument == "--password")
            options.laboratory.password = value();
        else if (argument == "--batch-release")
            options.laboratory.batchRelease = std::chrono::seconds(std::stol(value()));
        else if (argument == "--help" || argument == "-h")
            throw std::invalid_argument("");
        else
            throw std::invalid_argument("unknown option " + argument);
    }
    return options;
}

// A temporary folder for the laboratory of one run, removed at the end.
class TemporaryFolder {
public:
    TemporaryFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "labsim-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("cannot create a temporary folder");
        path_ = pattern;
    }
    ~TemporaryFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path &path() const { return path_; }

private:
    std::filesystem::path path_;
};

} // namespace

int main(int argc, char **argv)
{
    Options options;
    try {
        options = parse(argc, argv);
    } catch (const std::exception &error) {
        if (*error.what())
            std::cerr << "labsim: " << error.what() << "\n";
        std::cerr << kUsage;
        return *error.what() ? 2 : 0;
    }

    // The signals that stop the program are taken by main alone, in sigwait;
    // every thread started from here on inherits the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    try {
        std::optional<TemporaryFolder> temporary;
        if (options.database) {
            options.laboratory.databasePath = *options.database;
        } else {
            temporary.emplace();
            options.laboratory.databasePath = (temporary->path() / "laboratory.db").string();
        }
        labsim::lab::Laboratory laboratory(options.laboratory);
        labsim::tds::Server tds(laboratory, {options.bind, options.tdsPort});
        laboratory.setConnectionDropper([&tds] { tds.dropAllConnections(); });
        labsim::web::HttpServer http(laboratory, {options.bind, options.httpPort, labsim::web::kWebUser});
        const std::uint16_t tdsPort = tds.start();
        const std::uint16_t httpPort = http.start();
        std::printf("labsim: tds listening on %s:%u\n", options.bind.c_str(), tdsPort);
        std::printf("labsim: http listening on %s:%u\n", options.bind.c_str(), httpPort);
        std::fflush(stdout);

        int received = 0;
        sigwait(&stopSignals, &received);
        http.stop();
        laboratory.setConnectionDropper({});
        tds.stop();
    } catch (const std::exception &error) {
        std::cerr << "labsim: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
