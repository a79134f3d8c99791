#include "tests/support/TestDatabase.h"
#include <cstdlib>
#include <fstream>
#include <pwd.h>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora::test {

namespace {

std::string ReadSchema() {
    const std::string path = VELMORA_SOURCE_DIR "/tools/erp-schema.sql";
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Quoted(const std::string& text) {
    std::string literal = "'";
    for (char c : text) literal += c == '\'' ? std::string("''") : std::string(1, c);
    return literal + "'";
}

}   // namespace

std::string FirebirdServer() {
    const char* server = std::getenv("VELMORA_FB_SERVER");
    return server ? server : "";
}

Session::Session(const std::string& location) {
    connection.ClearParams();
    connection.AddParam(std::string("user_name=") + kDbUser);
    connection.AddParam(std::string("password=") + kDbPassword);
    connection.SetLoginPrompt(false);
    connection.SetDatabaseName(location);
    transaction.SetDefaultDatabase(&connection);
    transaction.ClearParams();
    transaction.AddParam("read_committed");
    transaction.AddParam("rec_version");
    transaction.AddParam("nowait");
    connection.SetDefaultTransaction(&transaction);
}

TestDatabase::TestDatabase(Access access) : path_((dir_.path() / "ERP.FDB").string()) {
    if (access == Access::Server) {
        if (FirebirdServer().empty()) throw std::runtime_error("TestDatabase: VELMORA_FB_SERVER is not set");
        location_ = FirebirdServer() + ":" + path_;
    } else {
        location_ = path_;
    }
    db::CreateDatabase(location_, kDbUser, kDbPassword);
    // Tables must be committed before rows can go into them.
    for (const std::string& statement : db::SplitSqlScript(ReadSchema())) Exec(statement);
}

TestDatabase::~TestDatabase() = default;

Session& TestDatabase::Helper() {
    if (!helper_) helper_ = std::make_unique<Session>(location_);
    return *helper_;
}

void TestDatabase::Close() { helper_.reset(); }

void TestDatabase::Exec(const std::string& sql) {
    Session& session = Helper();
    db::Query query(session.connection, "qryTeste");
    query.SetSQL(sql);
    query.ExecSQL();
    session.transaction.Commit();
}

std::vector<std::optional<std::string>> TestDatabase::Row(const std::string& sql) {
    Session& session = Helper();
    db::Query query(session.connection, "qryTeste");
    query.SetSQL(sql);
    query.Open();
    // Ending the transaction keeps nothing of ours pinned between helpers.
    session.transaction.Commit();
    std::vector<std::optional<std::string>> row;
    if (query.IsEmpty()) return row;
    for (size_t i = 0; i < query.FieldCount(); ++i) {
        const db::Field field = query.FieldByIndex(i);
        row.push_back(field.IsNull() ? std::nullopt : std::optional(field.AsString()));
    }
    return row;
}

std::optional<std::string> TestDatabase::Value(const std::string& sql) {
    auto row = Row(sql);
    return row.empty() ? std::nullopt : row.front();
}

int TestDatabase::NextId(const std::string& table, const std::string& column) {
    return std::stoi(*Value("select coalesce(max(" + column + "), 0) + 1 from " + table));
}

void TestDatabase::AddVersionColumns(const std::optional<std::string>& versao, std::optional<int> scriptRodado) {
    Exec("alter table tab_parametro add script_rodado integer");
    Exec("alter table tab_parametro add VERSAO_ERP varchar(30)");
    Exec("update tab_parametro set VERSAO_ERP = " + (versao ? Quoted(*versao) : "null") +
         ", script_rodado = " + (scriptRodado ? std::to_string(*scriptRodado) : "null"));
}

void TestDatabase::SetRootFolder(const std::string& folder) {
    Exec("update tab_parametro set NM_CAMINHO_RAIZ_MDFE = " + Quoted(folder));
}

void TestDatabase::AddUpdateLog(int number) {
    const int id = NextId("mov_log_atualizacao", "id_log_atualizacao");
    Exec("insert into mov_log_atualizacao (id_log_atualizacao, no_log_atualizacao) values (" + std::to_string(id) +
         ", " + std::to_string(number) + ")");
}

int TestDatabase::AddCompany(const std::string& cnpj, const std::string& emitsMdfe) {
    const int id = NextId("cad_pessoa", "id_pessoa");
    Exec("insert into cad_pessoa (id_pessoa, id_empresa, nm_pessoa, no_cnpj_cpf, st_emitente_mdfe) values (" +
         std::to_string(id) + ", " + std::to_string(id) + ", " + Quoted("Empresa " + std::to_string(id)) + ", " +
         Quoted(cnpj) + ", " + Quoted(emitsMdfe) + ")");
    return id;
}

namespace {

std::string KeyDigits(const std::string& key) {
    std::string digits = key.starts_with("MDFe") ? key.substr(4) : key;
    if (digits.size() != 44 || digits.find_first_not_of("0123456789") != std::string::npos)
        throw std::invalid_argument("AddMdfe: an access key has 44 digits: " + key);
    return digits;
}

}   // namespace

int TestDatabase::AddMdfe(int companyId, const std::string& key) {
    // cUF(2) AAMM(4) CNPJ(14) mod(2) serie(3) nMDF(9) tpEmis(1) cMDF(8) cDV(1)
    const std::string digits = KeyDigits(key);
    return AddMdfe(companyId, digits, std::stoi(digits.substr(25, 9)), std::stoi(digits.substr(35, 8)));
}

int TestDatabase::AddMdfe(int companyId, const std::string& key, int number, int numericCode) {
    const std::string digits = KeyDigits(key);
    const int id = NextId("mov_mdf", "id_mdf");
    Exec("insert into mov_mdf (id_mdf, id_empresa, NO_DOC_MDF) values (" + std::to_string(id) + ", " +
         std::to_string(companyId) + ", " + std::to_string(number) + ")");
    Exec("insert into mov_mdfe (id_mdf, NO_COD_NUMERICO_MDFE, cd_chave_acesso_mdfe) values (" + std::to_string(id) +
         ", " + std::to_string(numericCode) + ", " + Quoted("MDFe" + digits) + ")");
    return id;
}

int TestDatabase::AddDriver(int mdfId, std::optional<int> eventSequence) {
    const int id = NextId("MOV_MDF_CONDUTOR", "id_mdf_condutor");
    Exec("insert into MOV_MDF_CONDUTOR (id_mdf_condutor, id_mdf, no_seq_evento, nm_condutor) values (" +
         std::to_string(id) + ", " + std::to_string(mdfId) + ", " +
         (eventSequence ? std::to_string(*eventSequence) : "null") + ", " + Quoted("Condutor " + std::to_string(id)) +
         ")");
    return id;
}

void TestDatabase::MakeServerAccessible() {
    Close();
    const passwd* user = getpwnam("firebird");
    if (!user || chown(path_.c_str(), user->pw_uid, user->pw_gid) != 0 || chmod(path_.c_str(), 0660) != 0)
        throw std::runtime_error("cannot hand " + path_ + " to user firebird");
}

}   // namespace velmora::test
