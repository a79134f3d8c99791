// First-run steps in a real program folder, update folder and desktop.
#include <filesystem>
#include <gtest/gtest.h>

#include "maintenance/PrimeiraExecucao.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

// A program folder, an update folder with a blank in its name, a master
// folder and a home whose desktop is the default one.
class PrimeiraExecucaoTest : public ::testing::Test {
protected:
    PrimeiraExecucaoTest() : home_("HOME", dir.str() + "home"), config_("XDG_CONFIG_HOME", dir.str() + "config") {
        fs::create_directories(dir.path() / "home/Desktop");
        fs::create_directories(dir.path() / "Sistema Velmora/Update");
        fs::create_directories(dir.path() / "Programa");
    }

    EstadoAtualizacao Estado(const std::string& programa) const {
        EstadoAtualizacao estado;
        estado.programa = programa;
        estado.pastaPrograma = dir.str() + "Programa";
        estado.pastaAtualizacao = dir.str() + "Sistema Velmora/Update";
        estado.pastaAtualizacaoCodificada = dir.str() + "Sistema§Velmora/Update";
        estado.pastaProgramaCodificada = estado.pastaPrograma;
        return estado;
    }

    // The installer's marker naming the master folder.
    void Marker(const std::string& name, const std::string& pastaMestre) const {
        dir.Write("Programa/" + name, "[configuracao]\npastamestre=" + pastaMestre + "\n");
    }

    std::string Desktop(const std::string& name) const { return "home/Desktop/" + name; }

    test::TempDir dir;

private:
    test::ScopedEnv home_, config_;
};

TEST_F(PrimeiraExecucaoTest, MarkerPresentMakesTheLauncherCleansUpAndFillsTheUpdateFolder) {
    dir.Write("Mestre/velmoraAtualizador.exe", "updater");
    dir.Write("Mestre/NOVO.EXE", "novo");
    dir.Write("Mestre/velmoraEmpresa.exe", "master copy");
    dir.Write("Mestre/leiame.txt", "not an executable");
    dir.Write("Sistema Velmora/Update/velmoraEmpresa.exe", "copy already there");
    Marker("Exec-velmoraEmpresa.ini", dir.str() + "Mestre");
    dir.Write("Programa/Exec-velmoraEmpresa.exe", "installer leftover");

    VerificaPrimeiraExecucao(Estado("velmoraEmpresa.exe"));

    ASSERT_TRUE(dir.Exists(Desktop("Novo velmoraEmpresa.desktop")));
    EXPECT_EQ(dir.Read(Desktop("Novo velmoraEmpresa.desktop")),
              "[Desktop Entry]\nType=Application\nName=velmoraEmpresa\nExec=\"" + dir.str() +
                  "Programa/velmoraEmpresa.exe\"\n");
    EXPECT_EQ(fs::status(dir.path() / Desktop("Novo velmoraEmpresa.desktop")).permissions() & fs::perms::all,
              fs::perms(0755));

    EXPECT_FALSE(dir.Exists("Programa/Exec-velmoraEmpresa.ini"));
    EXPECT_FALSE(dir.Exists("Programa/Exec-velmoraEmpresa.exe"));

    EXPECT_EQ(dir.Read("Sistema Velmora/Update/velmoraAtualizador.exe"), "updater");
    EXPECT_EQ(dir.Read("Sistema Velmora/Update/NOVO.EXE"), "novo");
    EXPECT_EQ(dir.Read("Sistema Velmora/Update/velmoraEmpresa.exe"), "copy already there");
    EXPECT_FALSE(dir.Exists("Sistema Velmora/Update/leiame.txt"));
}

TEST_F(PrimeiraExecucaoTest, WithoutMarkerOnlyTheLeftoverGoes) {
    dir.Write("Mestre/velmoraAtualizador.exe", "updater");
    dir.Write("Programa/Exec-velmoraEmpresa.exe", "installer leftover");
    dir.Write("Programa/outro.ini", "[configuracao]\npastamestre=" + dir.str() + "Mestre\n");

    VerificaPrimeiraExecucao(Estado("velmoraEmpresa.exe"));

    EXPECT_FALSE(dir.Exists("Programa/Exec-velmoraEmpresa.exe"));
    EXPECT_TRUE(fs::is_empty(dir.path() / "home/Desktop"));
    EXPECT_TRUE(fs::is_empty(dir.path() / "Sistema Velmora/Update"));
}

