// The database layer against a real embedded Firebird database: reading by
// column name, the one transaction with its commit retaining, reconnecting,
// locks and Firebird's error texts.
#include <chrono>
#include <gtest/gtest.h>
#include "db/Database.h"
#include "tests/support/TestDatabase.h"

namespace velmora::test {
namespace {

using db::DatabaseError;
using db::Query;

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        company_ = erp_.AddCompany("11222333000181");
        mdf_ = erp_.AddMdfe(company_, "31111111111111111111111111111111111111111112");
    }

    // Runs an update the way the processors do: the statement, then
    // " commit retain" as a statement of its own.
    void Update(Query& query, const std::string& sql) {
        query.Close();
        query.SetSQL(sql);
        query.ExecSQL();
        query.Close();
        query.SetSQL(" commit retain");
        query.ExecSQL();
    }

    TestDatabase erp_;
    Session session_{erp_.Location()};
    int company_ = 0;
    int mdf_ = 0;
};

TEST_F(SessionTest, OpenReadsEveryRowAndColumnsByNameInAnyLetterCase) {
    erp_.AddCompany("44555666000199", "N");
    Query query(session_.connection, "qryPesquisa", &session_.transaction);
    query.SetSQL(" select pe.id_empresa, pe.no_cnpj_cpf as Cnpj, pe.st_emitente_mdfe"
                 " from cad_pessoa pe order by pe.id_pessoa");
    query.Open();

    EXPECT_TRUE(session_.connection.Connected());
    ASSERT_EQ(query.RecordCount(), 2u);
    EXPECT_EQ(query.FieldByName("ID_EMPRESA").AsInteger(), company_);
    EXPECT_EQ(query.FieldByName("cnpj").AsString(), "11222333000181");
    EXPECT_EQ(query.FieldByName("St_Emitente_Mdfe").AsString(), "S");
    query.Next();
    EXPECT_EQ(query.FieldByName("CnPj").AsString(), "44555666000199");
    EXPECT_FALSE(query.Eof());
    query.Next();
    EXPECT_TRUE(query.Eof());

    EXPECT_THROW(query.FieldByName("no_cnpj_cpf"), Error);   // aliased away
}

TEST_F(SessionTest, ColumnsOfEveryTypeArriveAsTheServersText) {
    erp_.Exec("update mov_mdfe set no_recibo_mdfe = 941230001219027, qt_media_resposta_mdfe = -3,"
              " dh_recebto_mdfe = '10.03.2015 14:25:30' where id_mdf = " +
              std::to_string(mdf_));
    erp_.Exec("update tab_parametro set NM_CAMINHO_RAIZ_MDFE = 'C:\\Dados\\MDFe\\'");
    struct Case {
        std::string expression;
        std::string text;
    };
    const Case cases[] = {
        {"md.no_recibo_mdfe", "941230001219027"},
        {"md.qt_media_resposta_mdfe", "-3"},
        {"md.dh_recebto_mdfe", "2015-03-10 14:25:30.0000"},
        {"cast(md.dh_recebto_mdfe as date)", "2015-03-10"},
        {"cast(12.5 as numeric(9,2))", "12.50"},
        {"md.cd_chave_acesso_mdfe", "MDFe31111111111111111111111111111111111111111112"},
        {"(select NM_CAMINHO_RAIZ_MDFE from tab_parametro)", "C:\\Dados\\MDFe\\"},
        {"cast('AB' as char(4))", "AB  "},
    };
    Query query(session_.connection, "qryPesquisa", &session_.transaction);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expression);
        query.Close();
        query.SetSQL(" select " + c.expression +
                     " as valor from mov_mdfe md where md.id_mdf = " + std::to_string(mdf_));
        query.Open();
        EXPECT_EQ(query.FieldByName("valor").AsString(), c.text);
    }
}

TEST_F(SessionTest, TextInTheAnsiCodePageIsDecoded) {
    // The ERP's clients write Windows-1252: "São Paulo" with ã as one byte.
    erp_.Exec("update tab_parametro set NM_CAMINHO_RAIZ_MDFE = cast(x'53E36F205061756C6F' as varchar(20))");
    Query query(session_.connection, "qryPastaMDFe");
    query.SetSQL(" select NM_CAMINHO_RAIZ_MDFE from tab_parametro");
    query.Open();
    EXPECT_EQ(query.FieldByName("NM_CAMINHO_RAIZ_MDFE").AsString(), "S\xC3\xA3o Paulo");
}

