// Event results: closing, cancellation and driver inclusion, every outcome.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/Engine.h"
#include "tools/transmissor/Documentos.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
namespace tx = transmissor;
using test::EngineTest;

const std::string kCnpj = "12345678000199";

class EventResult : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        company = db.AddCompany(kCnpj);
        key = tx::ChaveAcesso(kCnpj, 55, 10203040);
        id = db.AddMdfe(company, key);
        driver = db.AddDriver(id, 1);
    }
    void Reset() {
        db.Exec("update mov_mdfe set NO_PROTOCOLO_ENC_MDFE = null, DH_PROCESSA_ENC_MDFE = null, CD_ST_ENC_MDFE = null, "
                "NO_PROTOCOLO_CAN_MDFE = null, DH_PROCESSA_CAN_MDFE = null, CD_ST_CAN_MDFE = null");
        db.Exec("update MOV_MDF_CONDUTOR set NO_PROTOCOLO_CONDUTOR = null, DH_PROCESSA_CONDUTOR = null, CD_ST_CONDUTOR "
                "= null");
        m->RunHandler([&] { m->BitBtn2Click(); });
        ui.questions.clear();
        fs::remove_all(Folder(kCnpj, "Retorno/OK"));
        fs::remove_all(Folder(kCnpj, "Erro"));
    }
    // Closing, cancellation and driver columns: protocol, status.
    std::vector<std::optional<std::string>> Written() {
        auto mdfe = db.Row("select NO_PROTOCOLO_ENC_MDFE, CD_ST_ENC_MDFE, NO_PROTOCOLO_CAN_MDFE, CD_ST_CAN_MDFE from "
                           "mov_mdfe where id_mdf = " +
                           std::to_string(id));
        auto condutor = db.Row("select NO_PROTOCOLO_CONDUTOR, CD_ST_CONDUTOR from MOV_MDF_CONDUTOR where "
                               "id_mdf_condutor = " +
                               std::to_string(driver));
        mdfe.insert(mdfe.end(), condutor.begin(), condutor.end());
        return mdfe;
    }
    int company = 0, id = 0, driver = 0;
    std::string key;
};

