// The real program as a user runs it: started without arguments from a
// program folder beside the ERP's INI files, on an X display, with the ERP
// database on the loopback Firebird server, a stand-in ERP process and the
// transmitter stand-in dropping results while it runs; every dialog answered
// through the display. After each run the files and the database rows are
// held against the stand-in's plan.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>
#include <sys/wait.h>

#include "tests/e2e/Estacao.h"
#include "tests/support/TcpRelay.h"
#include "tests/tools/Conferencia.h"

namespace velmora::test::e2e {
namespace {

namespace fs = std::filesystem;
namespace tx = transmissor;
namespace cf = conferencia;
using namespace std::chrono_literals;

class MonitorE2e : public ::testing::Test {
protected:
    void SetUp() override {
        if (FirebirdServer().empty()) GTEST_SKIP() << "VELMORA_FB_SERVER is not set (scripts/firebird-server.sh)";
    }

    // The monitor is up: start-up done and the window on screen.
    void IniciaEEspera(Estacao& e) {
        e.IniciaMonitor();
        ASSERT_TRUE(e.Espera([&] { return e.JanelaPrincipal() != 0 || !e.MonitorRodando(); }, 30s));
        ASSERT_TRUE(e.MonitorRodando()) << e.LogMonitor();
    }

    static bool Terminou(const tx::Plano& plano, const std::string& pastaEmpresa) {
        for (const auto& f : plano.arquivos) {
            if (f.destino != tx::Destino::Ok && f.destino != tx::Destino::Erro) continue;
            const char* pasta = f.destino == tx::Destino::Ok ? "Retorno/OK/" : "Erro/";
            if (!fs::exists(pastaEmpresa + pasta + f.nome) || fs::exists(pastaEmpresa + "Retorno/" + f.nome))
                return false;
        }
        return true;
    }

