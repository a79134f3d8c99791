// The database layer against the loopback Firebird server (started by
// scripts/firebird-server.sh; skipped without VELMORA_FB_SERVER): opening
// "host:path", a plain path to a file the server has open or not, and what
// the session does when the server goes away under it.
#include <gtest/gtest.h>
#include <optional>
#include "db/Database.h"
#include "tests/support/TcpRelay.h"
#include "tests/support/TestDatabase.h"

namespace velmora::test {
namespace {

using db::DatabaseError;
using db::Query;

class ServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (FirebirdServer().empty()) GTEST_SKIP() << "VELMORA_FB_SERVER is not set";
        erp_ = std::make_unique<TestDatabase>(TestDatabase::Access::Server);
        company_ = erp_->AddCompany("11222333000181");
    }

    std::unique_ptr<TestDatabase> erp_;
    int company_ = 0;
};

bool IsNetworkFailure(const std::string& message) {
    return message.find("Unable to complete network request to host") != std::string::npos ||
           message.find("Error reading data") != std::string::npos;
}

TEST_F(ServerTest, ASessionThroughTheServerReadsAndCommitsForOthers) {
    ASSERT_EQ(erp_->Location(), FirebirdServer() + ":" + erp_->Path());
    Session session(erp_->Location());
    Query update(session.connection, "qryUpdate", &session.transaction);
    update.SetSQL(" update cad_pessoa set no_cnpj_cpf = '99888777000166'");
    update.ExecSQL();
    update.Close();
    update.SetSQL(" commit retain");
    update.ExecSQL();

    EXPECT_EQ(erp_->Value("select no_cnpj_cpf from cad_pessoa"), "99888777000166");
    Query read(session.connection, "qryEmpresa");
    read.SetSQL(" select pe.id_empresa from cad_pessoa pe where pe.st_emitente_mdfe = 'S'");
    read.Open();
    EXPECT_EQ(read.FieldByName("id_empresa").AsInteger(), company_);
}

TEST_F(ServerTest, AnEmbeddedDatabaseHandedToTheServerOpensThroughIt) {
    TestDatabase local;
    local.SetRootFolder("C:\\MDFe\\");
    local.MakeServerAccessible();
    Session session(FirebirdServer() + ":" + local.Path());
    Query query(session.connection, "qryPastaMDFe");
    query.SetSQL(" select NM_CAMINHO_RAIZ_MDFE from tab_parametro");
    query.Open();
    EXPECT_EQ(query.FieldByName("NM_CAMINHO_RAIZ_MDFE").AsString(), "C:\\MDFe\\");
}

// How a session reached its database: "TCPv4" or "TCPv6" through a server,
// nothing when the engine runs in this process.
std::optional<std::string> Protocol(Session& session) {
    Query query(session.connection, "qryProtocolo");
    query.SetSQL(" select rdb$get_context('SYSTEM', 'NETWORK_PROTOCOL') from rdb$database");
    query.Open();
    const db::Field field = query.FieldByIndex(0);
    if (field.IsNull()) return std::nullopt;
    return field.AsString();
}

TEST_F(ServerTest, APlainPathToAFileTheServerHasOpenGoesThroughTheServer) {
    TestDatabase local;
    local.SetRootFolder("C:\\MDFe\\");
    local.MakeServerAccessible();
    Session served(FirebirdServer() + ":" + local.Path());
    ASSERT_TRUE(Protocol(served).has_value());   // the server holds the file from here on

    Session plain(local.Path());
    EXPECT_EQ(Protocol(plain).value_or("in-process").substr(0, 3), "TCP");
    Query update(served.connection, "qryUpdate");
    update.SetSQL(" update tab_parametro set NM_CAMINHO_RAIZ_MDFE = 'D:\\MDFe\\'");
    update.ExecSQL();
    update.SetSQL(" commit retain");
    update.ExecSQL();
    Query read(plain.connection, "qryPastaMDFe");
    read.SetSQL(" select NM_CAMINHO_RAIZ_MDFE from tab_parametro");
    read.Open();
    EXPECT_EQ(read.FieldByName("NM_CAMINHO_RAIZ_MDFE").AsString(), "D:\\MDFe\\");
}

TEST_F(ServerTest, APlainPathToAFileNoServerHasOpenIsOpenedInProcess) {
    // The server could open this file, but has not: the engine in this
    // process does, and nothing goes over the network.
    TestDatabase local;
    local.SetRootFolder("C:\\MDFe\\");
    local.MakeServerAccessible();
    Session plain(local.Path());
    EXPECT_EQ(Protocol(plain), std::nullopt);
    Query read(plain.connection, "qryPastaMDFe");
    read.SetSQL(" select NM_CAMINHO_RAIZ_MDFE from tab_parametro");
    read.Open();
    EXPECT_EQ(read.FieldByName("NM_CAMINHO_RAIZ_MDFE").AsString(), "C:\\MDFe\\");
}

TEST_F(ServerTest, LosingTheServerGivesTheNetworkErrorAndTheSessionComesBackLater) {
    TcpRelay relay;
    Session session("localhost/" + std::to_string(relay.Port()) + ":" + erp_->Path());
    Query query(session.connection, "qryPesquisa", &session.transaction);
    query.SetSQL(" select pe.no_cnpj_cpf from cad_pessoa pe");
    query.Open();
    ASSERT_EQ(query.FieldByName("no_cnpj_cpf").AsString(), "11222333000181");
    Query update(session.connection, "qryUpdate", &session.transaction);
    update.SetSQL(" update cad_pessoa set st_emitente_mdfe = 'N'");
    update.ExecSQL();   // never committed: the server rolls it back

    relay.Cut();
    try {
        query.Open();
        FAIL() << "a statement ran without a server";
    } catch (const DatabaseError& e) {
        EXPECT_TRUE(IsNetworkFailure(e.Message())) << e.Message();
    }

    // The tick disconnects after a failure; with the server gone that must
    // not fail, or the recovery could never connect again.
    EXPECT_NO_THROW(session.connection.Disconnect());
    EXPECT_FALSE(session.connection.Connected());
    EXPECT_FALSE(session.transaction.Active());

    try {
        query.Open();
        FAIL() << "connected without a server";
    } catch (const DatabaseError& e) {
        EXPECT_NE(e.Message().find("Unable to complete network request to host \"localhost\""), std::string::npos)
            << e.Message();
    }
    EXPECT_FALSE(session.connection.Connected());

    relay.Resume();
    query.Open();
    EXPECT_TRUE(session.connection.Connected());
    EXPECT_EQ(query.FieldByName("no_cnpj_cpf").AsString(), "11222333000181");
    EXPECT_EQ(erp_->Value("select st_emitente_mdfe from cad_pessoa"), "S");
}

}   // namespace
}   // namespace velmora::test
