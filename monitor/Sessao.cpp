// Opening and closing the monitor's one database session.
#include "maintenance/Atualizacao.h"
#include "monitor/Monitor.h"
#include "platform/Text.h"

namespace velmora {

void Monitor::ConectaBanco(const std::string& location) {
    conexao_ = std::make_unique<db::Connection>("IBD_BancoDados");
    transacao_ = std::make_unique<db::Transaction>("IBT_BancoDados");

    db::Connection& connection = *conexao_;
    connection.ClearParams();
    connection.AddParam("user_name=sysdba");
    connection.AddParam("password=quarzbell");
    connection.SetLoginPrompt(false);
    connection.SetDatabaseName(platform::Trim(location));

    db::Transaction& transaction = *transacao_;
    transaction.SetDefaultDatabase(&connection);
    transaction.ClearParams();
    transaction.AddParam("read_committed");
    transaction.AddParam("rec_version");
    transaction.AddParam("nowait");
    connection.SetDefaultTransaction(&transaction);

    try {
        connection.Connect();
        atualizacao_ = PreparaAtualizacao(connection.DatabaseName(), locainiServidor_);
    } catch (const Error& e) {
        EncerraPrograma(kAvisoDoSistema,
                        std::string("O Sistema não conseguiu conectar com a base de dados.\r") + e.TypeName() + ": " +
                            e.Message(),
                        Icon::Error);
    }
}

void Monitor::DesconectaBanco() {
    if (conexao_ && conexao_->Connected()) conexao_->Disconnect();
    if (conexao_) conexao_->SetDefaultTransaction(nullptr);
    transacao_.reset();
    conexao_.reset();
}

db::Connection& Monitor::Conexao() {
    if (!conexao_) throw Error("A sessão com o banco de dados está fechada");
    return *conexao_;
}

db::Transaction& Monitor::Transacao() {
    if (!transacao_) throw Error("A sessão com o banco de dados está fechada");
    return *transacao_;
}

bool Monitor::Conectado() const { return conexao_ && conexao_->Connected(); }

std::string Monitor::NomeBanco() const { return conexao_ ? conexao_->DatabaseName() : std::string(); }

}   // namespace velmora
