#include "tests/e2e/Estacao.h"

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include "platform/Processes.h"
#include "tests/e2e/LeituraContadores.h"

extern char** environ;

namespace velmora::test::e2e {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

std::vector<std::string> Mescla(const std::vector<std::string>& extra) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string entrada = *e;
        std::string nome = entrada.substr(0, entrada.find('='));
        bool trocada = false;
        for (const auto& x : extra)
            if (x.substr(0, x.find('=')) == nome) trocada = true;
        if (!trocada) env.push_back(entrada);
    }
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
}

std::vector<char*> Ponteiros(std::vector<std::string>& textos) {
    std::vector<char*> p;
    for (auto& t : textos) p.push_back(t.data());
    p.push_back(nullptr);
    return p;
}

// Starts a program with its output into `log` (or a pipe when `saida`).
pid_t Inicia(std::vector<std::string> args, const std::vector<std::string>& extra, const std::string& log,
             int* saida = nullptr) {
    std::vector<std::string> env = Mescla(extra);
    auto argv = Ponteiros(args);
    auto envp = Ponteiros(env);
    posix_spawn_file_actions_t acoes;
    posix_spawn_file_actions_init(&acoes);
    int tubo[2] = {-1, -1};
    if (saida) {
        if (pipe(tubo) != 0) throw std::runtime_error("pipe");
        posix_spawn_file_actions_adddup2(&acoes, tubo[1], 1);
        posix_spawn_file_actions_adddup2(&acoes, tubo[1], 2);
        posix_spawn_file_actions_addclose(&acoes, tubo[0]);
        posix_spawn_file_actions_addclose(&acoes, tubo[1]);
    } else {
        posix_spawn_file_actions_addopen(&acoes, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        posix_spawn_file_actions_adddup2(&acoes, 1, 2);
    }
    posix_spawn_file_actions_addopen(&acoes, 0, "/dev/null", O_RDONLY, 0);
    pid_t pid = -1;
    int erro = posix_spawnp(&pid, argv[0], &acoes, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&acoes);
    if (saida) {
        close(tubo[1]);
        *saida = tubo[0];
    }
    if (erro != 0) {
        if (saida) close(tubo[0]);
        throw std::runtime_error("cannot start " + args[0]);
    }
    return pid;
}

// The Xvfb this process started, ended with it.
struct XvfbProprio {
    pid_t pid = -1;
    ~XvfbProprio() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
};

bool Existe(const std::string& p) { return fs::exists(p); }

std::string Le(const std::string& caminho) {
    std::ifstream in(caminho, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<unsigned long> Janelas(pid_t pid) {
    Saida s = Executa({"xdotool", "search", "--onlyvisible", "--pid", std::to_string(pid)});
    std::vector<unsigned long> ids;
    std::istringstream in(s.texto);
    for (std::string linha; std::getline(in, linha);)
        if (!linha.empty() && std::isdigit(static_cast<unsigned char>(linha[0]))) ids.push_back(std::stoul(linha));
    return ids;
}

bool EhDialogo(unsigned long janela) {
    Saida s = Executa({"xprop", "-id", std::to_string(janela), "_NET_WM_WINDOW_TYPE"});
    return s.texto.find("_NET_WM_WINDOW_TYPE_DIALOG") != std::string::npos;
}

bool Sumiu(pid_t pid, unsigned long janela, int tentativas) {
    for (int i = 0; i < tentativas; ++i) {
        auto ainda = Janelas(pid);
        if (std::find(ainda.begin(), ainda.end(), janela) == ainda.end()) return true;
        std::this_thread::sleep_for(50ms);
    }
    return false;
}

std::string Titulo(unsigned long janela) {
    Saida s = Executa({"xdotool", "getwindowname", std::to_string(janela)});
    while (!s.texto.empty() && (s.texto.back() == '\n' || s.texto.back() == '\r')) s.texto.pop_back();
    return s.texto;
}

}   // namespace

Saida Executa(const std::vector<std::string>& args, const std::vector<std::string>& env) {
    int fd = -1;
    pid_t pid = Inicia(args, env, "", &fd);
    Saida s;
    char buffer[4096];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) s.texto.append(buffer, static_cast<size_t>(n));
    close(fd);
    int status = 0;
    waitpid(pid, &status, 0);
    s.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return s;
}

void GaranteTela() {
    static XvfbProprio xvfb;
    // Never destroyed: Qt must not be torn down among the exit handlers,
    // after its own statics. A widget application: the counters are read
    // against a main window built here (LeituraContadores).
    static QApplication* app = nullptr;
    if (app) return;
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        int n = 90;
        while (Existe("/tmp/.X11-unix/X" + std::to_string(n)) || Existe("/tmp/.X" + std::to_string(n) + "-lock")) ++n;
        const std::string nome = ":" + std::to_string(n);
        xvfb.pid = Inicia({"Xvfb", nome, "-screen", "0", "1024x768x24", "-nolisten", "tcp"}, {}, "/dev/null");
        for (int i = 0; i < 100 && !Existe("/tmp/.X11-unix/X" + std::to_string(n)); ++i)
            std::this_thread::sleep_for(50ms);
        setenv("DISPLAY", nome.c_str(), 1);
    }
    // The test process talks to the same display (clipboard, screenshot).
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    static int argc = 1;
    static char nomePrograma[] = "test_e2e";
    static char* argv[] = {nomePrograma, nullptr};
    app = new QApplication(argc, argv);
}

