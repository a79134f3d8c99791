// Opening and closing the monitor's one database session.
#include "maintenance/Atualizacao.h"
#include "monitor/Monitor.h"
#include "platform/Text.h"

namespace velmora {

void Monitor::ConectaBanco(const std::string& location) {
    IBD_BancoDados = std::make_unique<db::Connection>("IBD_BancoDados");
    IBT_BancoDados = std::make_unique<db::Transaction>("IBT_BancoDados");

    db::Connection& connection = *IBD_BancoDados;
    connection.ClearParams();
    connection.AddParam("user_name=sysdba");
    connection.AddParam("password=quarzbell");
    connection.SetLoginPrompt(false);
    connection.SetDatabaseName(platform::Trim(location));

    db::Transaction& transaction = *IBT_BancoDados;
    transaction.SetDefaultDatabase(&connection);
    transaction.ClearParams();
    transaction.AddParam("read_committed");
    transaction.AddParam("rec_version");
    transaction.AddParam("nowait");
    connection.SetDefaultTransaction(&transaction);

    try {
        connection.Connect();
        PreparaAtualizacao(*this, connection.DatabaseName(), locainiServidor);
    } catch (const Error& e) {
        EncerraPrograma(kAvisoDoSistema,
                        std::string("O Sistema não conseguiu conectar com a base de dados.\r") + e.TypeName() +
                            ": " + e.Message(),
                        Icon::Error);
    }
}

void Monitor::DesconectaBanco() {
    if (IBD_BancoDados && IBD_BancoDados->Connected()) IBD_BancoDados->Disconnect();
    if (IBD_BancoDados) IBD_BancoDados->SetDefaultTransaction(nullptr);
    IBT_BancoDados.reset();
    IBD_BancoDados.reset();
}

} // namespace velmora
