// The office as it really runs: every workstation that runs the ERP runs its
// own monitor, so several monitors poll one exchange tree and write one
// database, ERP users hold rows open while they edit, and the transmitter
// writes its answers onto a busy share in pieces. Each result file must be
// handled once across the fleet (counted, asked about, printed by the monitor
// whose move succeeded), a locked row or a file still being written must only
// put the file off to a later pass, and no monitor may stop ticking.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include <QCoreApplication>
#include <QPushButton>

#include "app/PrincipalForm.h"
#include "db/Database.h"
#include "tests/e2e/Estacao.h"
#include "tests/tools/Conferencia.h"

namespace velmora::test::e2e {
namespace {

namespace fs = std::filesystem;
namespace tx = transmissor;
namespace cf = conferencia;
using namespace std::chrono_literals;
using Relogio = std::chrono::steady_clock;

class EstacoesE2e : public ::testing::Test {
protected:
    void SetUp() override {
        if (FirebirdServer().empty()) GTEST_SKIP() << "VELMORA_FB_SERVER is not set (scripts/firebird-server.sh)";
    }
};

// Every file the plan moves is in its folder and no longer in "Retorno\".
bool Terminou(const tx::Plano& plano, const std::string& pastaEmpresa) {
    for (const auto& f : plano.arquivos) {
        if (f.destino != tx::Destino::Ok && f.destino != tx::Destino::Erro) continue;
        const char* pasta = f.destino == tx::Destino::Ok ? "Retorno/OK/" : "Erro/";
        if (!fs::exists(pastaEmpresa + pasta + f.nome) || fs::exists(pastaEmpresa + "Retorno/" + f.nome)) return false;
    }
    return true;
}

// The files the plan moves that are still in "Retorno\": how many, and the
// first few names.
std::string Pendentes(const tx::Plano& plano, const std::string& pastaEmpresa) {
    int n = 0, total = 0;
    std::string nomes;
    for (const auto& f : plano.arquivos) {
        if (f.destino != tx::Destino::Ok && f.destino != tx::Destino::Erro) continue;
        ++total;
        if (!fs::exists(pastaEmpresa + "Retorno/" + f.nome)) continue;
        if (++n <= 3) nomes += " " + f.nome;
    }
    return std::to_string(n) + " of " + std::to_string(total) + " still in Retorno" + (n ? ":" + nomes : "") +
           (n > 3 ? " ..." : "");
}

// Waits until `condicao` holds, answering the dialogs of every workstation's
// monitor meanwhile. False on time-out.
template <class F>
bool EsperaTodas(const std::vector<Estacao*>& estacoes, F condicao, std::chrono::seconds limite) {
    const auto fim = Relogio::now() + limite;
    while (Relogio::now() < fim) {
        for (Estacao* e : estacoes) e->AtendeDialogos();
        if (condicao()) return true;
        std::this_thread::sleep_for(100ms);
    }
    return condicao();
}

bool TodosNoAr(const std::vector<Estacao*>& estacoes) {
    for (Estacao* e : estacoes)
        if (!e->MonitorRodando()) return false;
    return true;
}

std::string Logs(const std::vector<Estacao*>& estacoes) {
    std::string texto;
    for (size_t i = 0; i < estacoes.size(); ++i)
        texto += "--- monitor " + std::to_string(i + 1) + ":\n" + estacoes[i]->LogMonitor() + "--- its journal:\n" +
                 estacoes[i]->Diario();
    return texto;
}

// What the printing tool receives for an authorised MDF-e, past its working
// folder.
std::string LinhaDeImpressao(const std::string& cnpj, const std::string& chave) {
    return "ARQUIVO=X:\\Troca\\" + cnpj + "\\Enviado\\Autorizados\\" + cf::MesAtual() + "\\MDFe" + chave +
           "-procMDFe.xml\nCOPIAS=1\nSAIDAERROS=A\nCONFIGURACAO=" + cnpj + "\n";
}

// The print jobs of a workstation, each checked to have started in its own
// printing tool's folder and returned without that line.
std::multiset<std::string> Impressoes(const Estacao& e) {
    std::multiset<std::string> feitas;
    const std::string pasta = e.Caminho("c/unimake/unidanfe") + "\n";
    for (const std::string& registro : e.Impressoes()) {
        EXPECT_TRUE(registro.starts_with(pasta)) << registro;
        feitas.insert(registro.starts_with(pasta) ? registro.substr(pasta.size()) : registro);
    }
    return feitas;
}

Contadores Soma(const Contadores& a, const Contadores& b) {
    Contadores s = a;
    s.iLotesProcessados += b.iLotesProcessados;
    s.iPedidosGerados += b.iPedidosGerados;
    s.iConfirmacaoRecebida += b.iConfirmacaoRecebida;
    s.iMDFeAutorizada += b.iMDFeAutorizada;
    s.iMDFeCancelada += b.iMDFeCancelada;
    s.iMDFeEncerrada += b.iMDFeEncerrada;
    s.iConsultasMDFe += b.iConsultasMDFe;
    s.iSolicitacaoInconsistente += b.iSolicitacaoInconsistente;
    s.iLotesErro += b.iLotesErro;
    s.iConfirmacaoErro += b.iConfirmacaoErro;
    s.iMDFeErro += b.iMDFeErro;
    s.iConsultasMDFeErro += b.iConsultasMDFeErro;
    return s;
}

// Three workstations, each with its monitor, its ERP and its printing tool,
// on one server: one exchange tree, one database. A day of results of three
// companies arrives while an ERP user holds one MDF-e's row open for the
// first eight seconds.
TEST_F(EstacoesE2e, ThreeMonitorsOnOneTreeAndOneDatabaseHandleEachFileOnce) {
    Estacao a;
    Estacao b(a);
    Estacao c(a);
    const std::vector<Estacao*> estacoes = {&a, &b, &c};
    TestDatabase& banco = a.Banco();
    // The office's database has long had the version columns: three
    // monitors coming up together on a new one would race to add them.
    banco.AddVersionColumns("Versao Inicial", 0);

    const std::vector<std::string> cnpjs = {"12345678000195", "98765432000110", "11222333000181"};
    std::vector<tx::Empresa> empresas;
    std::vector<tx::Plano> planos;
    Contadores total;
    int perguntas = 0;
    for (size_t i = 0; i < cnpjs.size(); ++i) {
        empresas.push_back(cf::CriaEmpresa(banco, cnpjs[i], "dia", 1 + 100 * static_cast<int>(i)));
        planos.push_back(tx::MontaPlano("dia", empresas[i], cf::MesAtual()));
        total = Soma(total, planos[i].Total());
        perguntas += planos[i].Perguntas();
    }
    // The row the ERP user holds: the first company's first MDF-e, whose
    // lot-number file is the first thing a pass takes up.
    const tx::Registro& travado = empresas[0].registros[0];
    const std::string loteTravado = tx::NomeNumeroLote(travado.chave);
    ASSERT_TRUE(std::any_of(planos[0].arquivos.begin(), planos[0].arquivos.end(), [&](const tx::Arquivo& f) {
        return f.nome == loteTravado && f.destino == tx::Destino::Ok;
    }));

    for (Estacao* e : estacoes) e->IniciaErp();
    for (Estacao* e : estacoes) e->IniciaMonitor();
    auto todosComJanela = [&] {
        for (Estacao* e : estacoes)
            if (e->MonitorRodando() && e->JanelaPrincipal() == 0) return false;
        return true;
    };
    ASSERT_TRUE(EsperaTodas(estacoes, todosComJanela, 60s)) << Logs(estacoes);
    ASSERT_TRUE(TodosNoAr(estacoes)) << Logs(estacoes);
    for (Estacao* e : estacoes) EXPECT_TRUE(e->Dialogos().empty()) << "a dialog at start-up";

    {
        // The ERP user's edit: an update without commit, on a connection set
        // up as the ERP's and the monitor's are.
        Session usuario(banco.Location());
        db::Query edicao(usuario.connection, "qryEdicao");
        edicao.SetSQL("update mov_mdfe set cd_chave_acesso_mdfe = cd_chave_acesso_mdfe where id_mdf = " +
                      std::to_string(travado.idMdf));
        edicao.ExecSQL();

        for (size_t i = 0; i < cnpjs.size(); ++i) {
            Saida s = a.Transmite(cnpjs[i], "dia");
            ASSERT_EQ(s.status, 0) << s.texto;
        }
        const auto liberacao = Relogio::now() + 8s;
        EsperaTodas(
            estacoes, [&] { return Relogio::now() >= liberacao; }, 10s);

        // While the row was held nobody could write it: the file is still
        // waiting, and no one said anything about it.
        EXPECT_TRUE(fs::exists(a.PastaEmpresa(cnpjs[0]) + "Retorno/" + loteTravado))
            << "the lot-number file of the locked MDF-e left the return folder while its row was locked";
        EXPECT_EQ(banco.Value("select NO_LOTE_MDFE from mov_mdfe where id_mdf = " + std::to_string(travado.idMdf)),
                  std::nullopt);
        for (Estacao* e : estacoes)
            for (const Dialogo& d : e->Dialogos()) EXPECT_TRUE(d.pergunta) << "a message box titled " << d.titulo;

        edicao.SetSQL(" rollback");
        edicao.ExecSQL();
    }
    const auto liberado = Relogio::now();

    auto tudoFeito = [&] {
        for (size_t i = 0; i < cnpjs.size(); ++i)
            if (!Terminou(planos[i], a.PastaEmpresa(cnpjs[i]))) return false;
        int feitas = 0;
        for (Estacao* e : estacoes) feitas += static_cast<int>(e->Dialogos().size());
        return feitas >= perguntas;
    };
    const bool terminou = EsperaTodas(estacoes, tudoFeito, 180s);
    EXPECT_TRUE(terminou) << std::chrono::duration_cast<std::chrono::seconds>(Relogio::now() - liberado).count()
                          << " s after the release: " << Pendentes(planos[0], a.PastaEmpresa(cnpjs[0])) << "; "
                          << Pendentes(planos[1], a.PastaEmpresa(cnpjs[1])) << "; "
                          << Pendentes(planos[2], a.PastaEmpresa(cnpjs[2])) << "\n"
                          << Logs(estacoes);
    // One more tick of every monitor: what stays in the return folder stays
    // and asks nothing, and nothing is handled a second time.
    EsperaTodas(
        estacoes, [] { return false; }, 6s);
    EXPECT_TRUE(TodosNoAr(estacoes)) << Logs(estacoes);

    // Each file in exactly its folder, each row as one monitor writes it; the
    // locked MDF-e's files and row included. (Files still waiting were told
    // above; listing each of them and its row again says nothing more.)
    for (size_t i = 0; i < cnpjs.size() && terminou; ++i) {
        SCOPED_TRACE(cnpjs[i]);
        cf::ConfereArquivos(planos[i], a.PastaEmpresa(cnpjs[i]));
        cf::ConfereRegistros(planos[i], banco);
    }

    // One question per file in "\Erro\", across the three monitors, and no
    // other dialog.
    int feitas = 0;
    std::string porMonitor;
    for (Estacao* e : estacoes) {
        feitas += static_cast<int>(e->Dialogos().size());
        porMonitor += " " + std::to_string(e->Dialogos().size());
        for (const auto& d : e->Dialogos()) {
            EXPECT_EQ(d.titulo, "velmora Monitor MDF-e");
            EXPECT_TRUE(d.pergunta);
        }
    }
    EXPECT_EQ(feitas, perguntas) << "questions per monitor:" << porMonitor;

    // Each authorised MDF-e printed once, by one of the workstations.
    std::multiset<std::string> esperadas, impressas;
    for (size_t i = 0; i < cnpjs.size(); ++i)
        for (const auto& chave : planos[i].impressoes) esperadas.insert(LinhaDeImpressao(cnpjs[i], chave));
    std::string impressasPorMonitor;
    for (Estacao* e : estacoes) {
        auto suas = Impressoes(*e);
        impressasPorMonitor += " " + std::to_string(suas.size());
        impressas.insert(suas.begin(), suas.end());
    }
    EXPECT_EQ(impressas, esperadas) << "print jobs per monitor:" << impressasPorMonitor;

    // The three windows together count the day once.
    Contadores soma;
    std::string lidos;
    for (size_t i = 0; i < estacoes.size(); ++i) {
        std::string motivo;
        auto contadores = estacoes[i]->LeContadores(total, &motivo);
        ASSERT_TRUE(contadores) << "monitor " << i + 1 << ": " << motivo;
        lidos += " [" + cf::Contagem(*contadores) + "]";
        soma = Soma(soma, *contadores);
    }
    EXPECT_EQ(cf::Contagem(soma), cf::Contagem(total)) << "counters per monitor:" << lidos;

    // The ERP closes on every workstation: every monitor follows at its next
    // tick.
    for (Estacao* e : estacoes) e->EncerraErp();
    EXPECT_TRUE(EsperaTodas(
        estacoes,
        [&] {
            for (Estacao* e : estacoes)
                if (e->MonitorRodando()) return false;
            return true;
        },
        12s))
        << "a monitor outlived the ERP";
    for (Estacao* e : estacoes) EXPECT_EQ(e->Status(), 0);
}

// Writes a file the way a writer on a busy share does: in three pieces, each
// flushed, with a pause of 200 to 400 ms after the first two. The pieces are
// cut inside the document, never before its first line names the MDF-e
// namespace, so a monitor that takes the file up too early holds a document
// it cannot parse.
void EscreveEmPedacos(const std::string& caminho, const std::string& conteudo, std::mt19937& sorte) {
    std::uniform_int_distribution<size_t> primeiro(conteudo.size() * 3 / 10, conteudo.size() * 5 / 10);
    std::uniform_int_distribution<size_t> segundo(conteudo.size() * 6 / 10, conteudo.size() * 85 / 100);
    std::uniform_int_distribution<int> pausa(200, 400);
    const size_t cortes[] = {0, primeiro(sorte), segundo(sorte), conteudo.size()};
    std::ofstream out(caminho, std::ios::binary);
    for (size_t i = 0; i + 1 < std::size(cortes); ++i) {
        if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(pausa(sorte)));
        out.write(conteudo.data() + cortes[i], static_cast<std::streamsize>(cortes[i + 1] - cortes[i]));
        out.flush();
    }
}

// A minute of answers (processing and status results of 60 MDF-e) written
// into the return folder while the monitor runs, one after the other, each in
// pieces a fraction of a second apart: nearly all the time some answer is
// half written, so every pass meets one. Such a file waits for a later pass,
// and the monitor keeps going to the end.
TEST_F(EstacoesE2e, AnswersWrittenInPiecesAreAllHandledWithoutAStall) {
    Estacao e;
    e.IniciaErp();
    const std::string cnpj = "12345678000195";
    const tx::Plano plano = tx::MontaPlano("minuto", cf::CriaEmpresa(e.Banco(), cnpj, "minuto", 1), cf::MesAtual());
    e.IniciaMonitor();
    ASSERT_TRUE(e.Espera([&] { return e.JanelaPrincipal() != 0 || !e.MonitorRodando(); }, 30s));
    ASSERT_TRUE(e.MonitorRodando()) << e.LogMonitor();

    // The authorised documents are stored before their answers arrive.
    const std::string pasta = e.PastaEmpresa(cnpj);
    for (const auto& f : plano.arquivos) {
        if (f.destino != tx::Destino::Guardado) continue;
        fs::path caminho = pasta + cf::Nativo(f.pasta) + f.nome;
        fs::create_directories(caminho.parent_path());
        std::ofstream(caminho, std::ios::binary) << f.conteudo;
    }
    fs::create_directories(pasta + "Retorno");

    std::atomic<bool> escrevendo{true};
    std::atomic<int> escritos{0};
    std::jthread escritor([&] {
        std::mt19937 sorte(20261210);
        std::uniform_int_distribution<int> intervalo(0, 100);
        for (const auto& f : plano.arquivos) {
            if (f.destino == tx::Destino::Guardado) continue;
            EscreveEmPedacos(pasta + "Retorno/" + f.nome, f.conteudo, sorte);
            ++escritos;
            std::this_thread::sleep_for(std::chrono::milliseconds(intervalo(sorte)));
        }
        escrevendo = false;
    });
    const auto inicio = Relogio::now();
    std::string aoFimDaEscrita;
    auto tudoFeito = [&] {
        if (escrevendo) return false;
        if (aoFimDaEscrita.empty()) aoFimDaEscrita = Pendentes(plano, pasta);
        return Terminou(plano, pasta);
    };
    // The writer takes about 40 s; six processing results cost the monitor
    // 3 s each.
    const bool terminou = e.Espera(tudoFeito, 100s);
    escritor.join();
    EXPECT_TRUE(terminou) << std::chrono::duration_cast<std::chrono::seconds>(Relogio::now() - inicio).count()
                          << " s after the writer started (" << escritos
                          << " answers written): " << Pendentes(plano, pasta) << "; when the writer finished, "
                          << aoFimDaEscrita << "\n"
                          << e.LogMonitor();
    EXPECT_TRUE(e.MonitorRodando()) << e.LogMonitor();

    if (terminou) {
        cf::ConfereArquivos(plano, pasta);
        cf::ConfereRegistros(plano, e.Banco());
    }
    EXPECT_TRUE(e.Dialogos().empty()) << e.Dialogos().size() << " dialogs, the first titled "
                                      << e.Dialogos().front().titulo;
    std::multiset<std::string> esperadas;
    for (const auto& chave : plano.impressoes) esperadas.insert(LinhaDeImpressao(cnpj, chave));
    EXPECT_EQ(Impressoes(e), esperadas);
    std::string motivo;
    auto contadores = e.LeContadores(plano.Total(), &motivo);
    ASSERT_TRUE(contadores) << motivo;
    EXPECT_EQ(cf::Contagem(*contadores), cf::Contagem(plano.Total()));

    // The ERP closes: the monitor is still ticking and follows it out.
    e.EncerraErp();
    EXPECT_TRUE(e.Espera([&] { return !e.MonitorRodando(); }, 12s)) << "the monitor outlived the ERP";
    EXPECT_EQ(e.Status(), 0);
}

// Where a button of the main window is, in the window's own coordinates: a
// window built here the way the program builds it, never shown.
std::pair<int, int> CentroDoBotao(const char* nome) {
    app::TfrmPrincipal janela;
    janela.setAttribute(Qt::WA_DontShowOnScreen);
    janela.show();
    QCoreApplication::processEvents();
    auto* botao = janela.findChild<QPushButton*>(nome);
    const QPoint centro = botao->mapTo(&janela, botao->rect().center());
    janela.hide();
    return {centro.x(), centro.y()};
}

int Arquivados(const std::string& pasta) {
    int n = 0;
    for (const char* sub : {"Retorno/OK", "Erro"})
        if (fs::is_directory(pasta + sub))
            for (const auto& entry : fs::directory_iterator(pasta + sub)) n += entry.is_regular_file();
    return n;
}

// Answers keep arriving one after the other, each processing result just
// written (so the monitor waits for it to settle): the user presses
// "Minimizar" and "Zerar Valores" in the middle of it, the window takes both,
// and the drain goes on to the end without a second cycle or a lost file.
TEST_F(EstacoesE2e, TheWindowAnswersDuringADrain) {
    Estacao e;
    e.IniciaErp();
    const std::string cnpj = "12345678000195";
    const tx::Plano plano = tx::MontaPlano("minuto", cf::CriaEmpresa(e.Banco(), cnpj, "minuto", 1), cf::MesAtual());
    const auto [minimizarX, minimizarY] = CentroDoBotao("BitBtn1");
    const auto [zerarX, zerarY] = CentroDoBotao("BitBtn2");
    e.IniciaMonitor();
    ASSERT_TRUE(e.Espera([&] { return e.JanelaPrincipal() != 0 || !e.MonitorRodando(); }, 30s));
    ASSERT_TRUE(e.MonitorRodando()) << e.LogMonitor();

    const std::string pasta = e.PastaEmpresa(cnpj);
    int respostas = 0;
    for (const auto& f : plano.arquivos) {
        if (f.destino != tx::Destino::Guardado) {
            ++respostas;
            continue;
        }
        fs::path caminho = pasta + cf::Nativo(f.pasta) + f.nome;
        fs::create_directories(caminho.parent_path());
        std::ofstream(caminho, std::ios::binary) << f.conteudo;
    }
    fs::create_directories(pasta + "Retorno");
    std::atomic<bool> escrevendo{true};
    std::jthread escritor([&] {
        for (const auto& f : plano.arquivos) {
            if (f.destino == tx::Destino::Guardado) continue;
            std::ofstream(pasta + "Retorno/" + f.nome, std::ios::binary) << f.conteudo;
            std::this_thread::sleep_for(250ms);
        }
        escrevendo = false;
    });

    // A third of the answers handled: the drain is under way.
    ASSERT_TRUE(e.Espera([&] { return Arquivados(pasta) >= respostas / 3; }, 60s)) << e.LogMonitor();
    const unsigned long janela = e.JanelaPrincipal();
    ASSERT_NE(janela, 0u);
    auto clica = [&](int x, int y) {
        Executa({"xdotool", "windowraise", std::to_string(janela)});
        Executa({"xdotool", "mousemove", "--window", std::to_string(janela), std::to_string(x), std::to_string(y),
                 "click", "1"});
    };
    clica(zerarX, zerarY);
    const int antesDoMinimizar = Arquivados(pasta);
    clica(minimizarX, minimizarY);

    const bool terminou = e.Espera([&] { return !escrevendo && Terminou(plano, pasta); }, 90s);
    escritor.join();
    EXPECT_TRUE(terminou) << Pendentes(plano, pasta) << "\n" << e.LogMonitor() << e.Diario();
    EXPECT_TRUE(e.MonitorRodando()) << e.LogMonitor();
    if (terminou) {
        cf::ConfereArquivos(plano, pasta);
        cf::ConfereRegistros(plano, e.Banco());
    }
    EXPECT_TRUE(e.Dialogos().empty());
    // "Zerar Valores" was taken during the drain: the window counts only what
    // came after it, fewer than the whole minute.
    std::string motivo;
    auto contadores = e.LeContadores(plano.Total(), &motivo);
    ASSERT_TRUE(contadores) << motivo;
    EXPECT_LT(contadores->iMDFeAutorizada, plano.Total().iMDFeAutorizada);
    EXPECT_GE(contadores->iMDFeAutorizada, respostas - antesDoMinimizar);

    e.EncerraErp();
    EXPECT_TRUE(e.Espera([&] { return !e.MonitorRodando(); }, 12s)) << "the monitor outlived the ERP";
    EXPECT_EQ(e.Status(), 0);
}

}   // namespace
}   // namespace velmora::test::e2e
