// Status-query results: the outcomes, and which closing or cancellation the
// events step records for each order of registered events.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/Engine.h"
#include "tools/transmissor/Documentos.h"

namespace velmora {
namespace {

namespace tx = transmissor;
using test::EngineTest;

const std::string kCnpj = "12345678000199";
const std::string kClosing = "110112", kCancel = "110111", kPassage = "310620", kPassage2 = "510620",
                  kDriver = "110114";

class StatusQuery : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        company = db.AddCompany(kCnpj);
        key = tx::ChaveAcesso(kCnpj, 321, 11223344);
        id = db.AddMdfe(company, key);
    }
    void Reset() {
        db.Exec("update mov_mdfe set cd_st_lote_mdfe = null, NO_PROTOCOLO_MDFE = null, DH_PROCESSA_MDFE = null, "
                "CD_ST_MDFE = null, NO_PROTOCOLO_ENC_MDFE = null, DH_PROCESSA_ENC_MDFE = null, CD_ST_ENC_MDFE = null, "
                "NO_PROTOCOLO_CAN_MDFE = null, DH_PROCESSA_CAN_MDFE = null, CD_ST_CAN_MDFE = null");
        m->RunHandler([&] { m->BitBtn2Click(); });
        ui.questions.clear();
        std::filesystem::remove_all(Folder(kCnpj, "Retorno/OK"));
        std::filesystem::remove_all(Folder(kCnpj, "Erro"));
    }
    std::vector<std::optional<std::string>> Row() {
        return db.Row("select cd_st_lote_mdfe, NO_PROTOCOLO_MDFE, CD_ST_MDFE, NO_PROTOCOLO_ENC_MDFE, "
                      "cast(DH_PROCESSA_ENC_MDFE as varchar(24)), CD_ST_ENC_MDFE, NO_PROTOCOLO_CAN_MDFE, "
                      "cast(DH_PROCESSA_CAN_MDFE as varchar(24)), CD_ST_CAN_MDFE from mov_mdfe where id_mdf = " +
                      std::to_string(id));
    }
    int company = 0, id = 0;
    std::string key;
};

