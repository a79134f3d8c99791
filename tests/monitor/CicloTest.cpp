// The monitoring cycle and the tick: which companies are processed, the
// folder tree, the tick's error handling and exit check, and the rule that
// cycles never nest and the session is never closed under a running cycle.
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

#include "monitor/Ciclo.h"
#include "platform/Journal.h"
#include "processors/Pastas.h"
#include "tests/support/Engine.h"
#include "tests/support/ErpEnvironment.h"
#include "tools/transmissor/Documentos.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
namespace tx = transmissor;

class Cycle : public test::EngineTest {
protected:
    void SetUp() override {
        test::EngineTest::SetUp();
        env = std::make_unique<test::ErpEnvironment>(db.Location());
    }
    void TearDown() override {
        test::EngineTest::TearDown();
        env.reset();
    }
    // A fresh monitor with an open session (the previous one may have ended).
    void NewMonitor() {
        m = std::make_unique<Monitor>(ui);
        m->ConectaBanco(db.Location());
        ui.closed = 0;
        ui.messages.clear();
    }
    void Tick() {
        m->RunHandler([&] { m->Timer1Timer(); });
    }
    bool Tree(const std::string& cnpj) { return fs::is_directory(Folder(cnpj, "Retorno/OK")); }

    std::unique_ptr<test::ErpEnvironment> env;
};

TEST_F(Cycle, OnlyEmittingCompaniesWithACnpjAreProcessed) {
    db.AddCompany("11111111000111", "S");
    db.AddCompany("22222222000122", "N");
    db.AddCompany("33333333000133", "s");
    db.Exec(
        "insert into cad_pessoa (id_pessoa, id_empresa, no_cnpj_cpf, st_emitente_mdfe) values (900, 900, null, 'S')");
    db.AddCompany("44444444000144", "S");
    m->ProcessaEmpresas();
    EXPECT_TRUE(Tree("11111111000111"));
    EXPECT_FALSE(Tree("22222222000122"));
    EXPECT_FALSE(Tree("33333333000133"));
    EXPECT_TRUE(Tree("44444444000144"));
    EXPECT_EQ(ui.counterRedraws, 2);   // one redraw per company pass
    EXPECT_TRUE(ui.timer);
}

TEST_F(Cycle, NoEmittingCompanyTouchesNothingAndSwitchesTheTimerOn) {
    m->ProcessaEmpresas();
    EXPECT_TRUE(fs::is_empty(Root()));
    EXPECT_EQ(ui.counterRedraws, 0);
    EXPECT_TRUE(ui.timer);
}

TEST_F(Cycle, RootFolderWithOrWithoutItsSeparator) {
    db.AddCompany("11111111000111");
    for (std::string stored : {Root().substr(0, Root().size() - 1), Root()}) {
        SCOPED_TRACE(stored);
        db.SetRootFolder(stored);
        fs::remove_all(Root() + "11111111000111");
        m->ProcessaEmpresas();
        EXPECT_TRUE(Tree("11111111000111"));
    }
    struct Case {
        std::string stored, read;
    } cases[] = {{"D:\\MDFe", "D:\\MDFe\\"}, {"D:\\MDFe\\", "D:\\MDFe\\"}, {"", "\\"}};
    test::Session session(db.Location());
    for (const auto& c : cases) {
        db.SetRootFolder(c.stored);
        EXPECT_EQ(LeCaminhoRaizMDFe(session.connection), c.read);
    }
    db.Exec("update tab_parametro set NM_CAMINHO_RAIZ_MDFE = null");
    EXPECT_EQ(LeCaminhoRaizMDFe(session.connection), "\\");
}

