// Start-up as the window runs it: counters, version line, configuration,
// session, first cycle, update check, timer; and what an error in any of
// them leaves behind.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "monitor/Monitor.h"
#include "platform/Locale.h"
#include "tests/support/ErpEnvironment.h"
#include "tests/support/FileTimes.h"
#include "tests/support/ScriptedUi.h"
#include "tests/support/TestDatabase.h"
#include "tools/transmissor/Documentos.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

class StartUp : public ::testing::Test {
protected:
    void SetUp() override {
        platform::OverrideLocale(platform::LocaleSettings{"%d/%m/%Y", "%H:%M:%S", "."});
        // The program was last written on 25 March 2019 at 14:37:22.
        test::SetLocalWriteTime(env.Program(), 2019, 3, 25, 14, 37, 22);
        env.PrepareCurrentUpdateFolder();
        root = db.Dir().str() + "mdfe/";
        fs::create_directories(root);
        db.SetRootFolder(root);
    }
    void TearDown() override { platform::OverrideLocale(std::nullopt); }
    void Start() {
        m.RunHandler([&] { m.FormCreate(); });
    }

    test::TestDatabase db;
    test::ErpEnvironment env{db.Location()};
    test::ScriptedUi ui;
    Monitor m{ui};
    std::string root;
};

TEST_F(StartUp, RunsEveryStepAndSwitchesTheTimerOn) {
    db.AddCompany("11111111000111");
    ui.counters.iLotesErro = 99;   // whatever the labels showed before
    Start();
    EXPECT_EQ(ui.version, "Versão: 25/03/2019 14:37");
    EXPECT_EQ(ui.counters, Contadores{});
    EXPECT_GE(ui.counterRedraws, 2);   // drawn at start, then after the company pass
    EXPECT_EQ(ui.fileName, "");
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ui.closed, 0);
    EXPECT_TRUE(ui.timer);
    EXPECT_TRUE(m.Conectado());
    EXPECT_TRUE(fs::is_directory(root + "11111111000111/Retorno/OK"));
    // The version bookkeeping ran inside the update check.
    EXPECT_EQ(m.versaoBanco().VersaoERP, "Versao Inicial");
    EXPECT_EQ(m.atualizacao().pastaAtualizacao, env.Dir().str() + "Update");
}

TEST_F(StartUp, AnErrorInTheFirstCycleIsShownAndTheTimerStaysOn) {
    env.StartErp();
    db.AddCompany("11111111000111");
    fs::create_directories(root + "11111111000111/Retorno");
    db.Dir().Write("mdfe/11111111000111/Retorno/1-pro-rec.xml", "<retConsReciMDFe xmlns=\"" +
                                                                    std::string(transmissor::kNamespace) +
                                                                    "\"><cStat>104</cStat></retConsReciMDFe>");
    Start();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, "velmora Monitor MDF-e");
    EXPECT_EQ(ui.messages[0].icon, Icon::Error);
    EXPECT_EQ(ui.messages[0].text, "Elemento protMDFe não encontrado no arquivo de retorno.");
    // A monitor that never ticked would never notice the ERP ending.
    EXPECT_TRUE(ui.timer);
    EXPECT_EQ(ui.closed, 0);
    // The update check did not run.
    EXPECT_EQ(m.versaoBanco().VersaoERP, "");
    EXPECT_EQ(ui.status, "Parado: Elemento protMDFe não encontrado no arquivo de retorno — 1-pro-rec.xml");

    // The next tick tries again and, the file mended, goes through.
    fs::remove(root + "11111111000111/Retorno/1-pro-rec.xml");
    m.RunHandler([&] { m.Timer1Timer(); });
    EXPECT_TRUE(ui.timer);
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.status, "");
    EXPECT_EQ(ui.closed, 0);
}

TEST_F(StartUp, ARecordLockedByAnERPUserDoesNotStopStartUp) {
    env.StartErp();
    const int company = db.AddCompany("11111111000111");
    const std::string key = transmissor::ChaveAcesso("11111111000111", 5, 12345678);
    const int id = db.AddMdfe(company, key);
    fs::create_directories(root + "11111111000111/Retorno");
    transmissor::Evento e;
    e.chMDFe = key;
    db.Dir().Write("mdfe/11111111000111/Retorno/" + transmissor::NomeEvento(key), transmissor::RetEventoMDFe(e));
    test::Session user(db.Location());
    db::Query edit(user.connection, "qryErp", &user.transaction);
    edit.SetSQL("update mov_mdfe set NO_LOTE_MDFE = 3 where id_mdf = " + std::to_string(id));
    edit.ExecSQL();

    Start();
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(ui.timer);
    EXPECT_EQ(m.versaoBanco().VersaoERP, "Versao Inicial");
    EXPECT_TRUE(fs::exists(root + "11111111000111/Retorno/" + transmissor::NomeEvento(key)));

    edit.SetSQL(" commit");
    edit.ExecSQL();
    m.RunHandler([&] { m.Timer1Timer(); });
    EXPECT_TRUE(fs::exists(root + "11111111000111/Retorno/OK/" + transmissor::NomeEvento(key)));
    EXPECT_EQ(m.contadores().iMDFeEncerrada, 1);
}

TEST_F(StartUp, ZerarValoresResetsWithoutTouchingTheTimer) {
    db.AddCompany("11111111000111");
    Start();
    // A receipt error counted by a cycle, and a name on the file line.
    db.Dir().Write("mdfe/11111111000111/Retorno/1-rec.err", "x");
    m.ProcessaEmpresas();
    ASSERT_EQ(ui.counters.iLotesErro, 1);
    m.MostraArquivo("x-sit.xml");
    m.RunHandler([&] { m.BitBtn2Click(); });
    EXPECT_EQ(ui.counters, Contadores{});
    EXPECT_EQ(ui.fileName, "");
    EXPECT_TRUE(ui.timer);
}

TEST_F(StartUp, EndsBeforeTouchingAnythingWithoutItsConfiguration) {
    fs::remove(env.ServerIni());
    db.AddCompany("11111111000111");
    Start();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Não foi encontrado o arquivo de inicialização");
    EXPECT_EQ(ui.closed, 1);
    EXPECT_FALSE(m.SessaoAberta());
    EXPECT_FALSE(fs::exists(root + "11111111000111"));
    EXPECT_FALSE(ui.timer);
}

}   // namespace
}   // namespace velmora