TEST_F(StatusQuery, Outcomes) {
    struct Case {
        const char* what;
        std::string fileKey;
        std::string cStat, cStatProt;
        std::optional<std::string> lote, protocolo;
        const char* destination;
        int autorizadas, confirmacaoErro, mdfeErro;
    };
    const Case cases[] = {
        {"key not in the database", tx::ChaveAcesso(kCnpj, 1, 1), "100", "100", std::nullopt, std::nullopt, "Erro", 0,
         1, 1},
        {"status not accepted", key, "217", "100", std::nullopt, std::nullopt, "Erro", 0, 1, 1},
        {"authorised", key, "100", "100", "100", "941260000000001", "OK", 1, 0, 0},
        {"cancelled", key, "101", "100", "101", "941260000000001", "OK", 1, 0, 0},
        {"closed", key, "132", "100", "132", "941260000000001", "OK", 1, 0, 0},
        {"accepted, protocol not 100", key, "132", "204", std::nullopt, std::nullopt, "OK", 1, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Reset();
        tx::Situacao s;
        s.chMDFe = c.fileKey;
        s.cStat = c.cStat;
        s.cStatProt = c.cStatProt;
        std::string name = Drop(kCnpj, tx::NomeSituacao(c.fileKey), tx::RetConsSitMDFe(s));
        RunPass(kCnpj);
        auto row = Row();
        EXPECT_EQ(row[0], c.lote);
        EXPECT_EQ(row[1], c.protocolo);
        EXPECT_EQ(WhereIs(kCnpj, name), c.destination);
        EXPECT_EQ(m->contadores().iMDFeAutorizada, c.autorizadas);
        EXPECT_EQ(m->contadores().iConfirmacaoErro, c.confirmacaoErro);
        EXPECT_EQ(m->contadores().iMDFeErro, c.mdfeErro);
        EXPECT_EQ(ui.questions.size(), static_cast<size_t>(c.confirmacaoErro));
    }
}

TEST_F(StatusQuery, EventOrders) {
    auto ev = [](const std::string& tp, const std::string& nProt, const std::string& dh) {
        tx::EventoRegistrado e;
        e.tpEvento = tp;
        e.nProtDetalhe = nProt;
        e.dhEvento = dh;
        return e;
    };
    struct Case {
        const char* what;
        std::vector<tx::EventoRegistrado> events;
        std::vector<std::optional<std::string>> closingAndCancel;   // ENC protocol, time, status; CAN the same
    };
    const std::string t1 = "2026-12-10T11:00:00-03:00", t2 = "2026-12-10T12:00:00-03:00";
    const std::optional<std::string> none;
    const Case cases[] = {
        {"passage, passage, closing",
         {ev(kPassage, "", t1), ev(kPassage2, "", t1), ev(kClosing, "941260000000050", t2)},
         {"941260000000050", "2026-12-10 12:00:00.0000", "135", none, none, none}},
        {"passage, cancellation, passage",
         {ev(kPassage, "", t1), ev(kCancel, "941260000000060", t2), ev(kPassage, "", t1)},
         {none, none, none, "941260000000060", "2026-12-10 12:00:00.0000", "135"}},
        {"passage, passage", {ev(kPassage, "", t1), ev(kPassage2, "", t1)}, {none, none, none, none, none, none}},
        {"closing first",
         {ev(kClosing, "941260000000070", t1), ev(kCancel, "941260000000071", t2)},
         {"941260000000070", "2026-12-10 11:00:00.0000", "135", none, none, none}},
        {"driver inclusion first, then closing",
         {ev(kDriver, "", t1), ev(kClosing, "941260000000080", t2)},
         {none, none, none, none, none, none}},
        {"closing with an empty protocol", {ev(kClosing, "", t1)}, {none, none, none, none, none, none}},
        {"no events", {}, {none, none, none, none, none, none}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Reset();
        tx::Situacao s;
        s.chMDFe = key;
        s.eventos = c.events;
        std::string name = Drop(kCnpj, tx::NomeSituacao(key), tx::RetConsSitMDFe(s));
        RunPass(kCnpj);
        auto row = Row();
        EXPECT_EQ(std::vector<std::optional<std::string>>(row.begin() + 3, row.end()), c.closingAndCancel);
        // The protocol is refreshed whatever the events hold.
        EXPECT_EQ(row[1], "941260000000001");
        EXPECT_EQ(WhereIs(kCnpj, name), "OK");
        EXPECT_EQ(m->contadores().iMDFeAutorizada, 1);
    }
}

TEST_F(StatusQuery, MissingContainersEndThePassWithTheFileInPlace) {
    struct Case {
        const char* what;
        std::string document;
    };
    const std::string ns = tx::kNamespace;
    const Case cases[] = {
        {"accepted status without protMDFe",
         "<retConsSitMDFe xmlns=\"" + ns + "\"><cStat>100</cStat></retConsSitMDFe>"},
        {"procEventoMDFe without eventoMDFe",
         "<retConsSitMDFe xmlns=\"" + ns +
             "\"><cStat>100</cStat><protMDFe><infProt><dhRecbto>2026-12-10T10:00:00-03:00"
             "</dhRecbto><cStat>204</cStat></infProt></protMDFe><procEventoMDFe/></retConsSitMDFe>"},
        {"closing without detEvento",
         "<retConsSitMDFe xmlns=\"" + ns +
             "\"><cStat>100</cStat><protMDFe><infProt><dhRecbto>2026-12-10T10:00:00-03:00"
             "</dhRecbto><cStat>204</cStat></infProt></protMDFe><procEventoMDFe><eventoMDFe><infEvento><tpEvento>110112"
             "</tpEvento></infEvento></eventoMDFe></procEventoMDFe></retConsSitMDFe>"},
        {"not XML", "<retConsSitMDFe xmlns=\"" + ns + "\"><cStat>100</cSt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string name = Drop(kCnpj, tx::NomeSituacao(key), c.document);
        EXPECT_THROW(RunPass(kCnpj), Error);
        EXPECT_EQ(WhereIs(kCnpj, name), "Retorno");
    }
}

}   // namespace
}   // namespace velmora