TEST_F(Cycle, AnErrorStopsThePassSilentlyAndTheNextTickTriesAgain) {
    test::TempDir journal;
    platform::journal::OpenAt(journal.str());
    env->StartErp();
    db.AddCompany("11111111000111");
    db.AddCompany("22222222000122");
    db.AddCompany("33333333000133");
    m->ProcessaEmpresas();
    ASSERT_TRUE(ui.timer);
    // The second company's folder holds a processed lot without its protocol.
    std::string bad =
        Drop("22222222000122", "1-pro-rec.xml",
             "<retConsReciMDFe xmlns=\"" + std::string(tx::kNamespace) + "\"><cStat>104</cStat></retConsReciMDFe>");
    Drop("33333333000133", "MDFe1-eve.err", "x");
    Tick();
    // Nothing interrupts the user, but the window says why it stopped; the
    // timer stays on so that the exit check and the next try still come.
    EXPECT_TRUE(ui.timer);
    EXPECT_FALSE(m->Conectado());
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ui.closed, 0);
    EXPECT_EQ(WhereIs("22222222000122", bad), "Retorno");
    EXPECT_EQ(WhereIs("33333333000133", "MDFe1-eve.err"), "Retorno");   // the cycle stopped before it
    EXPECT_EQ(ui.fileName, bad);
    EXPECT_EQ(ui.status, "Parado: Elemento protMDFe não encontrado no arquivo de retorno — " + bad);

    // Still broken at the next tick: still stopped, still silent.
    Tick();
    EXPECT_TRUE(ui.timer);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(WhereIs("33333333000133", "MDFe1-eve.err"), "Retorno");

    // The file is mended: the next tick reconnects and the passes go on.
    fs::remove(Retorno("22222222000122") + bad);
    ui.answers = {false};
    Tick();
    EXPECT_TRUE(m->Conectado());
    EXPECT_TRUE(ui.timer);
    EXPECT_EQ(WhereIs("33333333000133", "MDFe1-eve.err"), "Erro");
    EXPECT_EQ(m->contadores().iConsultasMDFeErro, 1);
    EXPECT_EQ(ui.status, "");
    EXPECT_EQ(m->Parada(), "");

    // The journal tells of the stop once, however many ticks met it again.
    platform::journal::Close();
    const std::string log = journal.Read("monitor.log");
    const size_t stop = log.find("passagem interrompida: empresa 22222222000122, arquivo " + bad);
    ASSERT_NE(stop, std::string::npos) << log;
    EXPECT_EQ(log.find("passagem interrompida", stop + 1), std::string::npos) << log;
    EXPECT_NE(log.find("passagem concluída de novo, após 2 tentativa(s)"), std::string::npos) << log;
}

TEST_F(Cycle, ReiniciarAfterAStopRunsACycleAtOnce) {
    db.AddCompany("11111111000111");
    std::string bad =
        Drop("11111111000111", "1-pro-rec.xml",
             "<retConsReciMDFe xmlns=\"" + std::string(tx::kNamespace) + "\"><cStat>104</cStat></retConsReciMDFe>");
    EXPECT_THROW(m->ProcessaEmpresas(), Error);
    fs::remove(Retorno("11111111000111") + bad);
    Drop("11111111000111", "MDFe1-eve.err", "x");
    m->RunHandler([&] { m->BitBtn3Click(); });
    EXPECT_TRUE(ui.timer);
    EXPECT_EQ(WhereIs("11111111000111", "MDFe1-eve.err"), "Erro");
    EXPECT_EQ(ui.status, "");
}

TEST_F(Cycle, TheExitCheckFollowsTheErpAndTheMarker) {
    struct Case {
        const char* what;
        const char* erp;                     // nullptr: no ERP program runs
        std::optional<std::string> marker;   // nullopt: no marker file
        bool ends;
    };
    const Case cases[] = {
        {"no ERP program", nullptr, std::nullopt, true},
        {"the ERP runs", "velmoraEmpresa.exe", std::nullopt, false},
        {"the other ERP program, in capitals", "VELMORAEMPRESA4.EXE", std::nullopt, false},
        {"another program", "velmoraEmpresa5.exe", std::nullopt, true},
        {"marker asks to disconnect", "velmoraEmpresa.exe", "DESCONECTAR\r\n", true},
        {"marker without line end", "velmoraEmpresa.exe", "DESCONECTAR", true},
        {"marker in small letters", "velmoraEmpresa.exe", "desconectar\r\n", false},
        {"marker with a trailing blank", "velmoraEmpresa.exe", "DESCONECTAR \r\n", false},
        {"marker behind a byte-order mark", "velmoraEmpresa.exe",
         "\xEF\xBB\xBF"
         "DESCONECTAR\r\n",
         false},
        {"empty marker", "velmoraEmpresa.exe", "", false},
        {"marker says connected", "velmoraEmpresa.exe", "CONECTADO\r\nDESCONECTAR\r\n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        NewMonitor();
        env->StopErp();
        if (c.erp) env->StartErp(c.erp);
        fs::remove(env->DataFolder() + "Conectado.txt");
        if (c.marker) env->WriteMarker(*c.marker);
        Tick();
        EXPECT_EQ(ui.closed, c.ends ? 1 : 0);
        EXPECT_TRUE(ui.messages.empty());
    }
}

TEST_F(Cycle, AMarkerHeldForWritingGivesItsMessageAndTheMonitorGoesOn) {
    env->StartErp();
    env->WriteMarker("DESCONECTAR");
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t holder = fork();
    if (holder == 0) {
        int fd = open((env->DataFolder() + "Conectado.txt").c_str(), O_RDWR);
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        fcntl(fd, F_SETLK, &lock);
        (void)!write(ready[1], "x", 1);
        pause();
        _exit(0);
    }
    char byte;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    // Ticks that come due while the box waits for its OK run no cycle and
    // open no box of their own: boxes never pile up every five seconds.
    db.AddCompany("11111111000111");
    ui.AtMessage([&] {
        Drop("11111111000111", "MDFe1-sit.err", "x");
        Tick();
        Tick();
    });
    Tick();
    EXPECT_EQ(WhereIs("11111111000111", "MDFe1-sit.err"), "Retorno");
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, "Aviso do Sistema");
    EXPECT_EQ(ui.messages[0].text, "Não foi possível acessar a pasta Dados no Servidor.");
    EXPECT_EQ(ui.messages[0].icon, Icon::Error);
    EXPECT_EQ(ui.closed, 0);
}