TEST_F(PrimeiraExecucaoTest, ProgramNameLetterCase) {
    struct Case {
        const char* programa;
        const char* marcador;   // the name the installer gives the marker
        const char* atalho;
        bool copia;
    };
    const Case cases[] = {
        {"velmoraEmpresa.exe", "Exec-velmoraEmpresa.ini", "Novo velmoraEmpresa.desktop", true},
        {"velmoraEmpresa4.exe", "Exec-velmoraEmpresa4.ini", "Novo velmoraEmpresa4.desktop", true},
        {"VelmoraEmpresa.exe", "Exec-VelmoraEmpresa.ini", "Novo VelmoraEmpresa.desktop", false},
        {"velmoraMonitorMDFe.exe", "Exec-velmoraMonitorMDFe.ini", "Novo velmoraMonitorMDFe.desktop", false},
        // ".EXE" is not replaced: marker and leftover are one file, deleted
        // as the leftover, and nothing is left for the last deletion.
        {"velmoraEmpresa.EXE", "Exec-velmoraEmpresa.EXE", "Novo velmoraEmpresa.desktop", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.programa);
        fs::remove_all(dir.path() / "home/Desktop");
        fs::create_directories(dir.path() / "home/Desktop");
        fs::remove_all(dir.path() / "Sistema Velmora/Update");
        fs::create_directories(dir.path() / "Sistema Velmora/Update");
        dir.Write("Mestre/velmoraAtualizador.exe", "updater");
        Marker(c.marcador, dir.str() + "Mestre");

        VerificaPrimeiraExecucao(Estado(c.programa));

        EXPECT_TRUE(dir.Exists(Desktop(c.atalho)));
        EXPECT_FALSE(dir.Exists(std::string("Programa/") + c.marcador));
        EXPECT_EQ(dir.Exists("Sistema Velmora/Update/velmoraAtualizador.exe"), c.copia);
    }
}

TEST_F(PrimeiraExecucaoTest, LauncherIsReplacedAndNotMadeAgainOnTheNextStart) {
    dir.Write(Desktop("Novo velmoraMonitorMDFe.desktop"), "an older launcher, longer than the new one ..........");
    Marker("Exec-velmoraMonitorMDFe.ini", "");

    VerificaPrimeiraExecucao(Estado("velmoraMonitorMDFe.exe"));
    EXPECT_EQ(dir.Read(Desktop("Novo velmoraMonitorMDFe.desktop")).rfind("[Desktop Entry]\n", 0), 0u);
    EXPECT_EQ(dir.Read(Desktop("Novo velmoraMonitorMDFe.desktop")).find("older"), std::string::npos);

    fs::remove(dir.path() / Desktop("Novo velmoraMonitorMDFe.desktop"));
    VerificaPrimeiraExecucao(Estado("velmoraMonitorMDFe.exe"));
    EXPECT_FALSE(dir.Exists(Desktop("Novo velmoraMonitorMDFe.desktop")));
}

TEST_F(PrimeiraExecucaoTest, NoUsableMasterFolderCopiesNothing) {
    const char* masters[] = {"", "missing folder"};
    for (const char* master : masters) {
        SCOPED_TRACE(master);
        Marker("Exec-velmoraEmpresa.ini", *master ? dir.str() + master : "");
        EXPECT_NO_THROW(CopiaExecutaveis(Estado("velmoraEmpresa.exe")));
        EXPECT_TRUE(fs::is_empty(dir.path() / "Sistema Velmora/Update"));
    }
}

TEST_F(PrimeiraExecucaoTest, DesktopFolderFromXdgUserDirsElseHomeDesktop) {
    dir.Write("config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Área de Trabalho\"\n");
    EXPECT_EQ(PastaAreaTrabalho(), dir.str() + "home/Área de Trabalho/");
    {
        // Without xdg-user-dir on the path the localised name is unknown.
        test::ScopedEnv noPath("PATH", "/nonexistent");
        EXPECT_EQ(PastaAreaTrabalho(), dir.str() + "home/Desktop/");
    }
    fs::remove(dir.path() / "config/user-dirs.dirs");
    EXPECT_EQ(PastaAreaTrabalho(), dir.str() + "home/Desktop/");
}

TEST(DesktopExecValue, QuotedAndEscapedForDesktopEntries) {
    struct Case {
        const char* program;
        const char* exec;
    };
    const Case cases[] = {
        {"/opt/velmora/velmoraMonitorMDFe", R"("/opt/velmora/velmoraMonitorMDFe")"},
        {"/opt/meu sistema/prog", R"("/opt/meu sistema/prog")"},
        {"/opt/a$b`c/prog", R"("/opt/a\\$b\\`c/prog")"},
        {"/opt/a\"b/prog", R"("/opt/a\\"b/prog")"},
        {"/opt/a\\b/prog", R"("/opt/a\\\\b/prog")"},
        {"/opt/100%/prog", R"("/opt/100%%/prog")"},
    };
    for (const auto& c : cases) EXPECT_EQ(DesktopExecValue(c.program), c.exec) << c.program;
}

}   // namespace
}   // namespace velmora
