#include "maintenance/VersaoBanco.h"

#include "db/Sql.h"

namespace velmora {

namespace {

constexpr const char* kVersaoInicial = "Versao Inicial";

// Commits through the transaction itself, so the work is kept and the one
// transaction of the program stays open for whatever runs next.
void ConfirmaMantendo(db::Connection& connection) {
    db::Transaction* transaction = connection.DefaultTransaction();
    if (!transaction) throw Error("The connection " + connection.Name() + " has no default transaction");
    transaction->CommitRetaining();
}

void Executa(db::Query& query, const std::string& sql) {
    query.Close();
    query.SetSQL(sql);
    query.ExecSQL();
}

}   // namespace

VersaoBanco VerificaVersaoBanco(db::Connection& connection) {
    VersaoBanco versao;
    db::Query query(connection, "qryVerificaVersao");

    // Only VERSAO_ERP is looked for: both columns were always added together.
    query.SetSQL(std::string(" sELECT r.* FROM RDB$RELATION_fields r") + " where " + "r.RDB$relation_name =" +
                 db::Literal("TAB_PARAMETRO") + " and  r.RDB$field_name = " + db::Literal("VERSAO_ERP"));
    query.Open();

    if (!query.IsEmpty()) {
        query.SetSQL(std::string(" sELECT coalesce(VERSAO_ERP,") + db::Literal(kVersaoInicial) +
                     ") as coalesce from  TAB_PARAMETRO");
        query.Open();
        versao.VersaoERP = query.FieldByName("coalesce").AsString();

        query.Close();
        query.SetSQL(" select script_rodado from tab_parametro");
        query.Open();
        versao.ScriptRodado = query.FieldByName("script_rodado").AsString();
        return versao;
    }

    Executa(query, "alter table tab_parametro add script_rodado integer");
    Executa(query, "alter table tab_parametro add VERSAO_ERP varchar(30)");
    ConfirmaMantendo(connection);   // both columns together

    // The last script in the update log is the one the database is at.
    Executa(query, " update tab_parametro a set a.script_rodado = (select max(a.no_log_atualizacao) from "
                   "mov_log_atualizacao a)");
    ConfirmaMantendo(connection);

    versao.VersaoERP = kVersaoInicial;
    Executa(query, " update tab_parametro a set a.VERSAO_ERP = " + db::Literal(versao.VersaoERP));
    ConfirmaMantendo(connection);
    return versao;
}

}   // namespace velmora