Estacao::Estacao(const std::string& servidor) {
    GaranteTela();
    db_ = std::make_unique<TestDatabase>(TestDatabase::Access::Server);
    banco_ = db_.get();
    servidor_ = Caminho("srv/");
    fs::create_directories(servidor_ + "Dados");
    fs::create_directories(servidor_ + "Troca");
    raiz_ = servidor_ + "Troca/";
    MontaEstacao();

    const std::string& banco = banco_->Path();
    const std::string pasta = banco.substr(0, banco.find_last_of('/') + 1);
    dir_.Write("srv/Dados/velmoraempresa.ini", "[Database]\r\nServidor=" + servidor + "\r\npath=" + pasta +
                                                   "\r\nname=" + banco.substr(pasta.size()) + "\r\n");
    banco_->SetRootFolder("X:\\Troca\\");
    PreparaAtualizacao(true);
}

Estacao::Estacao(Estacao& mesmoServidor) {
    GaranteTela();
    banco_ = &mesmoServidor.Banco();
    servidor_ = mesmoServidor.servidor_;
    raiz_ = mesmoServidor.raiz_;
    MontaEstacao();
    // The copy in the update folder is the program this workstation runs:
    // same last-write time, so the update check lets it start.
    fs::last_write_time(PastaPrograma() + "velmoraMonitorMDFe",
                        fs::last_write_time(PastaAtualizacao() + "velmoraMonitorMDFe"));
}

void Estacao::MontaEstacao() {
    fs::create_directories(PastaPrograma());
    fs::create_directories(Caminho("wine/dosdevices"));
    fs::create_directories(Caminho("c/unimake/uninfe"));
    fs::create_directories(Caminho("c/unimake/unidanfe"));
    fs::create_directories(Caminho("home"));
    fs::create_directories(Caminho("run"));
    fs::permissions(Caminho("run"), fs::perms::owner_all);
    std::string x = servidor_;
    x.pop_back();
    fs::create_directory_symlink(x, Caminho("wine/dosdevices/x:"));
    fs::create_directory_symlink(Caminho("c"), Caminho("wine/dosdevices/c:"));

    // The printing tool records each command line and its working folder.
    const std::string impressor =
        dir_.Write("c/unimake/uninfe/unidanfe.exe",
                   "#!/bin/sh\n{ pwd; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; echo ---; } >> \"" +
                       Caminho("impressoes.log") + "\"\n");
    fs::permissions(impressor, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);

    fs::copy_file(VELMORA_BINARY_DIR "/velmoraMonitorMDFe", PastaPrograma() + "velmoraMonitorMDFe");
    dir_.Write("Sistema Velmora/velmoraempresa.ini", "[IniServidor]\r\nnomearquivo=X:\\Dados\\velmoraempresa.ini\r\n");
}

