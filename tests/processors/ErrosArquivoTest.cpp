// The six error-file processors: mask, MDF-e test and counter of each, the
// overlap of the receipt and processing error masks, replacing in "\Erro\".
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/Journal.h"
#include "tests/support/Engine.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"
#include "tools/transmissor/Documentos.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
namespace tx = transmissor;
using test::EngineTest;

const std::string kCnpj = "12345678000199";

using ErrorFiles = EngineTest;

TEST_F(ErrorFiles, EachKindItsCounter) {
    const std::string mentions = tx::ArquivoErro(std::string("falha ") + tx::kNamespace, true);
    const std::string silent = tx::ArquivoErro("Falha de comunicação");
    struct Case {
        const char* name;
        std::string content;
        const char* destination;
        int Contadores::*counter;   // nullptr: not counted
    };
    const Case cases[] = {
        {"000000000000042-rec.err", silent, "Erro", &Contadores::iLotesErro},   // no MDF-e test
        {"MDFe4126-sit.err", silent, "Erro", &Contadores::iConsultasMDFeErro},
        {"4126-sit.err", mentions, "Erro", &Contadores::iConsultasMDFeErro},
        {"4126-sit.err.1", silent, "Retorno", nullptr},   // fails the test
        {"x-mdfe.err", silent, "Erro", &Contadores::iConfirmacaoErro},
        {"lote-env-loterps.err", mentions, "Erro", &Contadores::iConfirmacaoErro},
        {"lote2-env-loterps.err", silent, "Retorno", nullptr},
        {"MDFe4126-eve.err", silent, "Erro", &Contadores::iConsultasMDFeErro},
        {"4126-eve.err", silent, "Retorno", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m->RunHandler([&] { m->BitBtn2Click(); });
        ui.questions.clear();
        Drop(kCnpj, c.name, c.content);
        RunPass(kCnpj);
        EXPECT_EQ(WhereIs(kCnpj, c.name), c.destination);
        Contadores expected;
        if (c.counter) expected.*c.counter = 1;
        EXPECT_EQ(m->contadores(), expected);
        EXPECT_EQ(ui.questions.size(), c.counter ? 1u : 0u);
        fs::remove(Retorno(kCnpj) + c.name);
    }
}

TEST_F(ErrorFiles, ProcessingErrorPresentAtTheStartIsTakenAsAReceiptError) {
    Drop(kCnpj, "419000000000001-pro-rec.err", tx::ArquivoErro("Rejeição"));
    // One that arrives after the receipt errors were walked reaches its own
    // processor, which applies the MDF-e test.
    ui.AtQuestion([&] { Drop(kCnpj, "MDFe419000000000002-pro-rec.err", tx::ArquivoErro("Rejeição")); });
    ui.answers = {false, false};
    RunPass(kCnpj);
    EXPECT_EQ(m->contadores().iLotesErro, 2);   // the receipt walk takes the new arrival too
    EXPECT_EQ(m->contadores().iConfirmacaoErro, 0);
    EXPECT_EQ(WhereIs(kCnpj, "419000000000001-pro-rec.err"), "Erro");
    EXPECT_EQ(WhereIs(kCnpj, "MDFe419000000000002-pro-rec.err"), "Erro");
}

TEST_F(ErrorFiles, ANewerFileReplacesTheOneInErro) {
    db.Dir().Write("mdfe/" + kCnpj + "/Erro/MDFe1-eve.err", "older");
    Drop(kCnpj, "MDFe1-eve.err", "newer");
    Drop(kCnpj, "MDFe2-eve.err", "second");
    ui.answers = {false, false};
    RunPass(kCnpj);
    EXPECT_EQ(db.Dir().Read("mdfe/" + kCnpj + "/Erro/MDFe1-eve.err"), "newer");
    EXPECT_EQ(WhereIs(kCnpj, "MDFe2-eve.err"), "Erro");
    ASSERT_EQ(ui.questions.size(), 2u);
    EXPECT_EQ(ui.questions[0], "Ocorreu um erro na geração deste MDF-e. Deseja visualizar o arquivo de erro?");
}

// "Yes" hands the file to the desktop's opener; on a machine without one the
// journal says so, and the walk goes on.
TEST_F(ErrorFiles, YesWithoutAnOpenerIsToldInTheJournal) {
    test::TempDir journal, noOpener;
    test::ScopedEnv path("PATH", noOpener.str());
    platform::journal::OpenAt(journal.str());
    Drop(kCnpj, "MDFe1-eve.err", "x");
    Drop(kCnpj, "MDFe2-eve.err", "x");
    ui.answers = {true, false};
    RunPass(kCnpj);
    platform::journal::Close();
    EXPECT_EQ(WhereIs(kCnpj, "MDFe2-eve.err"), "Erro");
    const std::string log = journal.Read("monitor.log");
    EXPECT_NE(log.find("não foi possível abrir " + Root() + kCnpj + "\\Erro\\MDFe1-eve.err"), std::string::npos) << log;
    EXPECT_EQ(log.find("MDFe2-eve.err: nenhum"), std::string::npos);
}

}   // namespace
}   // namespace velmora
