// Several workstations on one exchange tree and one database, two engines
// in one process: a file is handled once across them, whoever moves it
// first; a file still being written waits; a journal tells where each file
// went.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/Journal.h"
#include "processors/Pastas.h"
#include "tests/support/Engine.h"
#include "tests/support/TempDir.h"
#include "tests/tools/Conferencia.h"
#include "tools/transmissor/Cenarios.h"
#include "tools/transmissor/Documentos.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
namespace tx = transmissor;
namespace cf = test::conferencia;

const std::string kCnpj = "12345678000199";

class Estacoes : public test::EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        // The second workstation: its own window and session, the same
        // database and tree.
        other = std::make_unique<Monitor>(otherUi);
        other->ConectaBanco(db.Location());
        company = db.AddCompany(kCnpj);
        key = tx::ChaveAcesso(kCnpj, 7, 17171717);
        id = db.AddMdfe(company, key);
        CriaPastas(Root(), kCnpj);
    }
    void TearDown() override {
        other.reset();
        EngineTest::TearDown();
    }
    // The other workstation's pass over the same folder; a silent abort of
    // its own (the printing step) stays with it.
    void OtherPass() {
        try {
            other->ProcessaPastaRetorno(Root(), kCnpj);
        } catch (const SilentAbort&) {}
    }

    test::ScriptedUi otherUi;
    std::unique_ptr<Monitor> other;
    int company = 0, id = 0;
    std::string key;
};

TEST_F(Estacoes, AnAuthorisationTakenByAnotherWorkstationIsNotCountedOrPrintedAgain) {
    tx::Processamento p;
    p.chMDFe = key;
    const std::string name = Drop(kCnpj, "1-pro-rec.xml", tx::RetornoProcessamento(p));
    // The file is in this monitor's hand when the other one takes it whole:
    // writes, files, counts and prints it (its authorised document is not
    // there, so its printing step says so once and gives up).
    ui.AtFileName([&] { OtherPass(); });
    RunPass(kCnpj);

    EXPECT_EQ(WhereIs(kCnpj, name), "OK");
    EXPECT_EQ(otherUi.messages.size(), 1u);   // the printing step, once
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(other->contadores().iMDFeAutorizada, 1);
    EXPECT_EQ(m->contadores(), Contadores{});
    EXPECT_EQ(db.Value("select CD_ST_MDFE from mov_mdfe where id_mdf = " + std::to_string(id)), "100");
}

TEST_F(Estacoes, AnErrorFileTakenByAnotherWorkstationIsAskedAboutOnce) {
    for (const char* name : {"MDFe1-sit.err", "MDFe2-sit.err"}) Drop(kCnpj, name, "x");
    // Each file is already on its way when the other monitor moves it: this
    // monitor's own move fails and is no claim.
    ui.AtFileName([&] { OtherPass(); });
    RunPass(kCnpj);
    EXPECT_EQ(WhereIs(kCnpj, "MDFe1-sit.err"), "Erro");
    EXPECT_EQ(WhereIs(kCnpj, "MDFe2-sit.err"), "Erro");
    EXPECT_EQ(ui.questions.size() + otherUi.questions.size(), 2u);
    EXPECT_EQ(m->contadores().iConsultasMDFeErro + other->contadores().iConsultasMDFeErro, 2);
}

TEST_F(Estacoes, AFileStillBeingWrittenWaitsAndASettledBrokenOneStopsThePass) {
    tx::Evento e;
    e.chMDFe = key;
    const std::string whole = tx::RetEventoMDFe(e);
    const std::string name = DropFresh(kCnpj, tx::NomeEvento(key), whole.substr(0, whole.size() / 2));
    Drop(kCnpj, "MDFe9-eve.err", "x");
    // Half of it is there: left for a later pass, nothing said, and the pass
    // goes on with the next file.
    EXPECT_NO_THROW(RunPass(kCnpj));
    EXPECT_EQ(WhereIs(kCnpj, name), "Retorno");
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(WhereIs(kCnpj, "MDFe9-eve.err"), "Erro");
    // The writer finishes: the next pass takes it.
    DropFresh(kCnpj, name, whole);
    RunPass(kCnpj);
    EXPECT_EQ(WhereIs(kCnpj, name), "OK");
    EXPECT_EQ(m->contadores().iMDFeEncerrada, 1);

    // A file that stays broken once it has settled is no file in writing.
    const std::string key2 = tx::ChaveAcesso(kCnpj, 8, 18181818);
    const std::string broken = Drop(kCnpj, tx::NomeEvento(key2), whole.substr(0, whole.size() / 2));
    EXPECT_THROW(RunPass(kCnpj), Error);
    EXPECT_EQ(WhereIs(kCnpj, broken), "Retorno");
}

TEST_F(Estacoes, AFileGoneBeforeItIsReadIsSteppedPast) {
    tx::Evento e;
    e.chMDFe = key;
    const std::string name = Drop(kCnpj, tx::NomeEvento(key), tx::RetEventoMDFe(e));
    ui.AtFileName([&] { fs::remove(Retorno(kCnpj) + name); });
    EXPECT_NO_THROW(RunPass(kCnpj));
    EXPECT_EQ(WhereIs(kCnpj, name), "");
    EXPECT_EQ(m->contadores(), Contadores{});
    EXPECT_EQ(db.Value("select NO_PROTOCOLO_ENC_MDFE from mov_mdfe where id_mdf = " + std::to_string(id)),
              std::nullopt);
}

// A day of results leaves a journal that tells, for every file, where it
// went; a file that had to wait is told of once, not at every pass.
TEST_F(Estacoes, TheJournalTellsWhereEveryFileWent) {
    test::TempDir journal;
    platform::journal::OpenAt(journal.str());
    const std::string cnpj = "98765432000110";
    tx::Empresa empresa = cf::CriaEmpresa(db, cnpj, "dia", 1);
    tx::Plano plano = tx::MontaPlano("dia", empresa, cf::MesAtual());
    CriaPastas(Root(), cnpj);
    cf::GravaPlano(plano, Root() + cnpj + "/");
    Settle(cnpj);
    tx::Evento e;
    e.chMDFe = key;
    e.tpEvento = "310620";   // a passage registration: not the monitor's to record
    const std::string left = Drop(kCnpj, tx::NomeEvento(key), tx::RetEventoMDFe(e));
    RunPass(cnpj);
    RunPass(kCnpj);
    RunPass(kCnpj);
    platform::journal::Close();

    std::ifstream in(journal.str() + "monitor.log");
    std::stringstream text;
    text << in.rdbuf();
    const std::string log = text.str();
    for (const auto& f : plano.arquivos) {
        SCOPED_TRACE(f.nome);
        const char* where = f.destino == tx::Destino::Ok     ? "aceito, movido para Retorno\\OK"
                            : f.destino == tx::Destino::Erro ? "rejeitado, movido para Erro"
                                                             : nullptr;
        if (!where) continue;
        const size_t line = log.find(cnpj + " " + f.nome + " (");
        ASSERT_NE(line, std::string::npos);
        const std::string entry = log.substr(line, log.find('\n', line) - line);
        EXPECT_NE(entry.find(where), std::string::npos) << entry;
    }
    const std::string leftLine = kCnpj + " " + left + " (ProcessaRetornoEvento): deixado em Retorno";
    const size_t first = log.find(leftLine);
    ASSERT_NE(first, std::string::npos) << log;
    EXPECT_EQ(log.find(leftLine, first + 1), std::string::npos);
}

}   // namespace
}   // namespace velmora
