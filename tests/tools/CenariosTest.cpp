// The stand-in's scenarios against the engine: one company pass over what a
// scenario wrote must leave every file, counter, question and row exactly as
// the plan says. The end-to-end tests hold the real program to the same
// plans; here a wrong expectation shows up without a display or a server.
#include <gtest/gtest.h>

#include "processors/Pastas.h"
#include "tests/support/Engine.h"
#include "tests/tools/Conferencia.h"

namespace velmora::test {
namespace {

namespace tx = transmissor;
namespace cf = conferencia;

class CenarioTest : public EngineTest {
protected:
    tx::Plano Prepara(const std::string& cenario, const std::string& cnpj, int primeiroNumero) {
        tx::Empresa e = cf::CriaEmpresa(db, cnpj, cenario, primeiroNumero);
        tx::Plano plano = tx::MontaPlano(cenario, e, cf::MesAtual());
        CriaPastas(Root(), cnpj);
        cf::GravaPlano(plano, Root() + cnpj + "/");
        Settle(cnpj);
        return plano;
    }
};

TEST_F(CenarioTest, AFullDayEndsAsPlanned) {
    const std::string cnpj = "12345678000195";
    tx::Plano plano = Prepara("dia", cnpj, 1);
    RunPass(cnpj);
    cf::ConfereArquivos(plano, Root() + cnpj + "/");
    EXPECT_EQ(cf::Contagem(m->contadores()), cf::Contagem(plano.Total()));
    EXPECT_EQ(static_cast<int>(ui.questions.size()), plano.Perguntas());
    cf::ConfereRegistros(plano, db);
    EXPECT_TRUE(ui.messages.empty()) << ui.messages.front().text;
}

TEST_F(CenarioTest, BadCasesEndAsPlanned) {
    const std::string cnpj = "98765432000110";
    tx::Plano plano = Prepara("ruins", cnpj, 500);
    RunPass(cnpj);
    cf::ConfereArquivos(plano, Root() + cnpj + "/");
    EXPECT_EQ(cf::Contagem(m->contadores()), cf::Contagem(plano.Total()));
    EXPECT_EQ(static_cast<int>(ui.questions.size()), plano.Perguntas());
    cf::ConfereRegistros(plano, db);
}

// A defective file stops the pass: it stays where it is, and only what was
// committed before the failure is in the database.
TEST_F(CenarioTest, DefectiveFilesStopThePassAndStay) {
    int numero = 800;
    for (const auto& c : tx::Cenarios()) {
        const std::string nome = c.nome;
        if (!nome.starts_with("defeito:")) continue;
        SCOPED_TRACE(nome);
        const std::string cnpj = "111111110001" + std::to_string(numero % 100);
        tx::Plano plano = Prepara(nome, cnpj, numero);
        numero += 10;
        EXPECT_THROW(RunPass(cnpj), Error);
        cf::ConfereArquivos(plano, Root() + cnpj + "/");
        cf::ConfereRegistros(plano, db);
    }
}

}   // namespace
}   // namespace velmora::test
