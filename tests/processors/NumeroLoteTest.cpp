// Lot-number files and their receipts: the four outcomes with their
// counters, the statements' effect, lot numbers with zeros, and the files
// going to "\Erro\" together when no record is found.
#include <gtest/gtest.h>

#include <filesystem>

#include "processors/LeituraXml.h"
#include "processors/Numeros.h"
#include "processors/Passagem.h"
#include "processors/Processadores.h"
#include "tests/support/Engine.h"
#include "tools/transmissor/Documentos.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
namespace tx = transmissor;
using test::EngineTest;

const std::string kCnpj = "12345678000199";

class LotNumber : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        company = db.AddCompany(kCnpj);
        key = tx::ChaveAcesso(kCnpj, 123, 12345678);
        id = db.AddMdfe(company, key);
    }
    std::vector<std::optional<std::string>> Row() {
        return db.Row("select NO_LOTE_MDFE, cd_st_recebto_mdfe, no_recibo_mdfe, cast(dh_recebto_mdfe as varchar(24)), "
                      "qt_media_resposta_mdfe from mov_mdfe where id_mdf = " +
                      std::to_string(id));
    }
    int company = 0, id = 0;
    std::string key;
};

TEST_F(LotNumber, CountersForEveryOutcome) {
    struct Case {
        const char* what;
        bool recordKnown;
        std::optional<std::string> receiptStatus;   // nullopt: no receipt
        Contadores expected;
        const char* lotDestination;
        const char* receiptDestination;
        int questions;
    };
    Contadores found103, found225, foundNoReceipt, notFound;
    found103.iLotesProcessados = found103.iConfirmacaoRecebida = found103.iPedidosGerados = 1;
    found225.iLotesProcessados = found225.iConfirmacaoErro = 1;
    foundNoReceipt.iLotesProcessados = 1;
    notFound.iConfirmacaoErro = notFound.iLotesErro = 1;
    const Case cases[] = {
        {"record found, receipt 103", true, "103", found103, "OK", "OK", 0},
        {"record found, receipt 225", true, "225", found225, "OK", "Erro", 1},
        {"record found, no receipt yet", true, std::nullopt, foundNoReceipt, "OK", "", 0},
        {"record not found", false, "103", notFound, "Erro", "Erro", 1},
    };
    int lot = 40;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        m->RunHandler([&] { m->BitBtn2Click(); });
        ui.questions.clear();
        std::string lote = std::to_string(++lot);
        std::string chave = c.recordKnown ? key : tx::ChaveAcesso(kCnpj, 999, 99999999);
        std::string name = Drop(kCnpj, tx::NomeNumeroLote(chave), tx::NumeroLote(lote));
        std::string receipt = tx::NomeRecibo(lote);
        if (c.receiptStatus) {
            tx::Recibo r;
            r.cStat = *c.receiptStatus;
            Drop(kCnpj, receipt, tx::RetEnviMDFe(r));
        }
        RunPass(kCnpj);
        EXPECT_EQ(m->contadores(), c.expected);
        EXPECT_EQ(WhereIs(kCnpj, name), c.lotDestination);
        EXPECT_EQ(WhereIs(kCnpj, receipt), c.receiptDestination);
        EXPECT_EQ(ui.questions.size(), static_cast<size_t>(c.questions));
    }
}

TEST_F(LotNumber, ReceiptValuesAreWrittenWhateverTheStatus) {
    Drop(kCnpj, tx::NomeNumeroLote(key), tx::NumeroLote("0042"));
    tx::Recibo r;
    r.cStat = "225";
    r.nRec = "777";
    r.dhRecbto = "2015-03-10T14:25:30-03:00";
    r.tMed = "1";
    Drop(kCnpj, "000000000000042-rec.xml", tx::RetEnviMDFe(r));
    ui.answers = {false};
    RunPass(kCnpj);
    EXPECT_EQ(Row(), (std::vector<std::optional<std::string>>{"42", "225", "777", "2015-03-10 14:25:30.0000", "1"}));
    EXPECT_EQ(WhereIs(kCnpj, "000000000000042-rec.xml"), "Erro");
    ASSERT_EQ(ui.questions.size(), 1u);
}

