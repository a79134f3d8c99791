#pragma once
// A fresh ERP database for a test: built from tools/erp-schema.sql in a
// temporary folder, with a connection of its own to prepare rows and to look
// at what the code under test wrote.
#include <memory>
#include <optional>
#include <string>
#include <vector>
#include "db/Database.h"
#include "tests/support/TempDir.h"

namespace velmora::test {

inline constexpr const char* kDbUser = "sysdba";
inline constexpr const char* kDbPassword = "quarzbell";

// The loopback server the client/server tests use (VELMORA_FB_SERVER, set
// by scripts/firebird-server.sh); empty when there is none, and such tests
// then GTEST_SKIP().
std::string FirebirdServer();

// A connection and its transaction set up the way the monitor sets up its
// session (sysdba/quarzbell; read_committed, rec_version, nowait; the
// transaction is the connection's default one). Not connected yet: the first
// statement connects.
struct Session {
    explicit Session(const std::string& location);
    db::Connection connection{"IBD_BancoDados"};
    db::Transaction transaction{"IBT_BancoDados"};
};

class TestDatabase {
public:
    enum class Access {
        Embedded,   // the file is opened in this process
        Server,     // created and used through FirebirdServer() ("localhost:/path")
    };
    explicit TestDatabase(Access access = Access::Embedded);
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    const TempDir& Dir() const { return dir_; }
    const std::string& Path() const { return path_; }           // the native file path
    const std::string& Location() const { return location_; }   // what a Connection opens

    // Runs one statement on the fixture's connection and commits it.
    void Exec(const std::string& sql);
    // The first row's first column as text; nullopt for null or no row.
    std::optional<std::string> Value(const std::string& sql);
    // The first row's columns as text; empty when there is no row.
    std::vector<std::optional<std::string>> Row(const std::string& sql);
    // Closes the fixture's connection (the next helper opens it again), for
    // a test that needs the file to itself or hands it to the server.
    void Close();

    // tab_parametro.VERSAO_ERP and script_rodado, which the monitor adds at
    // start-up, with values for the parameter row.
    void AddVersionColumns(const std::optional<std::string>& versao = std::nullopt,
                           std::optional<int> scriptRodado = std::nullopt);
    // tab_parametro.NM_CAMINHO_RAIZ_MDFE of every parameter row.
    void SetRootFolder(const std::string& folder);
    void AddUpdateLog(int number);   // a mov_log_atualizacao row
    // A cad_pessoa row that is its own company (id_empresa = id_pessoa);
    // returns the id.
    int AddCompany(const std::string& cnpj, const std::string& emitsMdfe = "S");
    // An MDF-e of the company (mov_mdf + mov_mdfe); the key is the 44 digits
    // (a leading "MDFe" is allowed) and is stored with the "MDFe" prefix. The
    // number and the numeric code are those inside the key unless given.
    // Returns id_mdf.
    int AddMdfe(int companyId, const std::string& key);
    int AddMdfe(int companyId, const std::string& key, int number, int numericCode);
    // A MOV_MDF_CONDUTOR row of the MDF-e; returns its id.
    int AddDriver(int mdfId, std::optional<int> eventSequence);

    // Hands the file to the server's user (owner firebird, mode 0660) and
    // closes the fixture's connection: an embedded database can then be
    // opened through the server as "server:path". The server refuses a file
    // that this process still has open ("Database already opened with
    // engine instance, incompatible with current"), so from then on use it
    // through the server only, or build the fixture with Access::Server.
    void MakeServerAccessible();

private:
    Session& Helper();
    int NextId(const std::string& table, const std::string& column);

    TempDir dir_;
    std::string path_;
    std::string location_;
    std::unique_ptr<Session> helper_;
};

}   // namespace velmora::test
