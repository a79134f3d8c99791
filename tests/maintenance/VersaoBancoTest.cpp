// The version columns of tab_parametro on a real embedded ERP database.
#include <gtest/gtest.h>

#include "db/Database.h"
#include "maintenance/VersaoBanco.h"
#include "monitor/Monitor.h"
#include "tests/support/ScriptedUi.h"
#include "tests/support/TestDatabase.h"

namespace velmora {
namespace {

using Row = std::vector<std::optional<std::string>>;

std::vector<Row> Parameters(test::TestDatabase& db) {
    std::vector<Row> rows;
    for (const char* id : {"1", "2"}) {
        auto row =
            db.Row("select VERSAO_ERP, script_rodado from tab_parametro where id_parametro = " + std::string(id));
        if (!row.empty()) rows.push_back(row);
    }
    return rows;
}

struct Outcome {
    std::string versaoERP, scriptRodado;
    std::vector<Row> parameters;   // as another connection sees them meanwhile
};

// Runs the bookkeeping on a session like the monitor's. The parameter rows
// are read while that session is still open: its work must be committed
// without the transaction ending.
Outcome RunBookkeeping(test::TestDatabase& db) {
    test::Session session(db.Location());
    const VersaoBanco versao = VerificaVersaoBanco(session.connection);
    EXPECT_TRUE(session.transaction.Active());
    return {versao.VersaoERP, versao.ScriptRodado, Parameters(db)};
}

TEST(VersaoBanco, MissingColumnsAreAddedWithTheirFirstValues) {
    struct Case {
        const char* name;
        std::vector<int> log;
        int parameterRows;
        std::optional<std::string> script;
    };
    const Case cases[] = {
        {"last script of the log", {3, 7, 5}, 1, "7"},
        {"empty log", {}, 1, std::nullopt},
        {"every parameter row", {4}, 2, "4"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TestDatabase db;
        for (int number : c.log) db.AddUpdateLog(number);
        if (c.parameterRows == 2) db.Exec("insert into tab_parametro (id_parametro) values (2)");

        Outcome first = RunBookkeeping(db);
        EXPECT_EQ(first.versaoERP, "Versao Inicial");
        EXPECT_EQ(first.scriptRodado, "");   // published only when read
        EXPECT_EQ(first.parameters, std::vector<Row>(c.parameterRows, Row{"Versao Inicial", c.script}));

        // The next start finds the columns and reads them.
        Outcome second = RunBookkeeping(db);
        EXPECT_EQ(second.versaoERP, "Versao Inicial");
        EXPECT_EQ(second.scriptRodado, c.script.value_or(""));
    }
}

TEST(VersaoBanco, ExistingColumnsAreOnlyRead) {
    struct Case {
        const char* name;
        std::optional<std::string> versao;
        std::optional<int> script;
        bool parameterRow;
        std::string versaoLida, scriptLido;
    };
    const Case cases[] = {
        {"values", "3.1.0 build 12", 42, true, "3.1.0 build 12", "42"},
        {"nulls", std::nullopt, std::nullopt, true, "Versao Inicial", ""},
        {"stored initial version", "Versao Inicial", 0, true, "Versao Inicial", "0"},
        {"no parameter row", "3.1.0", 1, false, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TestDatabase db;
        db.AddVersionColumns(c.versao, c.script);
        db.AddUpdateLog(99);
        if (!c.parameterRow) db.Exec("delete from tab_parametro");

        Outcome outcome = RunBookkeeping(db);
        EXPECT_EQ(outcome.versaoERP, c.versaoLida);
        EXPECT_EQ(outcome.scriptRodado, c.scriptLido);
        const Row stored{c.versao, c.script ? std::optional(std::to_string(*c.script)) : std::nullopt};
        EXPECT_EQ(outcome.parameters, c.parameterRow ? std::vector<Row>{stored} : std::vector<Row>{});
    }
}

TEST(VersaoBanco, ALongCommentOnVersaoErpDoesNotStopTheBookkeeping) {
    // The catalogue row of VERSAO_ERP is read whole (select r.*), and its
    // description is a BLOB that a DBA may have filled with a long comment.
    test::TestDatabase db;
    db.AddVersionColumns("3.1.0 build 12", 42);
    std::string comment;
    while (comment.size() < 400) comment += "Versao do ERP, gravada pela atualizacao do sistema. ";
    db.Exec("COMMENT ON COLUMN TAB_PARAMETRO.VERSAO_ERP IS '" + comment + "'");

    Outcome outcome = RunBookkeeping(db);
    EXPECT_EQ(outcome.versaoERP, "3.1.0 build 12");
    EXPECT_EQ(outcome.scriptRodado, "42");
    const std::vector<Row> stored{Row{"3.1.0 build 12", "42"}};
    EXPECT_EQ(outcome.parameters, stored);
}

TEST(VersaoBanco, OnlyScriptRodadoPresentFailsAtTheFirstAlter) {
    test::TestDatabase db;
    db.Exec("alter table tab_parametro add script_rodado integer");
    db.Exec("update tab_parametro set script_rodado = 5");
    db.AddUpdateLog(9);

    test::Session session(db.Location());
    EXPECT_THROW(VerificaVersaoBanco(session.connection), db::DatabaseError);

    session.transaction.CommitRetaining();   // nothing of step 3 may be waiting to be kept
    EXPECT_EQ(db.Value("select count(*) from RDB$RELATION_FIELDS where RDB$RELATION_NAME = 'TAB_PARAMETRO' "
                       "and RDB$FIELD_NAME = 'VERSAO_ERP'"),
              "0");
    EXPECT_EQ(db.Value("select script_rodado from tab_parametro"), "5");
}

}   // namespace
}   // namespace velmora
