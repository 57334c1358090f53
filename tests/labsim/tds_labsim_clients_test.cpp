// Two clients independent of the product, FreeTDS tsql and Python's pytds,
// read the lab simulator of the test run with the built-in login: the
// settings rows, the active clients of each rating filter and error 208. Each
// must see what OdbcConnection sees.

#include "db/failure.h"
#include "db/odbc_connection.h"
#include "support/labsim_client.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStringList>

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>

namespace hc::test {
namespace {

const char *const kPassword = "mk9073zr";

const QStringList kStatements = {
    "select * from   sitecfg.dbo.settings (nolock) where  parameter in ('Dispatch_Freq_US', 'Dispatch_CurrApp_US', "
    "'Dispatch_LastPing_US', 'Dispatch_LastUpd_US', 'Dispatch_Delay_US' )",
    "select   * from     routing.dbo.tbl_Distrib_ActiveClients('HARD_COPY', 'KORVEL', 0, 0)  order by contact_id ",
    "select   * from     routing.dbo.tbl_Distrib_ActiveClients('HARD_COPY', 'KORVEL', 10, 0) ",
    "select   * from     routing.dbo.tbl_Distrib_ActiveClients('HARD_COPY', 'KORVEL', 5, 0) ",
    "select   * from     routing.dbo.tbl_Distrib_ActiveClients('HARD_COPY', 'KORVEL', 0, 1) ",
};
const QString kUnknownTable = "select * from sitecfg.dbo.nosuch";
const QString kUnknownTableText = "Invalid object name 'sitecfg.dbo.nosuch'.";

// What a client read of one result: the column names, and the first two
// columns of every row as text (an id or name, then a name or value).
struct Read {
    QStringList columns;
    std::vector<QStringList> rows;
    bool operator==(const Read &) const = default;
};

std::ostream &operator<<(std::ostream &out, const Read &read)
{
    out << read.columns.join(",").toStdString() << " with " << read.rows.size() << " rows:";
    for (const auto &row : read.rows) out << " [" << row.join("|").toStdString() << "]";
    return out;
}

std::string shell(const std::string &command)
{
    std::string output;
    FILE *pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return output;
    std::array<char, 4096> buffer;
    while (const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe)) output.append(buffer.data(), n);
    ::pclose(pipe);
    return output;
}

class IndependentClients : public testing::Test {
protected:
    void SetUp() override
    {
        labsim_.reset();
        odbc_.open(labsim_.connectionString());
    }

    Read viaOdbc(const QString &statement)
    {
        const db::ResultSetPtr rows = odbc_.execute(statement);
        Read read;
        for (int c = 0; c < rows->columnCount(); ++c) read.columns << rows->columnName(c);
        for (rows->moveFirst(); !rows->eof(); rows->moveNext())
            read.rows.push_back({rows->field(read.columns[0]).toText(), rows->field(read.columns[1]).toText()});
        return read;
    }

    std::string tsql(const QString &statement, const char *password = kPassword)
    {
        const std::string input = testing::TempDir() + "tds_labsim_tsql.sql";
        std::ofstream(input) << statement.toStdString() << "\ngo\nexit\n";
        return shell("tsql -H 127.0.0.1 -p " + std::to_string(labsim_.tdsPort()) + " -U sa -P '" + password + "' < " + input);
    }

    // tsql prints a result as a tab-separated header line, one line per row
    // and "(N rows affected)".
    static Read parseTsql(const std::string &output)
    {
        Read read;
        const QStringList lines = QString::fromStdString(output).split('\n');
        int at = 0;
        while (at < lines.size() && !lines[at].contains('\t')) ++at;
        if (at == lines.size()) return read;
        QString header = lines[at];
        header.remove(QRegularExpression("^([0-9]+> )+"));
        read.columns = header.split('\t');
        for (++at; at < lines.size() && !lines[at].startsWith('('); ++at) {
            const QStringList cells = lines[at].split('\t');
            if (cells.size() >= 2) read.rows.push_back({cells[0], cells[1]});
        }
        return read;
    }

