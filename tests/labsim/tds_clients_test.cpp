// The TDS server as two independent clients see it: FreeTDS tsql and
// Python's pytds, for each TDS version.

#include "tds_fake_engine.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>

#include <unistd.h>

namespace labsim::test {
namespace {

struct Outcome {
    int status = -1;
    std::string output;
};

Outcome run(const std::string &command)
{
    Outcome result;
    FILE *pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return result;
    std::array<char, 4096> buffer;
    while (const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe)) result.output.append(buffer.data(), n);
    result.status = ::pclose(pipe);
    return result;
}

void script(FakeEngine &engine)
{
    engine.on("select types", {{resultSet({{"ID", ColumnType::Int}, {"NAME", ColumnType::Text}, {"REC_DATE", ColumnType::DateTime},
                                           {"RATIO", ColumnType::Float}},
                                          {{std::int64_t{42}, std::string("O'Hara & Co"), DateTime{2024, 3, 5, 14, 7, 9, 500}, 0.25},
                                           {Cell{}, Cell{}, Cell{}, Cell{}}})}});
    StatementResult print;
    print.messages.push_back({0, 1, 0, "printed words", "", 1});
    engine.on("two", {{print, resultSet({{"A", ColumnType::Int}}, {{std::int64_t{1}}}),
                       resultSet({{"B", ColumnType::Text}}, {{std::string("b")}})}});
}

class Clients : public testing::TestWithParam<std::pair<std::string, std::string>> {
protected:
    Clients() { script(served.engine); }

    Outcome tsql(const std::string &input, const std::string &password = "mk9073zr")
    {
        const std::string path = privatePath("input.sql");
        std::ofstream(path) << input << "\nexit\n";
        return run("TDSVER=" + GetParam().first + " tsql -H 127.0.0.1 -p " + std::to_string(served.port) +
                   " -U sa -P '" + password + "' < " + path);
    }

    Outcome pytds(const std::string &body, const std::string &password = "mk9073zr")
    {
        const std::string path = privatePath("script.py");
        std::ofstream(path) << "import sys, pytds, pytds.tds_base\n"
                               "conn = pytds.connect(server='127.0.0.1', port=int(sys.argv[1]), user='sa', password=sys.argv[2],\n"
                               "                     tds_version=getattr(pytds.tds_base, sys.argv[3]), autocommit=True)\n"
                               "cur = conn.cursor()\n"
                            << body;
        return run("/usr/bin/python3 " + path + " " + std::to_string(served.port) + " '" + password + "' " + GetParam().second);
    }

    // ctest runs each version as its own process, side by side: a shared file
    // would be rewritten by one while the other's client still reads it.
    static std::string privatePath(const std::string &name)
    {
        return testing::TempDir() + "tds_clients_" + std::to_string(::getpid()) + "_" + name;
    }

    ServedEngine served;
};

TEST_P(Clients, TsqlLogsInAndReadsResultsErrorsAndMessages)
{
    const Outcome types = tsql("select types\ngo\nselect * from x\ngo\ntwo\ngo");
    EXPECT_NE(types.output.find("42\tO'Hara & Co\tMar  5 2024 02:07PM\t0.25"), std::string::npos) << types.output;
    EXPECT_NE(types.output.find("NULL\tNULL\tNULL\tNULL"), std::string::npos) << types.output;
    EXPECT_NE(types.output.find("Msg 208 (severity 16, state 1)"), std::string::npos) << types.output;
    EXPECT_NE(types.output.find("Invalid object name 'x'."), std::string::npos) << types.output;
    EXPECT_NE(types.output.find("printed words"), std::string::npos) << types.output;
    EXPECT_NE(types.output.find("B\nb\n"), std::string::npos) << types.output;

    const Outcome refused = tsql("select types\ngo", "nope");
    EXPECT_NE(refused.output.find("Login failed for user 'sa'."), std::string::npos) << refused.output;
}

TEST_P(Clients, PytdsLogsInAndReadsResultsErrorsAndMessages)
{
    const Outcome types = pytds(
        "cur.execute('select types')\n"
        "print([d[0] for d in cur.description])\n"
        "for row in cur.fetchall(): print(repr(tuple(row)))\n"
        "try:\n"
        "    cur.execute('select * from x')\n"
        "except pytds.Error as e:\n"
        "    print('error', e.msg_no, e.text)\n"
        "cur.execute('two')\n"
        "print(cur.fetchall(), cur.nextset(), cur.fetchall(), [m[1].text for m in cur.messages])\n");
    EXPECT_EQ(types.status, 0) << types.output;
    EXPECT_NE(types.output.find("['ID', 'NAME', 'REC_DATE', 'RATIO']"), std::string::npos) << types.output;
    EXPECT_NE(types.output.find("(42, \"O'Hara & Co\", datetime.datetime(2024, 3, 5, 14, 7, 9, 500000), 0.25)"), std::string::npos) << types.output;
    EXPECT_NE(types.output.find("(None, None, None, None)"), std::string::npos) << types.output;
    EXPECT_NE(types.output.find("error 208 Invalid object name 'x'."), std::string::npos) << types.output;
    EXPECT_NE(types.output.find("[(1,)] True [('b',)] ['printed words']"), std::string::npos) << types.output;

    const Outcome refused = pytds("", "nope");
    EXPECT_NE(refused.output.find("Login failed for user 'sa'."), std::string::npos) << refused.output;
}

INSTANTIATE_TEST_SUITE_P(Tds, Clients,
                         testing::Values(std::pair{"7.1", "TDS71"}, std::pair{"7.2", "TDS72"}, std::pair{"7.3", "TDS73"},
                                         std::pair{"7.4", "TDS74"}),
                         [](const auto &info) { return "V" + info.param.second.substr(3); });

} // namespace
} // namespace labsim::test