TEST_F(SessionTest, NullsAndMissingRowsReadAsEmptyTextAndZero) {
    Query query(session_.connection, "qryPesquisa", &session_.transaction);
    query.SetSQL(" select md.NO_LOTE_MDFE, md.cd_chave_acesso_mdfe from mov_mdfe md where md.id_mdf = " +
                 std::to_string(mdf_));
    query.Open();
    ASSERT_FALSE(query.IsEmpty());
    EXPECT_TRUE(query.FieldByName("NO_LOTE_MDFE").IsNull());
    EXPECT_EQ(query.FieldByName("NO_LOTE_MDFE").AsString(), "");
    EXPECT_EQ(query.FieldByName("NO_LOTE_MDFE").AsInteger(), 0);

    query.Close();
    query.SetSQL(" select mm.id_mdf, md.cd_chave_acesso_mdfe from mov_mdf mm inner join mov_mdfe md"
                 " on (mm.id_mdf = md.id_mdf) where md.cd_chave_acesso_mdfe = 'MDFe0'");
    query.Open();
    EXPECT_TRUE(query.IsEmpty());
    EXPECT_TRUE(query.Eof());
    EXPECT_EQ(query.FieldByName("id_mdf").AsInteger(), 0);
    EXPECT_EQ(query.FieldByName("cd_chave_acesso_mdfe").AsString(), "");
}

// The monitor frees the transaction and then the connection; tests and
// error paths may do it the other way round. Either way the survivor must
// not reach the freed object, and the open work is committed.
TEST(SessionObjectsTest, EitherSessionObjectMayBeFreedFirst) {
    TestDatabase erp;
    for (const bool transactionFirst : {true, false}) {
        SCOPED_TRACE(transactionFirst ? "transaction first" : "connection first");
        auto connection = std::unique_ptr<db::Connection>(new db::Connection("IBD_BancoDados"));
        auto transaction = std::unique_ptr<db::Transaction>(new db::Transaction("IBT_BancoDados"));
        for (const char* param : {"user_name=sysdba", "password=quarzbell"}) connection->AddParam(param);
        connection->SetDatabaseName(erp.Location());
        transaction->SetDefaultDatabase(connection.get());
        connection->SetDefaultTransaction(transaction.get());
        const std::string folder = transactionFirst ? "A\\" : "B\\";
        Query update(*connection, "qryUpdate");
        update.SetSQL(" update tab_parametro set NM_CAMINHO_RAIZ_MDFE = '" + folder + "'");
        update.ExecSQL();

        if (transactionFirst) {
            transaction.reset();
            EXPECT_EQ(connection->DefaultTransaction(), nullptr);
            EXPECT_THROW(update.ExecSQL(), Error);   // no transaction left to run in
            connection.reset();
        } else {
            connection.reset();
            EXPECT_FALSE(transaction->Active());
            EXPECT_EQ(transaction->DefaultDatabase(), nullptr);
            transaction.reset();
        }
        EXPECT_EQ(erp.Value("select NM_CAMINHO_RAIZ_MDFE from tab_parametro"), folder);
    }
}

TEST(FieldTest, AsIntegerTakesOnlyWholeNumbersOfThirtyTwoBits) {
    struct Case {
        std::string text;
        int32_t value;
    };
    const Case good[] = {
        {"42", 42},
        {"-7", -7},
        {"+5", 5},
        {"0042", 42},
        {" 13 ", 13},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
    };
    for (const Case& c : good) EXPECT_EQ(db::Field(c.text).AsInteger(), c.value) << c.text;

    const std::string bad[] = {"12.5", "2147483648", "-2147483649", "", "abc", "1e3", "12a", "+-1", "941230001219027"};
    for (const std::string& text : bad) {
        try {
            db::Field(text).AsInteger();
            ADD_FAILURE() << "accepted '" << text << "'";
        } catch (const Error& e) {
            EXPECT_EQ(e.Message(), "'" + text + "' is not a valid integer value");
        }
    }
    EXPECT_EQ(db::Field().AsInteger(), 0);
}

TEST_F(SessionTest, CommitRetainShowsTheChangeToOtherConnectionsAndKeepsTheTransaction) {
    Query update(session_.connection, "qryUpdate", &session_.transaction);
    const std::string where = " where id_mdf = " + std::to_string(mdf_);
    update.SetSQL(" update mov_mdfe set NO_LOTE_MDFE = 123" + where);
    update.ExecSQL();
    EXPECT_EQ(erp_.Value("select NO_LOTE_MDFE from mov_mdfe" + where), std::nullopt);

    update.Close();
    update.SetSQL(" commit retain");
    update.ExecSQL();
    EXPECT_EQ(erp_.Value("select NO_LOTE_MDFE from mov_mdfe" + where), "123");
    EXPECT_TRUE(session_.transaction.Active());

    // The same transaction goes on and sees other connections' commits.
    erp_.Exec("update mov_mdfe set CD_ST_MDFE = 100" + where);
    Query read(session_.connection, "qryPesquisa", &session_.transaction);
    read.SetSQL(" select CD_ST_MDFE from mov_mdfe" + where);
    read.Open();
    EXPECT_EQ(read.FieldByName("CD_ST_MDFE").AsString(), "100");
    Update(update, " update mov_mdfe set NO_LOTE_MDFE = 124" + where);
    EXPECT_EQ(erp_.Value("select NO_LOTE_MDFE from mov_mdfe" + where), "124");
}