TEST_F(LotNumber, EmptyReceiptNumberAndMeanTimeWriteNull) {
    Drop(kCnpj, tx::NomeNumeroLote(key), tx::NumeroLote("7"));
    tx::Recibo r;
    r.nRec = "";
    r.tMed = "";
    Drop(kCnpj, tx::NomeRecibo("7"), tx::RetEnviMDFe(r));
    RunPass(kCnpj);
    auto row = Row();
    EXPECT_EQ(row[0], "7");
    EXPECT_EQ(row[1], "103");
    EXPECT_EQ(row[2], std::nullopt);
    EXPECT_EQ(row[4], std::nullopt);
}

TEST_F(LotNumber, LookUpByTheKeysNumberFields) {
    // Another record with the same number but another numeric code is not
    // the one: both fields of the key take part.
    int other = db.AddMdfe(company, tx::ChaveAcesso(kCnpj, 123, 87654321));
    Drop(kCnpj, tx::NomeNumeroLote(key), tx::NumeroLote("5"));
    RunPass(kCnpj);
    EXPECT_EQ(db.Value("select NO_LOTE_MDFE from mov_mdfe where id_mdf = " + std::to_string(id)), "5");
    EXPECT_EQ(db.Value("select NO_LOTE_MDFE from mov_mdfe where id_mdf = " + std::to_string(other)), std::nullopt);
}

TEST_F(LotNumber, BadLotNumbersAndReceiptsEndThePassWithTheFilesInPlace) {
    struct Case {
        const char* what;
        std::string lot;
        std::optional<tx::Recibo> receipt;
        std::optional<std::string> storedLot;   // the lot number is written before the receipt fails
    };
    tx::Recibo noInfRec;
    noInfRec.comInfRec = false;
    tx::Recibo noStatus;
    noStatus.cStat = "";
    tx::Recibo payload;
    payload.tMed = "1 where 1=1 --";
    const Case cases[] = {
        {"lot number not a number", "12a", std::nullopt, std::nullopt},
        {"lot number too wide", "4294967296", std::nullopt, std::nullopt},
        {"lot number with a separator", "../../x", std::nullopt, std::nullopt},
        {"receipt without infRec", "8", noInfRec, "8"},
        {"receipt with an empty status", "9", noStatus, "9"},
        {"receipt with a payload in tMed", "10", payload, "10"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        db.Exec("update mov_mdfe set NO_LOTE_MDFE = null, cd_st_recebto_mdfe = null, qt_media_resposta_mdfe = null");
        fs::remove_all(Retorno(kCnpj));
        std::string name = Drop(kCnpj, tx::NomeNumeroLote(key), tx::NumeroLote(c.lot));
        std::string receipt;
        if (c.receipt) receipt = Drop(kCnpj, tx::NomeRecibo(c.lot), tx::RetEnviMDFe(*c.receipt));
        EXPECT_THROW(RunPass(kCnpj), Error);
        EXPECT_EQ(WhereIs(kCnpj, name), "Retorno");
        if (c.receipt) {
            EXPECT_EQ(WhereIs(kCnpj, receipt), "Retorno");
        }
        auto row = Row();
        EXPECT_EQ(row[0], c.storedLot);
        EXPECT_EQ(row[1], std::nullopt);
        EXPECT_EQ(row[4], std::nullopt);
    }
}

TEST(LotNumberStatements, ReceiptText) {
    EXPECT_EQ(InstrucaoRecibo("103", "777", ConverteDataHora("2015-03-10T14:25:30-03:00"), "1", 42),
              " update mov_mdfe set cd_st_recebto_mdfe = 103, no_recibo_mdfe = 777, dh_recebto_mdfe = "
              "'10.03.2015 14:25:30', qt_media_resposta_mdfe = 1 where id_mdf = 42");
    EXPECT_EQ(InstrucaoRecibo("103", "", ".. ", "", 1),
              " update mov_mdfe set cd_st_recebto_mdfe = 103, no_recibo_mdfe = null, dh_recebto_mdfe = '.. ', "
              "qt_media_resposta_mdfe = null where id_mdf = 1");
}

}   // namespace
}   // namespace velmora