Estacao::~Estacao() {
    if (monitor_ > 0 && MonitorRodando()) {
        kill(monitor_, SIGKILL);
        waitpid(monitor_, nullptr, 0);
    }
    EncerraErp();
}

void Estacao::IniciaErp() {
    EncerraErp();
    fs::create_directories(Caminho("erp"));
    const std::string exe = Caminho("erp/velmoraEmpresa.exe");
    fs::copy_file("/bin/sleep", exe, fs::copy_options::overwrite_existing);
    erp_ = Inicia({exe, "900"}, {}, "/dev/null");
    for (int i = 0; i < 100 && !platform::IsProcessRunning("velmoraEmpresa.exe"); ++i)
        std::this_thread::sleep_for(10ms);
}

void Estacao::EncerraErp() {
    if (erp_ <= 0) return;
    kill(erp_, SIGKILL);
    waitpid(erp_, nullptr, 0);
    erp_ = -1;
}

void Estacao::MarcaConexao(const std::string& primeiraLinha) const {
    std::ofstream(servidor_ + "Dados/Conectado.txt", std::ios::binary) << primeiraLinha << "\r\n";
}

void Estacao::PreparaAtualizacao(bool atual) const {
    fs::create_directories(PastaAtualizacao());
    const std::string atualizador = PastaAtualizacao() + "velmoraAtualizador.exe";
    std::ofstream(atualizador, std::ios::binary)
        << ("#!/bin/sh\n{ for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > \"" + Caminho("atualizador.log") +
            "\"\n");
    fs::permissions(atualizador, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
    const std::string programa = PastaPrograma() + "velmoraMonitorMDFe";
    const std::string copia = PastaAtualizacao() + "velmoraMonitorMDFe";
    fs::copy_file(programa, copia, fs::copy_options::overwrite_existing);
    auto quando = fs::last_write_time(programa);
    fs::last_write_time(copia, atual ? quando : quando + std::chrono::hours(1));
}

std::vector<std::string> Estacao::Ambiente() const {
    return {"HOME=" + Caminho("home"), "XDG_RUNTIME_DIR=" + Caminho("run"),     "WINEPREFIX=" + Caminho("wine"),
            "QT_QPA_PLATFORM=xcb",     "VELMORA_UPDATE_URL=http://127.0.0.1:9", "LC_ALL=C.UTF-8"};
}

Saida Estacao::Transmite(const std::string& cnpj, const std::string& cenario) const {
    return Executa({VELMORA_BINARY_DIR "/tools/transmissor", banco_->Location(), cnpj, cenario}, Ambiente());
}

pid_t Estacao::IniciaPrograma() {
    // As a user starts it: from its own folder, without arguments.
    return Inicia({PastaPrograma() + "velmoraMonitorMDFe"}, Ambiente(), Caminho("monitor.log"));
}

pid_t Estacao::IniciaMonitor() {
    monitor_ = IniciaPrograma();
    status_.reset();
    return monitor_;
}

bool Estacao::MonitorRodando() {
    if (monitor_ <= 0 || status_) return false;
    int status = 0;
    pid_t r = waitpid(monitor_, &status, WNOHANG);
    if (r == 0) return true;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return false;
}

std::string Estacao::LogMonitor() const { return Le(Caminho("monitor.log")); }

std::string Estacao::Diario() const { return Le(Caminho("home/.local/state/velmoraMonitorMDFe/monitor.log")); }

std::vector<std::string> Estacao::Impressoes() const {
    std::vector<std::string> feitas;
    const std::string registro = Le(Caminho("impressoes.log"));
    for (size_t i = 0, fim; (fim = registro.find("---\n", i)) != std::string::npos; i = fim + 4)
        feitas.push_back(registro.substr(i, fim - i));
    return feitas;
}

void Estacao::AtendeDialogos() {
    if (monitor_ <= 0 || !MonitorRodando()) return;
    auto lidos = Atende(monitor_);
    dialogos_.insert(dialogos_.end(), lidos.begin(), lidos.end());
}

std::vector<Dialogo> Estacao::Atende(pid_t pid) {
    // Qt's message boxes on X carry no text another program can read (no
    // accessibility bus here, no copy key on this platform). The buttons
    // tell a question from a message: only a question has "&No", whose
    // mnemonic answers it; a message then takes Return for its OK.
    std::vector<Dialogo> lidos;
    for (unsigned long janela : Janelas(pid)) {
        if (!EhDialogo(janela)) continue;
        // Keys are sent to the window itself, not to whatever has the focus:
        // other tests may be answering dialogs on the same display.
        Dialogo d{Titulo(janela), false};
        // Several monitors share the display: the box gets the keyboard
        // first, or its key may go unheard (there is no window manager to
        // hand the focus over, and a neighbour's new box may take it between
        // the focus and the key). A monitor busy with its neighbours' load
        // (three on one machine, under the sanitizers) may also take a while
        // to take the key. So the key is given again, with the focus, a few
        // times: only a box still there after all of them is a message,
        // whose Return is then its OK.
        for (int vez = 0; vez < 4 && !d.pergunta; ++vez) {
            Executa({"xdotool", "windowfocus", "--sync", std::to_string(janela)});
            Executa({"xdotool", "key", "--window", std::to_string(janela), "alt+n"});
            d.pergunta = Sumiu(pid, janela, 40);
        }
        if (!d.pergunta) {
            Executa({"xdotool", "key", "--window", std::to_string(janela), "Return"});
            Sumiu(pid, janela, 40);
        }
        lidos.push_back(d);
    }
    return lidos;
}

unsigned long Estacao::JanelaPrincipal() {
    if (monitor_ <= 0) return 0;
    for (unsigned long janela : Janelas(monitor_))
        if (!EhDialogo(janela) && Titulo(janela) == "velmora Monitor MDF-e") return janela;
    return 0;
}

bool Estacao::Fotografa(const std::string& arquivoPng) {
    unsigned long janela = JanelaPrincipal();
    if (!janela) return false;
    QCoreApplication::processEvents();
    QPixmap foto = QGuiApplication::primaryScreen()->grabWindow(static_cast<WId>(janela));
    return !foto.isNull() && foto.save(QString::fromStdString(arquivoPng), "PNG");
}

std::optional<Contadores> Estacao::LeContadores(const Contadores& limite, std::string* motivo) {
    // Several monitors share the display and their windows open at the same
    // place: the one read is raised first, and a reading counts once two
    // pictures in a row agree (the raised window may still be repainting).
    std::optional<Contadores> anterior;
    std::string porque = "the monitor shows no main window";
    const auto fim = std::chrono::steady_clock::now() + 15s;
    while (std::chrono::steady_clock::now() < fim) {
        if (unsigned long janela = JanelaPrincipal()) {
            Executa({"xdotool", "windowraise", std::to_string(janela)});
            std::this_thread::sleep_for(150ms);
            QCoreApplication::processEvents();
            QPixmap foto = QGuiApplication::primaryScreen()->grabWindow(static_cast<WId>(janela));
            auto lidos = LeContadoresDaImagem(foto.toImage(), limite, &porque);
            if (lidos && anterior && *lidos == *anterior) return lidos;
            anterior = lidos;
        }
        std::this_thread::sleep_for(100ms);
    }
    if (motivo) *motivo = porque;
    return std::nullopt;
}

}   // namespace velmora::test::e2e