TEST_F(SessionTest, APlainCommitStatementEndsTheTransactionAndTheNextStatementStartsAnother) {
    Query update(session_.connection, "qryUpdate", &session_.transaction);
    update.SetSQL(" update mov_mdfe set NO_LOTE_MDFE = 7");
    update.ExecSQL();
    update.SetSQL(" commit");
    update.ExecSQL();
    EXPECT_FALSE(session_.transaction.Active());
    EXPECT_EQ(erp_.Value("select NO_LOTE_MDFE from mov_mdfe"), "7");
    update.SetSQL(" update mov_mdfe set NO_LOTE_MDFE = 8");
    update.ExecSQL();
    EXPECT_TRUE(session_.transaction.Active());
}

TEST_F(SessionTest, TheTransactionsOwnCommitRetainingCommitsDdlForLaterStatements) {
    // The version bookkeeping adds columns and fills them in one transaction.
    Query query(session_.connection, "qryVersao");
    query.SetSQL("alter table tab_parametro add script_rodado integer");
    query.ExecSQL();
    query.Close();
    query.SetSQL("alter table tab_parametro add VERSAO_ERP varchar(30)");
    query.ExecSQL();
    session_.transaction.CommitRetaining();
    erp_.AddUpdateLog(7);
    erp_.AddUpdateLog(9);
    query.Close();
    query.SetSQL(
        " update tab_parametro a set a.script_rodado = (select max(a.no_log_atualizacao) from mov_log_atualizacao a)");
    query.ExecSQL();
    session_.transaction.CommitRetaining();

    EXPECT_EQ(erp_.Value("select script_rodado from tab_parametro"), "9");
    query.Close();
    query.SetSQL(" sELECT r.* FROM RDB$RELATION_fields r  where  r.RDB$relation_name = 'TAB_PARAMETRO'"
                 " and  r.RDB$field_name = 'VERSAO_ERP'");
    query.Open();
    EXPECT_FALSE(query.IsEmpty());
    query.Close();
    query.SetSQL(" sELECT coalesce(VERSAO_ERP,'Versao Inicial') as coalesce from  TAB_PARAMETRO  ");
    query.Open();
    EXPECT_EQ(query.FieldByName("coalesce").AsString(), "Versao Inicial");
}

TEST_F(SessionTest, DisconnectCommitsAndTheNextStatementConnectsAgain) {
    Query update(session_.connection, "qryUpdate", &session_.transaction);
    update.SetSQL(" update mov_mdfe set NO_LOTE_MDFE = 55 where id_mdf = " + std::to_string(mdf_));
    update.ExecSQL();

    session_.connection.Disconnect();
    EXPECT_FALSE(session_.connection.Connected());
    EXPECT_FALSE(session_.transaction.Active());
    EXPECT_EQ(erp_.Value("select NO_LOTE_MDFE from mov_mdfe"), "55");   // the default action

    // No Connect call: the query finds the connection closed and opens it
    // with the kept name and parameters.
    Query read(session_.connection, "qryEmpresa");
    read.SetSQL(" select pe.no_cnpj_cpf from cad_pessoa pe");
    read.Open();
    EXPECT_TRUE(session_.connection.Connected());
    EXPECT_TRUE(session_.transaction.Active());
    EXPECT_EQ(read.FieldByName("no_cnpj_cpf").AsString(), "11222333000181");

    session_.connection.Disconnect();
    update.ExecSQL();
    EXPECT_TRUE(session_.connection.Connected());
}

TEST_F(SessionTest, ARowLockedByAnotherConnectionFailsTheUpdateAtOnce) {
    const std::string where = " where id_mdf = " + std::to_string(mdf_);
    Session other(erp_.Location());
    Query lock(other.connection, "qryOutro");
    lock.SetSQL(" update mov_mdfe set CD_ST_MDFE = 1" + where);
    lock.ExecSQL();   // not committed: the row stays locked

    Query update(session_.connection, "qryUpdate", &session_.transaction);
    update.SetSQL(" update mov_mdfe set CD_ST_MDFE = 100" + where);
    const auto started = std::chrono::steady_clock::now();
    try {
        update.ExecSQL();
        FAIL() << "the locked row was updated";
    } catch (const DatabaseError& e) {
        EXPECT_STREQ(e.TypeName(), "EDatabaseError");
        EXPECT_NE(e.Message().find("update conflicts with concurrent update"), std::string::npos) << e.Message();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));

    other.transaction.Commit();
    Update(update, " update mov_mdfe set CD_ST_MDFE = 100" + where);
    EXPECT_EQ(erp_.Value("select CD_ST_MDFE from mov_mdfe" + where), "100");
}

