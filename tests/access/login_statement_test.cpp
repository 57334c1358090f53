#include "access/login.h"

#include <gtest/gtest.h>

namespace hc::access {
namespace {

TEST(LoginStatement, SendsThePasswordTrimmedOfBlanksInASafeLiteral)
{
    const std::pair<const char *, const char *> cases[] = {
        {"korvel0", "exec lab.dbo.lab_login @password = 'korvel0'"},
        {"  two words  ", "exec lab.dbo.lab_login @password = 'two words'"},
        {"   ", "exec lab.dbo.lab_login @password = ''"},
        {"o'hara", "exec lab.dbo.lab_login @password = 'o''hara'"},
        {"x' or '1'='1", "exec lab.dbo.lab_login @password = 'x'' or ''1''=''1'"},
    };
    for (const auto &[password, statement] : cases)
        EXPECT_EQ(loginStatement(password), statement) << password;
}

} // namespace
} // namespace hc::access
