// The update check at start-up, end to end: a real program folder, update
// folder and desktop in a temporary tree, a real embedded ERP database for
// the version bookkeeping, a loopback web server for the download, and a
// scripted updater that writes down the parameters it was given.
#include <chrono>
#include <vector>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>
#include <fcntl.h>
#include <sys/stat.h>
#include <gtest/gtest.h>

#include "maintenance/Atualizacao.h"
#include "platform/Paths.h"
#include "tests/maintenance/LocalServers.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/ScriptedUi.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestDatabase.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::HttpAnswer;
using test::HttpTestServer;

constexpr const char* kDownloadPath = "/update/Atualizacao/velmora%20Empresa/velmoraAtualizador.exe";
constexpr time_t kProgramTime = 1700000000;

// Can write what the user was shown to stderr as well: a death test's child
// can only tell its parent through there.
class EchoingUi : public test::ScriptedUi {
public:
    void MessageBox(const std::string& title, const std::string& text, Icon icon) override {
        if (echo) std::cerr << "message: " << text << "\n";
        ScriptedUi::MessageBox(title, text, icon);
    }
    void MostraMensagem(const std::string& text, bool confirm, bool autoClose) override {
        if (echo) std::cerr << "notice(" << confirm << "," << autoClose << "): " << text << "\n";
        ScriptedUi::MostraMensagem(text, confirm, autoClose);
    }
    bool echo = false;
};

// The engine as the update check sees it: the test's session and names, and
// a window that records what it was shown.
class Motor : public ServicosAtualizacao {
public:
    Motor(EchoingUi& ui, db::Connection& conexao, const EstadoAtualizacao& estado)
        : ui_(ui), conexao_(conexao), estado_(estado) {}
    db::Connection& Conexao() override { return conexao_; }
    const EstadoAtualizacao& EstadoDaAtualizacao() const override { return estado_; }
    void Mensagem(const std::string& titulo, const std::string& texto, Icon icone) override {
        ui_.MessageBox(titulo, texto, icone);
    }
    void MostraMensagem(const std::string& texto, bool confirma, bool fechaSozinha) override {
        ui_.MostraMensagem(texto, confirma, fechaSozinha);
    }
    [[noreturn]] void EncerraPrograma() override { throw ProgramEnd(); }

private:
    EchoingUi& ui_;
    db::Connection& conexao_;
    const EstadoAtualizacao& estado_;
};

