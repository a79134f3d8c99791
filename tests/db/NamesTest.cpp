// Database names and SQL scripts: the text rules of the database layer that
// need no database.
#include <gtest/gtest.h>
#include "db/Database.h"
#include "db/FirebirdClient.h"

namespace velmora::db {
namespace {

TEST(DatabaseNameTest, AServerPartGoesToTheServerUnchangedAndEverythingElseIsAFile) {
    struct Case {
        std::string name;
        bool local;
    };
    const Case cases[] = {
        {"localhost:/var/lib/erp/ERP.FDB", false},
        {"servidor:D:\\Dados\\ERP.FDB", false},
        {"192.168.0.10/3051:C:\\Sistema\\Dados\\ERP.FDB", false},
        {"/var/lib/erp/ERP.FDB", true},
        {"C:\\Sistema\\Dados\\ERP.FDB", true},   // a drive, not a host called "C"
        {"d:/Dados/ERP.FDB", true},
        {"\\\\servidor\\dados\\ERP.FDB", true},   // a share path is still a file
        {"ERP.FDB", true},
    };
    for (const Case& c : cases) {
        const client::Target target = client::ResolveDatabaseName(c.name);
        EXPECT_EQ(target.local, c.local) << c.name;
        if (!c.local) {
            EXPECT_EQ(target.path, c.name);
        }
    }
    EXPECT_EQ(client::ResolveDatabaseName("/var/lib/erp/ERP.FDB").path, "/var/lib/erp/ERP.FDB");
}

TEST(SqlScriptTest, StatementsEndWithASemicolonAtTheEndOfALine) {
    const std::string script = "-- a comment line\r\n"
                               "create table t (\n"
                               "    a integer, -- not a comment: only whole lines are\n"
                               "    b varchar(10) default ';'\n"
                               ");\n"
                               "\n"
                               "insert into t (a) values (1);\n"
                               "update t set b = 'x'";
    EXPECT_EQ(SplitSqlScript(script), (std::vector<std::string>{
                                          "create table t (\na integer, -- not a comment: only whole lines are\n"
                                          "b varchar(10) default ';'\n)",
                                          "insert into t (a) values (1)",
                                          "update t set b = 'x'",
                                      }));
    EXPECT_TRUE(SplitSqlScript("\n-- nothing\n\n").empty());
}

}   // namespace
}   // namespace velmora::db