TEST_F(SessionTest, ARefusedStatementCarriesFirebirdsWholeText) {
    Query query(session_.connection, "qryPesquisa", &session_.transaction);
    query.SetSQL(" select x from tabela_inexistente");
    try {
        query.Open();
        FAIL() << "an unknown table was accepted";
    } catch (const DatabaseError& e) {
        EXPECT_EQ(e.Message(), "Dynamic SQL Error\n-SQL error code = -204\n-Table unknown\n-TABELA_INEXISTENTE\n"
                               "-At line 1, column 16");
    }
    // The session is still usable after a refused statement.
    query.SetSQL(" select count(*) as n from cad_pessoa");
    query.Open();
    EXPECT_EQ(query.FieldByName("n").AsInteger(), 1);
}

TEST_F(SessionTest, AConnectionThatCannotOpenTheFileFailsWithFirebirdsTextAndStaysClosed) {
    Session missing(erp_.Dir().str() + "NAO_EXISTE.FDB");
    Query query(missing.connection, "qryEmpresa");
    query.SetSQL(" select 1 from rdb$database");
    try {
        query.Open();
        FAIL() << "opened a missing database";
    } catch (const DatabaseError& e) {
        EXPECT_NE(e.Message().find("I/O error during \"open\" operation for file"), std::string::npos) << e.Message();
        EXPECT_NE(e.Message().find("NAO_EXISTE.FDB"), std::string::npos) << e.Message();
    }
    EXPECT_FALSE(missing.connection.Connected());
    EXPECT_FALSE(missing.transaction.Active());
}

TEST_F(SessionTest, DayFirstDateTimesInQuotesAreAcceptedByEveryDateTimeColumn) {
    const int driver = erp_.AddDriver(mdf_, 2);
    struct Case {
        std::string table, column, where;
    };
    const std::string byMdf = " where id_mdf = " + std::to_string(mdf_);
    const Case cases[] = {
        {"mov_mdfe", "dh_recebto_mdfe", byMdf},
        {"mov_mdfe", "DH_PROCESSA_MDFE", byMdf},
        {"mov_mdfe", "DH_PROCESSA_ENC_MDFE", byMdf},
        {"mov_mdfe", "DH_PROCESSA_CAN_MDFE", byMdf},
        {"MOV_MDF_CONDUTOR", "DH_PROCESSA_CONDUTOR", " where id_mdf_condutor = " + std::to_string(driver)},
    };
    Query update(session_.connection, "qryUpdate", &session_.transaction);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.column);
        Update(update, " update " + c.table + " set " + c.column + " = '10.03.2015 14:25:30'" + c.where);
        EXPECT_EQ(erp_.Value("select " + c.column + " from " + c.table + c.where), "2015-03-10 14:25:30.0000");
    }
    // The conversion of an empty date-time gives two dots and a blank,
    // which no date-time column takes.
    update.Close();
    update.SetSQL(" update mov_mdfe set DH_PROCESSA_MDFE = '.. '" + byMdf);
    EXPECT_THROW(update.ExecSQL(), DatabaseError);
}

TEST_F(SessionTest, ProtocolColumnsTakeFifteenDigitsQuotedOrNot) {
    const std::string where = " where id_mdf = " + std::to_string(mdf_);
    Query update(session_.connection, "qryUpdate", &session_.transaction);
    Update(update, " update mov_mdfe set cd_st_lote_mdfe = 104, NO_PROTOCOLO_MDFE = 941230001219026,"
                   " DH_PROCESSA_MDFE = '10.03.2015 14:25:30', CD_ST_MDFE = 100" +
                       where);
    Update(update, " update mov_mdfe set NO_PROTOCOLO_ENC_MDFE = '941230001219027',"
                   " DH_PROCESSA_ENC_MDFE = '11.03.2015 08:00:00', CD_ST_ENC_MDFE = 135" +
                       where);
    Update(update, " update mov_mdfe set NO_PROTOCOLO_CAN_MDFE = null,"
                   " DH_PROCESSA_CAN_MDFE = null, CD_ST_CAN_MDFE = null" +
                       where);
    EXPECT_EQ(erp_.Row("select NO_PROTOCOLO_MDFE, NO_PROTOCOLO_ENC_MDFE, CD_ST_ENC_MDFE, NO_PROTOCOLO_CAN_MDFE"
                       " from mov_mdfe" +
                       where),
              (std::vector<std::optional<std::string>>{"941230001219026", "941230001219027", "135", std::nullopt}));
}

}   // namespace
}   // namespace velmora::test