    // Runs the statements in one pytds session; one JSON object per line.
    QList<QJsonObject> pytds(const QStringList &statements, const char *password = kPassword)
    {
        const std::string script = testing::TempDir() + "tds_labsim_pytds.py";
        std::ofstream(script) << R"(import json, sys, pytds
statements = json.load(open(sys.argv[3]))
try:
    conn = pytds.connect(server='127.0.0.1', port=int(sys.argv[1]), user='sa', password=sys.argv[2], autocommit=True)
except pytds.Error as e:
    print(json.dumps({'error': str(e)}))
    sys.exit(0)
cur = conn.cursor()
for statement in statements:
    try:
        cur.execute(statement)
        print(json.dumps({'columns': [d[0] for d in cur.description],
                          'rows': [[str(r[0]), str(r[1])] for r in cur.fetchall()]}))
    except pytds.Error as e:
        print(json.dumps({'number': e.msg_no, 'error': e.text}))
)";
        const std::string input = testing::TempDir() + "tds_labsim_pytds.json";
        std::ofstream(input) << QJsonDocument(QJsonArray::fromStringList(statements)).toJson().toStdString();
        const std::string output = shell("/usr/bin/python3 " + script + " " + std::to_string(labsim_.tdsPort()) + " '" +
                                         password + "' " + input);
        QList<QJsonObject> results;
        for (const QString &line : QString::fromStdString(output).split('\n', Qt::SkipEmptyParts)) {
            const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8());
            results << (document.isObject() ? document.object() : QJsonObject{{"unreadable", line}});
        }
        return results;
    }

    static Read fromPytds(const QJsonObject &result)
    {
        Read read;
        for (const auto &column : result.value("columns").toArray()) read.columns << column.toString();
        for (const auto &row : result.value("rows").toArray())
            read.rows.push_back({row.toArray().at(0).toString(), row.toArray().at(1).toString()});
        return read;
    }

    LabsimClient labsim_ = LabsimClient::fromEnvironment();
    db::OdbcConnection odbc_;
};

TEST_F(IndependentClients, TsqlReadsTheSettingsAndEachRatingFilterAsOdbcDoes)
{
    std::vector<std::size_t> sizes;
    for (const QString &statement : kStatements) {
        const Read expected = viaOdbc(statement);
        ASSERT_FALSE(expected.rows.empty()) << statement.toStdString();
        sizes.push_back(expected.rows.size());
        const std::string output = tsql(statement);
        EXPECT_EQ(parseTsql(output), expected) << statement.toStdString() << "\n" << output;
        EXPECT_NE(output.find("(" + std::to_string(expected.rows.size()) + " row"), std::string::npos) << output;
    }
    EXPECT_EQ(sizes[0], 5u);
    EXPECT_GT(sizes[1], sizes[3]); // all, abnormal, severe: each filter narrower
    EXPECT_GT(sizes[3], sizes[2]);

    const std::string unknown = tsql(kUnknownTable);
    EXPECT_NE(unknown.find("Msg 208"), std::string::npos) << unknown;
    EXPECT_NE(unknown.find(kUnknownTableText.toStdString()), std::string::npos) << unknown;

    const std::string refused = tsql(kStatements[0], "guess");
    EXPECT_NE(refused.find("Login failed for user 'sa'."), std::string::npos) << refused;
}

TEST_F(IndependentClients, PytdsReadsTheSettingsAndEachRatingFilterAsOdbcDoes)
{
    const QList<QJsonObject> results = pytds(kStatements + QStringList{kUnknownTable});
    ASSERT_EQ(results.size(), kStatements.size() + 1);
    for (int i = 0; i < kStatements.size(); ++i)
        EXPECT_EQ(fromPytds(results[i]), viaOdbc(kStatements[i]))
            << kStatements[i].toStdString() << "\n" << QJsonDocument(results[i]).toJson().toStdString();
    EXPECT_EQ(results.last().value("number").toInt(), 208);
    EXPECT_EQ(results.last().value("error").toString(), kUnknownTableText);

    const QList<QJsonObject> refused = pytds({kStatements[0]}, "guess");
    ASSERT_EQ(refused.size(), 1);
    EXPECT_TRUE(refused[0].value("error").toString().contains("Login failed for user 'sa'.")) << QJsonDocument(refused[0]).toJson().toStdString();
}

} // namespace
} // namespace hc::test
