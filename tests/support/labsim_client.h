#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <utility>
#include <vector>

namespace hc::test {

struct LabsimLogEntry {
    QString time;
    int connection = 0;
    QString kind; // "sql" | "page"
    QString text;
};

// The lab simulator that the labsim CTest fixture started for this test run
// (its ports are in the file named by HARDCOPY_LABSIM_ENDPOINTS). Every
// failure to reach it raises std::runtime_error.
class LabsimClient {
public:
    static LabsimClient fromEnvironment();

    QString connectionString() const; // the built-in connection string aimed at its TDS port
    QString reportServer() const;     // "127.0.0.1:<http port>"
    std::uint16_t tdsPort() const { return tdsPort_; }
    std::uint16_t httpPort() const { return httpPort_; }

    void reset(); // POST /labsim/reset: the fresh demo laboratory, log emptied
    std::vector<LabsimLogEntry> log() const;
    QStringList sqlLogged(std::size_t fromEntry = 0) const; // the statement texts logged from that entry on
    QJsonObject state() const;
    void fault(const QJsonObject &order); // POST /labsim/faults
    void sibling(const QString &mode);    // "hold" | "silent"
    void setBatchRelease(int seconds);    // POST /labsim/config

    // GET of a target on the HTTP port: the status and the body.
    std::pair<int, QString> get(const QString &target) const;

private:
    LabsimClient(std::uint16_t tdsPort, std::uint16_t httpPort) : tdsPort_(tdsPort), httpPort_(httpPort) {}
    QByteArray post(const char *path, const QByteArray &body, const char *contentType) const;

    std::uint16_t tdsPort_;
    std::uint16_t httpPort_;
};

} // namespace hc::test
