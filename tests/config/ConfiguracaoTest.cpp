// Finding the database through the ERP's INI files, and the server's data
// folder, with real files beside a pretended program path.
#include <gtest/gtest.h>

#include <filesystem>

#include "config/Configuracao.h"
#include "monitor/Monitor.h"
#include "platform/Paths.h"
#include "tests/support/ScriptedUi.h"
#include "tests/support/TempDir.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

class Configuration : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir.path() / "App/Monitor");
        platform::OverrideExecutablePath(dir.str() + "App/Monitor/velmoraMonitorMDFe");
    }
    void TearDown() override { platform::OverrideExecutablePath(""); }
    std::string ServerIni(const std::string& body) {
        return dir.Write("Srv/Dados/servidor.ini", "[Database]\r\n" + body);
    }
    void LocalIni(const std::string& name, const std::string& serverIni) {
        dir.Write("App/Monitor/" + name, "[IniServidor]\r\nnomearquivo=" + serverIni + "\r\n");
    }
    // Runs `step` as a handler would; true when it ended the program.
    template <typename F>
    bool Ends(F step) {
        try {
            step();
            return false;
        } catch (const ProgramEnd&) {
            return true;
        }
    }
    // The message of the missing file that `step` reports; "" when it reports none.
    template <typename F>
    static std::string Missing(F step) {
        try {
            step();
            return "";
        } catch (const ConfiguracaoAusente& e) {
            return e.Message();
        }
    }
    test::TempDir dir;
    test::ScriptedUi ui;
    Monitor m{ui};
};

TEST_F(Configuration, DatabaseLocation) {
    struct Case {
        std::string servidor, path, name, location;
    } cases[] = {
        {"srv01", "D:\\Dados\\", "ERP.FDB", "srv01:D:\\Dados\\ERP.FDB"},
        {"", "D:\\Dados\\", "ERP.FDB", "D:\\Dados\\ERP.FDB"},
        {"   ", "/srv/dados/", "erp.fdb", "/srv/dados/erp.fdb"},
        {" srv01 ", "/d/", "e.fdb", "srv01:/d/e.fdb"},   // the INI rules trim the value
        {"", "", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.location);
        std::string server = ServerIni("Servidor=" + c.servidor + "\r\npath=" + c.path + "\r\nname=" + c.name + "\r\n");
        LocalIni("velmoraempresa.ini", server);
        Configuracao configuracao = LeConfiguracao();
        EXPECT_EQ(configuracao.LocalBanco(), c.location);
        EXPECT_EQ(configuracao.locainiServidor, server);
    }
}

TEST_F(Configuration, TheErpsFourthProgramChoosesItsOwnIni) {
    std::string four = dir.Write("Srv4/Dados/servidor.ini", "[Database]\r\npath=/four/\r\nname=db.fdb\r\n");
    std::string plain = ServerIni("path=/plain/\r\nname=db.fdb\r\n");
    LocalIni("velmoraempresa.ini", plain);
    LocalIni("velmoraempresa4.ini", four);
    EXPECT_EQ(LeConfiguracao().LocalBanco(), "/plain/db.fdb");
    // The ERP installs its program with capitals; the name is found all the same.
    dir.Write("App/Monitor/velmoraEmpresa4.exe", "");
    EXPECT_EQ(LeConfiguracao().LocalBanco(), "/four/db.fdb");
}

TEST_F(Configuration, MissingServerIniIsReportedWithItsMessage) {
    for (std::string local : {std::string(""), std::string("[IniServidor]\r\nnomearquivo=/nowhere/x.ini\r\n"),
                              std::string("[Outra]\r\nnomearquivo=x\r\n")}) {
        if (!local.empty()) dir.Write("App/Monitor/velmoraempresa.ini", local);
        EXPECT_EQ(Missing([] { LeConfiguracao(); }), "Não foi encontrado o arquivo de inicialização");
    }
}

TEST_F(Configuration, ServerDataFolder) {
    std::string server = ServerIni("");
    LocalIni("velmoraempresa.ini", server);
    EXPECT_EQ(PastaDadosServidor(), dir.str() + "Srv/Dados/");

    // The configured file went away.
    fs::remove(server);
    EXPECT_EQ(Missing([] { PastaDadosServidor(); }),
              "Não foi encontrado o arquivo de inicialização dentro da pasta velmora Empresa");

    // No local INI file: the folder "Dados" beside the program's folder.
    fs::remove(dir.path() / "App/Monitor/velmoraempresa.ini");
    EXPECT_EQ(Missing([] { PastaDadosServidor(); }), "Não foi encontrado a pasta Dados no servidor");
    fs::create_directories(dir.path() / "App/Dados");
    EXPECT_EQ(PastaDadosServidor(), dir.str() + "App/Dados\\");
}

TEST_F(Configuration, ConnectionFailureEndsStartUpWithTheErrorsTypeAndText) {
    EXPECT_TRUE(Ends([&] { m.ConectaBanco("  " + dir.str() + "missing.fdb  "); }));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, "Aviso do Sistema");
    const std::string prefix = "O Sistema não conseguiu conectar com a base de dados.\rEDatabaseError: ";
    EXPECT_EQ(ui.messages[0].text.substr(0, prefix.size()), prefix);
    EXPECT_NE(ui.messages[0].text.find("missing.fdb"), std::string::npos);
    // The location was trimmed before it was tried.
    EXPECT_EQ(m.NomeBanco(), dir.str() + "missing.fdb");
    EXPECT_FALSE(m.Conectado());
}

}   // namespace
}   // namespace velmora