void SetWriteTime(const fs::path& path, time_t when) {
    timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

class VerificaAtualizacaoTest : public ::testing::Test {
protected:
    VerificaAtualizacaoTest()
        : home_("HOME", dir.str() + "home"), config_("XDG_CONFIG_HOME", dir.str() + "config"),
          // Nothing listens there unless a test puts a server up.
          site_("VELMORA_UPDATE_URL", "http://127.0.0.1:" + std::to_string(test::FreePort())), session(db.Location()),
          m(ui, session.connection, estado) {
        fs::create_directories(dir.path() / "home/Desktop");
    }
    ~VerificaAtualizacaoTest() override { platform::OverrideExecutablePath(""); }

    // The running program in "Programa Velmora", the server configuration in
    // "Sistema Velmora/Dados": the update folder is "Sistema Velmora/Update".
    void Install(const std::string& programa = "velmoraMonitorMDFe.exe") {
        const std::string program = dir.Write("Programa Velmora/" + programa, "program, new build");
        SetWriteTime(program, kProgramTime);
        platform::OverrideExecutablePath(program);
        const std::string ini = dir.Write("Sistema Velmora/Dados/servidor.ini", "[Database]\n");
        estado = PreparaAtualizacao(db.Location(), ini);
        ASSERT_EQ(estado.pastaAtualizacao, dir.str() + "Sistema Velmora/Update");
    }
    static std::string Update(const std::string& name) { return "Sistema Velmora/Update/" + name; }
    // The program's copy in the update folder, `offset` seconds off the
    // running program's write time.
    void PutCopy(time_t offset, const std::string& programa = "velmoraMonitorMDFe.exe") {
        SetWriteTime(dir.Write(Update(programa), "program, some build"), kProgramTime + offset);
    }
    // An updater that writes its arguments, one a line, next to the tree.
    void PutUpdater() {
        const std::string log = dir.str() + "updater-argv";
        const std::string script =
            dir.Write(Update("velmoraAtualizador.exe"),
                      "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + log + ".tmp'\nmv '" + log + ".tmp' '" + log + ".txt'\n");
        fs::permissions(script, fs::perms(0755));
    }
    // Download leftovers in the update folder: every workstation downloads
    // under a name of its own beginning with "oldvelmoraAtualizador.exe".
    std::vector<std::string> Leftovers() const {
        std::vector<std::string> names;
        if (!dir.Exists("Sistema Velmora/Update")) return names;
        for (const auto& entry : fs::directory_iterator(dir.path() / "Sistema Velmora/Update"))
            if (entry.path().filename().string().starts_with("oldvelmoraAtualizador.exe"))
                names.push_back(entry.path().filename().string());
        return names;
    }
    bool Bookkept() {
        return db.Value("select count(*) from RDB$RELATION_FIELDS where RDB$RELATION_NAME = 'TAB_PARAMETRO' "
                        "and RDB$FIELD_NAME = 'VERSAO_ERP'") == "1";
    }
    void Check(int modo = 1) { versao = VerificaAtualizacao(m, modo); }

    test::TempDir dir;
    test::ScopedEnv home_, config_, site_;
    test::TestDatabase db;
    test::Session session;
    EchoingUi ui;
    EstadoAtualizacao estado;
    Motor m;
    VersaoBanco versao;
};

TEST_F(VerificaAtualizacaoTest, DebugMarkerBlocksTheWholeCheck) {
    Install();
    dir.Write("Programa Velmora/DebugarDelphi.tmp", "");
    PutCopy(-3600);

    Check();

    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, "Aviso do Sistema");
    EXPECT_EQ(ui.messages[0].text, "O aplicativo velmoraMonitorMDFe.exe não será atualizado. A pasta " + dir.str() +
                                       "Programa Velmora está com o arquivo DebugarDelphi.tmp");
    EXPECT_EQ(ui.messages[0].icon, Icon::Warning);
    EXPECT_TRUE(ui.notices.empty());
    EXPECT_FALSE(Bookkept());
    EXPECT_FALSE(dir.Exists(Update("velmoraAtualizador.exe")));
}

TEST_F(VerificaAtualizacaoTest, MissingUpdaterIsDownloadedIntoANewUpdateFolder) {
    HttpTestServer server([](const std::string& request) {
        return request == std::string("GET ") + kDownloadPath + " HTTP/1.1" ? HttpAnswer{200, "updater v9", {}}
                                                                            : HttpAnswer{404, "", {}};
    });
    test::ScopedEnv site("VELMORA_UPDATE_URL", server.Url());
    Install();
    fs::create_directories(dir.path() / "Sistema Velmora/Update");
    PutCopy(0);
    Check();

    EXPECT_EQ(dir.Read(Update("velmoraAtualizador.exe")), "updater v9");
    EXPECT_TRUE(Leftovers().empty());
    EXPECT_EQ(server.Requests().size(), 1u);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(Bookkept());
    EXPECT_EQ(versao.VersaoERP, "Versao Inicial");
}

TEST_F(VerificaAtualizacaoTest, UpdateFolderIsCreatedWhenMissing) {
    Install();
    dir.Write("Programa Velmora/DebugarDelphi.tmp", "");
    Check();
    EXPECT_FALSE(dir.Exists("Sistema Velmora/Update"));   // the marker stops before

    fs::remove(dir.path() / "Programa Velmora/DebugarDelphi.tmp");
    ui.messages.clear();
    EXPECT_THROW(Check(), ProgramEnd);   // nothing to download from
    EXPECT_TRUE(fs::is_directory(dir.path() / "Sistema Velmora/Update"));
}

TEST_F(VerificaAtualizacaoTest, FailedDownloadEndsTheProgramBeforeTheBookkeeping) {
    HttpTestServer server([](const std::string&) { return HttpAnswer{404, "not here", {}}; });
    test::ScopedEnv site("VELMORA_UPDATE_URL", server.Url());
    Install();
    PutCopy(0);

    EXPECT_THROW(Check(), ProgramEnd);

    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, "Aviso do Sistema");
    EXPECT_EQ(ui.messages[0].text,
              "Não foi possível baixar o aplicativo para atualização inicial do seu sistema. Tente novamente mais "
              "tarde ou entre em contato com o suporte técnico da velmora.");
    EXPECT_EQ(ui.messages[0].icon, Icon::None);
    EXPECT_TRUE(Leftovers().empty());
    EXPECT_FALSE(dir.Exists(Update("velmoraAtualizador.exe")));
    EXPECT_FALSE(Bookkept());
    EXPECT_EQ(versao.VersaoERP, "");
}