TEST_F(Cycle, MissingDataFolderEndsTheProgramWithItsMessage) {
    env->StartErp();
    fs::remove(env->ProgramFolder() + "velmoraempresa.ini");
    fs::remove_all(env->DataFolder());
    // Once the end is decided nothing starts, not even while its message
    // waits for OK.
    db.AddCompany("11111111000111");
    ui.AtMessage([&] {
        Drop("11111111000111", "MDFe1-sit.err", "x");
        Tick();
        m->RunHandler([&] { m->BitBtn3Click(); });
    });
    Tick();
    EXPECT_EQ(WhereIs("11111111000111", "MDFe1-sit.err"), "Retorno");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Não foi encontrado a pasta Dados no servidor");
    EXPECT_EQ(ui.closed, 1);
}

TEST_F(Cycle, ATickOrReiniciarDuringACycleNeverStartsASecondOne) {
    env->StartErp();
    db.AddCompany("11111111000111");
    db.AddCompany("22222222000122");
    Drop("11111111000111", "MDFe1-eve.err", "x");
    int cycles = 0;
    ui.AtQuestion([&] {
        // Both arrive from the message queue while the first company's
        // question waits.
        m->RunHandler([&] { m->Timer1Timer(); });
        m->RunHandler([&] { m->BitBtn3Click(); });
        cycles = m->CicloEmAndamento() ? 1 : 0;
    });
    Tick();
    EXPECT_EQ(cycles, 1);
    EXPECT_EQ(ui.counterRedraws, 3);                    // Reiniciar's reset, then one per company pass
    EXPECT_EQ(m->contadores().iConsultasMDFeErro, 0);   // reset by Reiniciar after the count
    EXPECT_TRUE(ui.timer);
    EXPECT_EQ(ui.closed, 0);
}

TEST_F(Cycle, SairDuringACycleAbandonsItBetweenFilesThenClosesTheSession) {
    env->StartErp();
    db.AddCompany("11111111000111");
    db.AddCompany("22222222000122");
    Drop("11111111000111", "MDFe1-eve.err", "x");
    Drop("11111111000111", "MDFe2-eve.err", "x");
    Drop("22222222000122", "MDFe3-eve.err", "x");
    ui.AtQuestion([&] { m->RunHandler([&] { m->Sair1Click(); }); });
    Tick();
    EXPECT_EQ(ui.closed, 1);
    EXPECT_FALSE(m->SessaoAberta());
    EXPECT_EQ(WhereIs("11111111000111", "MDFe1-eve.err"), "Erro");
    EXPECT_EQ(WhereIs("11111111000111", "MDFe2-eve.err"), "Retorno");
    EXPECT_EQ(WhereIs("22222222000122", "MDFe3-eve.err"), "Retorno");
    // Nothing runs once the end is decided.
    Tick();
    EXPECT_EQ(ui.closed, 1);
}

TEST_F(Cycle, ATickDueWhileSairDispatchesFindsTheEndDecided) {
    env->StartErp();
    ui.Queue([&] { m->RunHandler([&] { m->Timer1Timer(); }); });
    m->RunHandler([&] { m->Sair1Click(); });
    EXPECT_EQ(ui.closed, 1);
    EXPECT_FALSE(m->SessaoAberta());
    EXPECT_FALSE(ui.timer);
}

TEST(GenericErrorBox, FullStopRule) {
    struct Case {
        std::string message, shown;
    } cases[] = {
        {"Falha", "Falha."},       {"Falha.", "Falha."},
        {"Falha!", "Falha!"},   // '!' is 33
        {"Falha-", "Falha-"},      {"Falha\r", "Falha\r"},
        {"Falha/", "Falha/."},   // '/' is 47
        {"Valor 10", "Valor 10."}, {"", ""},
        {"Ação", "Ação."},
    };
    for (const auto& c : cases) EXPECT_EQ(Monitor::TextoErroGenerico(c.message), c.shown) << c.message;
}

}   // namespace
}   // namespace velmora