    static std::string Le(const std::string& caminho) {
        std::ifstream in(caminho, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
};

TEST_F(MonitorE2e, AFullDayOfResultsForThreeCompanies) {
    Estacao e;
    e.IniciaErp();
    const std::vector<std::string> cnpjs = {"12345678000195", "98765432000110", "11222333000181"};
    std::vector<tx::Plano> planos;
    for (size_t i = 0; i < cnpjs.size(); ++i) {
        tx::Empresa empresa = cf::CriaEmpresa(e.Banco(), cnpjs[i], "dia", 1 + 100 * static_cast<int>(i));
        planos.push_back(tx::MontaPlano("dia", empresa, cf::MesAtual()));
    }
    IniciaEEspera(e);
    if (HasFatalFailure()) return;

    // The transmitter answers while the monitor runs.
    int perguntas = 0;
    for (size_t i = 0; i < cnpjs.size(); ++i) {
        Saida s = e.Transmite(cnpjs[i], "dia");
        ASSERT_EQ(s.status, 0) << s.texto;
        for (const auto& f : planos[i].arquivos) EXPECT_NE(s.texto.find(f.nome), std::string::npos) << f.nome;
        perguntas += planos[i].Perguntas();
    }
    auto tudoFeito = [&] {
        for (size_t i = 0; i < cnpjs.size(); ++i)
            if (!Terminou(planos[i], e.PastaEmpresa(cnpjs[i]))) return false;
        return static_cast<int>(e.Dialogos().size()) >= perguntas;
    };
    ASSERT_TRUE(e.Espera(tudoFeito, 240s)) << e.LogMonitor();
    // One more tick: what stays in the return folder stays, and asks nothing.
    e.Espera([] { return false; }, 6s);
    ASSERT_TRUE(e.MonitorRodando()) << e.LogMonitor();

    for (size_t i = 0; i < cnpjs.size(); ++i) {
        SCOPED_TRACE(cnpjs[i]);
        cf::ConfereArquivos(planos[i], e.PastaEmpresa(cnpjs[i]));
        cf::ConfereRegistros(planos[i], e.Banco());
    }
    // Each file sent to "\Erro\" was offered once, and nothing else was shown.
    EXPECT_EQ(static_cast<int>(e.Dialogos().size()), perguntas);
    for (const auto& d : e.Dialogos()) {
        EXPECT_EQ(d.titulo, "velmora Monitor MDF-e");
        EXPECT_TRUE(d.pergunta);
    }
    // Each authorisation printed once, with the fixed command line, from the
    // printing tool's folder (in the order the companies and names come).
    std::multiset<std::string> esperadas, feitas;
    for (size_t i = 0; i < cnpjs.size(); ++i)
        for (const auto& chave : planos[i].impressoes)
            esperadas.insert(e.Caminho("c/unimake/unidanfe") + "\nARQUIVO=X:\\Troca\\" + cnpjs[i] +
                             "\\Enviado\\Autorizados\\" + cf::MesAtual() + "\\MDFe" + chave +
                             "-procMDFe.xml\nCOPIAS=1\nSAIDAERROS=A\nCONFIGURACAO=" + cnpjs[i] + "\n");
    const std::string registro = Le(e.Caminho("impressoes.log"));
    for (size_t i = 0, fim; (fim = registro.find("---\n", i)) != std::string::npos; i = fim + 4)
        feitas.insert(registro.substr(i, fim - i));
    EXPECT_EQ(feitas, esperadas);

    // The window after the day, for a look at its layout (kept in the build
    // folder, out of the sources).
    EXPECT_TRUE(e.Fotografa(VELMORA_BINARY_DIR "/e2e-janela-apos-um-dia.png"));

    // The ERP closes: the monitor follows at its next tick.
    e.EncerraErp();
    EXPECT_TRUE(e.Espera([&] { return !e.MonitorRodando(); }, 15s));
    EXPECT_EQ(e.Status(), 0);
}

TEST_F(MonitorE2e, ASecondInstanceIsRefusedAndTheFirstGoesOn) {
    Estacao e;
    e.IniciaErp();
    IniciaEEspera(e);
    if (HasFatalFailure()) return;
    const unsigned long janela = e.JanelaPrincipal();

    pid_t segundo = e.IniciaPrograma();
    std::vector<Dialogo> vistos;
    int status = -1;
    for (int i = 0; i < 200; ++i) {
        auto lidos = e.Atende(segundo);
        vistos.insert(vistos.end(), lidos.begin(), lidos.end());
        if (waitpid(segundo, &status, WNOHANG) == segundo) break;
        usleep(100 * 1000);
    }
    ASSERT_TRUE(WIFEXITED(status)) << "the second copy did not end";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    ASSERT_EQ(vistos.size(), 1u);
    // The single-instance warning is the one message titled with a small "s".
    EXPECT_EQ(vistos[0].titulo, "Aviso do sistema");
    EXPECT_FALSE(vistos[0].pergunta);

    // The first one is untouched: same window, still ticking, no dialog.
    e.Espera([] { return false; }, 6s);
    EXPECT_TRUE(e.MonitorRodando());
    EXPECT_EQ(e.JanelaPrincipal(), janela);
    EXPECT_TRUE(e.Dialogos().empty());
}

TEST_F(MonitorE2e, DisconnectInTheMarkerEndsTheProgram) {
    Estacao e;
    e.IniciaErp();
    e.MarcaConexao("desconectar");   // only the exact word counts
    IniciaEEspera(e);
    if (HasFatalFailure()) return;
    e.Espera([] { return false; }, 6s);
    ASSERT_TRUE(e.MonitorRodando());

    e.MarcaConexao("DESCONECTAR");
    EXPECT_TRUE(e.Espera([&] { return !e.MonitorRodando(); }, 15s));
    EXPECT_EQ(e.Status(), 0);
    EXPECT_TRUE(e.Dialogos().empty());
}

TEST_F(MonitorE2e, TheMonitorFollowsTheErpOut) {
    Estacao e;
    e.IniciaErp();
    IniciaEEspera(e);
    if (HasFatalFailure()) return;
    e.EncerraErp();
    EXPECT_TRUE(e.Espera([&] { return !e.MonitorRodando(); }, 15s));
    EXPECT_EQ(e.Status(), 0);
    EXPECT_TRUE(e.Dialogos().empty());
}

// The server goes away while a pass is between two processing results: the
// program ends with its message and every file is still somewhere.
TEST_F(MonitorE2e, ServerLostMidPassEndsWithTheMessageAndLosesNoFile) {
    TcpRelay relay;
    Estacao e("localhost/" + std::to_string(relay.Port()));
    e.IniciaErp();
    const std::string cnpj = "12345678000195";
    tx::Plano plano = tx::MontaPlano("dia", cf::CriaEmpresa(e.Banco(), cnpj, "dia", 1), cf::MesAtual());
    IniciaEEspera(e);
    if (HasFatalFailure()) return;
    ASSERT_EQ(e.Transmite(cnpj, "dia").status, 0);

    const std::string pasta = e.PastaEmpresa(cnpj);
    auto umResultadoFeito = [&] {
        for (const auto& f : plano.arquivos)
            if (f.nome.ends_with("-pro-rec.xml") && !fs::exists(pasta + "Retorno/" + f.nome)) return true;
        return false;
    };
    ASSERT_TRUE(e.Espera(umResultadoFeito, 120s));
    relay.Cut();
    ASSERT_TRUE(e.Espera([&] { return !e.MonitorRodando(); }, 60s)) << e.LogMonitor();

    // The last thing shown is the fatal message (an OK box titled "Aviso do
    // Sistema"), and the program ended once it was answered.
    ASSERT_FALSE(e.Dialogos().empty());
    const Dialogo& ultimo = e.Dialogos().back();
    EXPECT_EQ(ultimo.titulo, "Aviso do Sistema");
    EXPECT_FALSE(ultimo.pergunta);
    EXPECT_EQ(e.Status(), 0);

    // None lost, none doubled, none changed; the pass did not get through.
    int noRetorno = 0;
    for (const auto& f : plano.arquivos) {
        if (f.destino == tx::Destino::Guardado) continue;
        int vezes = 0;
        for (const char* sub : {"Retorno/", "Retorno/OK/", "Erro/"})
            if (fs::exists(pasta + sub + f.nome)) {
                ++vezes;
                EXPECT_EQ(Le(pasta + sub + f.nome), f.conteudo) << f.nome;
                if (std::string(sub) == "Retorno/") ++noRetorno;
            }
        EXPECT_EQ(vezes, 1) << f.nome;
    }
    EXPECT_GT(noRetorno, 1);
}

// A newer program in the update folder: notice, the updater started with
// the folders it needs, and the program gone so that it can be replaced.
TEST_F(MonitorE2e, StartUpHandsOverToTheUpdaterWhenTheUpdateFolderHasAnotherVersion) {
    Estacao e;
    e.IniciaErp();
    e.PreparaAtualizacao(false);
    const auto inicio = std::chrono::steady_clock::now();
    e.IniciaMonitor();
    ASSERT_TRUE(e.Espera([&] { return !e.MonitorRodando(); }, 30s)) << e.LogMonitor();
    EXPECT_EQ(e.Status(), 0);
    // The notice stays five seconds before the hand-over.
    EXPECT_GE(std::chrono::steady_clock::now() - inicio, 4500ms);

    std::string pastaPrograma = e.PastaPrograma();
    pastaPrograma.pop_back();
    std::string codificada;
    for (char c : pastaPrograma) codificada += c == ' ' ? std::string("§") : std::string(1, c);
    std::string registro;
    for (int i = 0; i < 50 && registro.empty(); ++i, usleep(100 * 1000)) registro = Le(e.Caminho("atualizador.log"));
    EXPECT_EQ(registro, "@F1\n@MX:\\Update\n@E" + codificada + "\n@AvelmoraMonitorMDFe\n");
}

}   // namespace
}   // namespace velmora::test::e2e