// Workstations that start together all find the updater missing from the
// shared folder and download it at once: the folder ends with one whole
// updater and nothing else.
TEST_F(VerificaAtualizacaoTest, DownloadsRacingIntoTheSharedFolderLeaveOneWholeUpdater) {
    const std::string body(256 * 1024, 'u');
    HttpTestServer server([&](const std::string&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        return HttpAnswer{200, body, {}};
    });
    test::ScopedEnv site("VELMORA_UPDATE_URL", server.Url());
    Install();
    fs::create_directories(dir.path() / "Sistema Velmora/Update");
    bool baixou[3] = {};
    std::vector<std::thread> estacoes;
    for (bool& b : baixou) estacoes.emplace_back([&] { b = BaixaAtualizador(estado.pastaAtualizacao); });
    for (auto& t : estacoes) t.join();
    for (bool b : baixou) EXPECT_TRUE(b);
    EXPECT_EQ(dir.Read(Update("velmoraAtualizador.exe")), body);
    EXPECT_TRUE(Leftovers().empty());

    // A download that fails leaves the folder as it found it.
    fs::remove(dir.path() / Update("velmoraAtualizador.exe"));
    HttpTestServer broken([&](const std::string&) { return HttpAnswer{500, "half", {}}; });
    test::ScopedEnv brokenSite("VELMORA_UPDATE_URL", broken.Url());
    EXPECT_FALSE(BaixaAtualizador(estado.pastaAtualizacao));
    EXPECT_TRUE(fs::is_empty(dir.path() / "Sistema Velmora/Update"));
}