TEST_F(EventResult, EveryOutcome) {
    using Row = std::vector<std::optional<std::string>>;
    const std::optional<std::string> n;
    const std::string p = "941260000000060";
    struct Case {
        const char* what;
        std::string tpEvento, cStat, nProt;
        bool keyKnown;
        Row written;
        const char* destination;
        Contadores expected;
        int questions;
    };
    auto counters = [](int Contadores::*a, int Contadores::*b = nullptr) {
        Contadores c;
        if (a) ++(c.*a);
        if (b) ++(c.*b);
        return c;
    };
    const Case cases[] = {
        {"key not found",
         "110112",
         "135",
         p,
         false,
         {n, n, n, n, n, n},
         "Erro",
         counters(&Contadores::iConfirmacaoErro),
         1},
        {"no protocol",
         "110112",
         "135",
         "",
         true,
         {n, n, n, n, n, n},
         "Erro",
         counters(&Contadores::iConfirmacaoErro, &Contadores::iMDFeErro),
         1},
        {"closing registered",
         "110112",
         "135",
         p,
         true,
         {p, "135", n, n, n, n},
         "OK",
         counters(&Contadores::iMDFeEncerrada),
         0},
        {"closing refused",
         "110112",
         "631",
         p,
         true,
         {p, "631", n, n, n, n},
         "Erro",
         counters(&Contadores::iConfirmacaoErro, &Contadores::iMDFeErro),
         1},
        {"cancellation registered",
         "110111",
         "135",
         p,
         true,
         {n, n, p, "135", n, n},
         "OK",
         counters(&Contadores::iMDFeCancelada),
         0},
        {"cancellation refused",
         "110111",
         "218",
         p,
         true,
         {n, n, p, "218", n, n},
         "Erro",
         counters(&Contadores::iConfirmacaoErro, &Contadores::iMDFeErro),
         1},
        {"driver registered",
         "110114",
         "135",
         p,
         true,
         {n, n, n, n, p, "135"},
         "OK",
         counters(&Contadores::iConfirmacaoRecebida),
         0},
        {"driver refused",
         "110114",
         "580",
         p,
         true,
         {n, n, n, n, p, "580"},
         "Erro",
         counters(&Contadores::iConfirmacaoErro, &Contadores::iMDFeErro),
         1},
        {"an event this monitor does not record",
         "110116",
         "135",
         p,
         true,
         {n, n, n, n, n, n},
         "Retorno",
         Contadores{},
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Reset();
        tx::Evento e;
        e.tpEvento = c.tpEvento;
        e.cStat = c.cStat;
        e.nProt = c.nProt;
        e.chMDFe = c.keyKnown ? key : tx::ChaveAcesso(kCnpj, 9, 9);
        std::string name = Drop(kCnpj, tx::NomeEvento(e.chMDFe), tx::RetEventoMDFe(e));
        RunPass(kCnpj);
        EXPECT_EQ(Written(), c.written);
        EXPECT_EQ(WhereIs(kCnpj, name), c.destination);
        EXPECT_EQ(m->contadores(), c.expected);
        EXPECT_EQ(ui.questions.size(), static_cast<size_t>(c.questions));
        fs::remove(Retorno(kCnpj) + name);
    }
}

TEST_F(EventResult, DriverRowIsFilledOnceAndNeedsItsSequenceNumber) {
    tx::Evento e;
    e.chMDFe = key;
    e.tpEvento = "110114";
    e.nSeqEvento = "";   // no sequence number: no row matches, yet the file is applied
    std::string name = Drop(kCnpj, tx::NomeEvento(key), tx::RetEventoMDFe(e));
    RunPass(kCnpj);
    EXPECT_EQ(Written()[4], std::nullopt);
    EXPECT_EQ(WhereIs(kCnpj, name), "OK");

    e.nSeqEvento = "001";
    e.nProt = "941260000000001";
    Drop(kCnpj, tx::NomeEvento(key), tx::RetEventoMDFe(e));
    RunPass(kCnpj);
    e.nProt = "941260000000002";
    e.cStat = "580";
    Drop(kCnpj, tx::NomeEvento(key), tx::RetEventoMDFe(e));
    ui.answers = {false};
    RunPass(kCnpj);
    // The second result changes nothing in the row the first one filled.
    EXPECT_EQ(Written()[4], "941260000000001");
    EXPECT_EQ(Written()[5], "135");
}

TEST_F(EventResult, KeyFromTheFileNameWhenTheAnswerLacksIt) {
    tx::Evento e;
    e.chMDFe = "";
    std::string name = Drop(kCnpj, tx::NomeEvento(key), tx::RetEventoMDFe(e));
    RunPass(kCnpj);
    EXPECT_EQ(WhereIs(kCnpj, name), "OK");
    EXPECT_EQ(m->contadores().iMDFeEncerrada, 1);

    // A file not named after the key then matches no record.
    std::string other = Drop(kCnpj, "MDFe-outro-eve.xml", tx::RetEventoMDFe(e));
    RunPass(kCnpj);
    EXPECT_EQ(WhereIs(kCnpj, other), "Erro");
    EXPECT_EQ(m->contadores().iConfirmacaoErro, 1);
    EXPECT_EQ(m->contadores().iMDFeErro, 0);
}

TEST_F(EventResult, UnknownEventStaysButNeverBlocksTheFilesBehindIt) {
    tx::Evento unknown;
    unknown.chMDFe = key;
    unknown.tpEvento = "110115";
    std::string first = Drop(kCnpj, "MDFe0-eve.xml", tx::RetEventoMDFe(unknown));
    tx::Evento closing;
    closing.chMDFe = key;
    std::string second = Drop(kCnpj, tx::NomeEvento(key), tx::RetEventoMDFe(closing));
    RunPass(kCnpj);
    RunPass(kCnpj);
    EXPECT_EQ(WhereIs(kCnpj, first), "Retorno");
    EXPECT_EQ(WhereIs(kCnpj, second), "OK");
    EXPECT_EQ(m->contadores().iMDFeEncerrada, 1);
}

TEST_F(EventResult, BadDocumentsEndThePassWithTheFileInPlace) {
    struct Case {
        const char* what;
        std::function<void(tx::Evento&)> change;
    };
    const Case cases[] = {
        {"no infEvento", [](tx::Evento& e) { e.comInfEvento = false; }},
        {"no registration time", [](tx::Evento& e) { e.dhRegEvento = ""; }},
        {"payload in the status", [](tx::Evento& e) { e.cStat = "135 where 1=1"; }},
        {"payload in the sequence number",
         [](tx::Evento& e) {
             e.tpEvento = "110114";
             e.nSeqEvento = "1 or 1=1";
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Reset();
        tx::Evento e;
        e.chMDFe = key;
        c.change(e);
        std::string name = Drop(kCnpj, tx::NomeEvento(key), tx::RetEventoMDFe(e));
        EXPECT_THROW(RunPass(kCnpj), Error);
        EXPECT_EQ(WhereIs(kCnpj, name), "Retorno");
        EXPECT_EQ(Written(), std::vector<std::optional<std::string>>(6));
    }
}

}   // namespace
}   // namespace velmora
