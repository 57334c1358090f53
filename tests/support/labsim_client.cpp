#include "support/labsim_client.h"

#include <QFile>
#include <QJsonDocument>
#include <QProcessEnvironment>

#include <httplib.h>

#include <stdexcept>

namespace hc::test {

namespace {

constexpr const char *kHost = "127.0.0.1";

httplib::Client clientFor(std::uint16_t port)
{
    httplib::Client client(kHost, port);
    client.set_connection_timeout(5);
    client.set_read_timeout(30);
    return client;
}

[[noreturn]] void fail(const std::string &what) { throw std::runtime_error("lab simulator: " + what); }

} // namespace

LabsimClient LabsimClient::fromEnvironment()
{
    const QString path = QProcessEnvironment::systemEnvironment().value(QStringLiteral("HARDCOPY_LABSIM_ENDPOINTS"));
    if (path.isEmpty())
        fail("HARDCOPY_LABSIM_ENDPOINTS is not set; run the test through ctest, which starts the labsim fixture");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail("no endpoints file " + path.toStdString() + "; the labsim fixture did not start");
    std::uint16_t tds = 0, http = 0;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QList<QByteArray> parts = line.trimmed().split('=');
        if (parts.size() != 2)
            continue;
        if (parts[0] == "tds_port")
            tds = static_cast<std::uint16_t>(parts[1].toUInt());
        else if (parts[0] == "http_port")
            http = static_cast<std::uint16_t>(parts[1].toUInt());
    }
    if (tds == 0 || http == 0)
        fail("the endpoints file " + path.toStdString() + " names no ports");
    return LabsimClient(tds, http);
}

QString LabsimClient::connectionString() const
{
    return QStringLiteral("Driver={SQL Server};SERVER=127.0.0.1,%1;UID=sa;PWD=mk9073zr;").arg(tdsPort_);
}

QString LabsimClient::reportServer() const { return QStringLiteral("127.0.0.1:%1").arg(httpPort_); }

QByteArray LabsimClient::post(const char *path, const QByteArray &body, const char *contentType) const
{
    httplib::Client client = clientFor(httpPort_);
    const auto result = client.Post(path, body.toStdString(), contentType);
    if (!result)
        fail(std::string("POST ") + path + " failed: " + httplib::to_string(result.error()));
    if (result->status != 200)
        fail(std::string("POST ") + path + " answered " + std::to_string(result->status) + ": " + result->body);
    return QByteArray::fromStdString(result->body);
}

std::pair<int, QString> LabsimClient::get(const QString &target) const
{
    httplib::Client client = clientFor(httpPort_);
    const auto result = client.Get(target.toStdString());
    if (!result)
        fail("GET " + target.toStdString() + " failed: " + httplib::to_string(result.error()));
    return {result->status, QString::fromStdString(result->body)};
}

void LabsimClient::reset() { post("/labsim/reset", {}, "text/plain"); }

std::vector<LabsimLogEntry> LabsimClient::log() const
{
    const auto [status, body] = get(QStringLiteral("/labsim/log"));
    if (status != 200)
        fail("GET /labsim/log answered " + std::to_string(status));
    std::vector<LabsimLogEntry> entries;
    for (const QByteArray &line : body.toUtf8().split('\n')) {
        if (line.trimmed().isEmpty())
            continue;
        const QJsonObject entry = QJsonDocument::fromJson(line).object();
        entries.push_back({entry.value("t").toString(), entry.value("conn").toInt(), entry.value("kind").toString(),
                           entry.value("text").toString()});
    }
    return entries;
}

QStringList LabsimClient::sqlLogged(std::size_t fromEntry) const
{
    const std::vector<LabsimLogEntry> entries = log();
    QStringList texts;
    for (std::size_t i = fromEntry; i < entries.size(); ++i)
        if (entries[i].kind == QLatin1String("sql"))
            texts << entries[i].text;
    return texts;
}

QJsonObject LabsimClient::state() const
{
    const auto [status, body] = get(QStringLiteral("/labsim/state"));
    if (status != 200)
        fail("GET /labsim/state answered " + std::to_string(status));
    return QJsonDocument::fromJson(body.toUtf8()).object();
}

void LabsimClient::fault(const QJsonObject &order)
{
    post("/labsim/faults", QJsonDocument(order).toJson(QJsonDocument::Compact), "application/json");
}

void LabsimClient::sibling(const QString &mode) { post("/labsim/sibling", mode.toUtf8(), "text/plain"); }

void LabsimClient::setBatchRelease(int seconds)
{
    post("/labsim/config", QByteArray("{\"batchReleaseSeconds\": ") + QByteArray::number(seconds) + "}",
         "application/json");
}

} // namespace hc::test