TEST_F(VerificaAtualizacaoTest, UpdaterCopiedOnTheFirstRunSparesTheDownload) {
    HttpTestServer server([](const std::string&) { return HttpAnswer{200, "downloaded", {}}; });
    test::ScopedEnv site("VELMORA_UPDATE_URL", server.Url());
    Install("velmoraEmpresa.exe");
    dir.Write("Mestre/velmoraAtualizador.exe", "from the master folder");
    dir.Write("Programa Velmora/Exec-velmoraEmpresa.ini", "[configuracao]\npastamestre=" + dir.str() + "Mestre\n");
    fs::create_directories(dir.path() / "Sistema Velmora/Update");
    PutCopy(0, "velmoraEmpresa.exe");

    Check();

    EXPECT_EQ(dir.Read(Update("velmoraAtualizador.exe")), "from the master folder");
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_TRUE(dir.Exists("home/Desktop/Novo velmoraEmpresa.desktop"));
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(VerificaAtualizacaoTest, EndsOrGoesOnWithoutHandingOver) {
    struct Case {
        const char* name;
        int modo;
        std::optional<time_t> copyOffset;   // no copy at all when empty
        bool updaterIsAFolder;              // so that it can be neither found nor fetched
        std::string message;                // with the update folder after it when not empty
    };
    const std::string ending = ".\rO Sistema será finalizado.";
    const Case cases[] = {
        {"equal dates: current", 1, 0, false, ""},
        {"other mode stops after the bookkeeping", 0, std::nullopt, false, ""},
        {"no copy in the update folder", 1, std::nullopt, false,
         "Falha na atualização do aplicativo. Não foi encontrado o arquivo velmoraMonitorMDFe.exe na pasta "},
        {"no updater for a newer copy", 1, 3600, true,
         "Falha na atualização do aplicativo. Não foi encontrado o arquivo velmoraAtualizador.exe na pasta "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(dir.path() / "Sistema Velmora/Update");
        fs::create_directories(dir.path() / "Sistema Velmora/Update");
        ui.messages.clear();
        ui.notices.clear();
        Install();
        if (c.copyOffset) PutCopy(*c.copyOffset);
        HttpTestServer server([](const std::string&) { return HttpAnswer{200, "updater", {}}; });
        test::ScopedEnv site("VELMORA_UPDATE_URL", server.Url());
        if (c.updaterIsAFolder) fs::create_directories(dir.path() / Update("velmoraAtualizador.exe"));
        else PutUpdater();

        if (c.message.empty()) {
            Check(c.modo);
            EXPECT_TRUE(ui.messages.empty());
        } else {
            EXPECT_THROW(Check(c.modo), ProgramEnd);
            ASSERT_EQ(ui.messages.size(), 1u);
            EXPECT_EQ(ui.messages[0].title, "Aviso do Sistema");
            EXPECT_EQ(ui.messages[0].text, c.message + dir.str() + "Sistema Velmora/Update" + ending);
            EXPECT_EQ(ui.messages[0].icon, Icon::Warning);
        }
        EXPECT_TRUE(ui.notices.empty());
        EXPECT_TRUE(Bookkept());
        EXPECT_FALSE(dir.Exists("updater-argv.txt"));
    }
}

// gtest hands the child's stderr to a matcher; this one keeps it.
class KeepText : public ::testing::MatcherInterface<const std::string&> {
public:
    explicit KeepText(std::string* kept) : kept_(kept) {}
    bool MatchAndExplain(const std::string& text, ::testing::MatchResultListener*) const override {
        *kept_ = text;
        return true;
    }
    void DescribeTo(std::ostream* os) const override { *os << "any text"; }

private:
    std::string* kept_;
};

std::string After(const std::string& text, const std::string& label) {
    auto at = text.find(label);
    if (at == std::string::npos) return "";
    at += label.size();
    return text.substr(at, text.find('\n', at) - at);
}

class HandOverTest : public VerificaAtualizacaoTest, public ::testing::WithParamInterface<time_t> {};

TEST_P(HandOverTest, ADifferentCopyHandsOverToTheUpdaterAndExitsAtOnce) {
    // The embedded database runs threads: the child starts afresh.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    Install();
    PutCopy(GetParam());
    PutUpdater();

    // The child runs this test again in a tree of its own, which it names on
    // stderr and leaves behind: it ends without cleaning anything up.
    std::string childErr;
    EXPECT_EXIT(
        {
            std::cerr << "tree: " << dir.str() << "\ndatabase: " << db.Dir().str() << "\n";
            ui.echo = true;
            Check();
            std::cerr << "check returned\n";
        },
        ::testing::ExitedWithCode(0), ::testing::MakeMatcher(new KeepText(&childErr)));

    const std::string tree = After(childErr, "tree: ");
    ASSERT_FALSE(tree.empty()) << childErr;
    EXPECT_EQ(After(childErr, "notice(0,1): "),
              "AVISO: Existe uma nova versão do aplicativo velmoraMonitorMDFe. A atualização será feita "
              "automaticamente. Aguarde...");
    EXPECT_EQ(childErr.find("message: "), std::string::npos) << childErr;
    EXPECT_EQ(childErr.find("check returned"), std::string::npos);

    // The updater may still be starting when the monitor is gone.
    const fs::path argvFile = tree + "updater-argv.txt";
    for (int i = 0; i < 200 && !fs::exists(argvFile); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::ifstream in(argvFile);
    std::vector<std::string> argv;
    for (std::string line; std::getline(in, line);) argv.push_back(line);
    EXPECT_EQ(argv, (std::vector<std::string>{"@F1", "@M" + tree + "Sistema§Velmora/Update",
                                              "@E" + tree + "Programa§Velmora", "@AvelmoraMonitorMDFe.exe"}));

    fs::remove_all(tree);
    if (auto database = After(childErr, "database: "); !database.empty()) fs::remove_all(database);
}

INSTANTIATE_TEST_SUITE_P(Copies, HandOverTest, ::testing::Values(time_t(-3600), time_t(3600)),
                         [](const auto& info) { return info.param < 0 ? "Older" : "Newer"; });

}   // namespace
}   // namespace velmora
