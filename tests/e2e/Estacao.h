#pragma once
// A workstation beside the ERP, for running the real program as a user does:
// a program folder with the monitor's copy and the ERP's local INI file, a
// Wine drive map whose drive X: is the "server" (data folder with the server
// configuration and the connection marker, update folder, exchange tree) and
// whose drive C: holds a stand-in printing tool that records its command
// lines, an ERP database on the loopback Firebird server, and a stand-in ERP
// process. The monitor is started without arguments, on an X display, and its
// dialogs are answered through xdotool.
//
// Several workstations can share one server: a further Estacao built on a
// first one maps its drive X: to the first one's server folder and opens the
// same database, as the workstations of one office do; it keeps its own
// program folder, home, runtime folder (the single-instance marker), drive C:
// with its own printing record, and ERP stand-in.
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

#include "monitor/UserInterface.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestDatabase.h"

namespace velmora::test::e2e {

// Runs a program (argument vector, no shell) and waits; `env` entries
// "NAME=value" replace or add to this process's environment.
struct Saida {
    int status = -1;
    std::string texto;   // standard output and error
};
Saida Executa(const std::vector<std::string>& args, const std::vector<std::string>& env = {});

// An X display for the program (DISPLAY as given, or an Xvfb of our own) and
// a Qt connection to it for the clipboard and the screenshot.
void GaranteTela();

struct Dialogo {
    std::string titulo;
    bool pergunta = false;   // a Yes/No question (answered No); otherwise a message (OK)
};

class Estacao {
public:
    // `servidor` is what the server configuration's "Servidor" holds:
    // "localhost", or "localhost/<port>" to go through a relay.
    explicit Estacao(const std::string& servidor = "localhost");
    // Another workstation of the same office: the same server folder (data
    // folder, update folder, exchange tree) and the same database, both owned
    // by `mesmoServidor`, which must outlive it.
    explicit Estacao(Estacao& mesmoServidor);
    ~Estacao();
    Estacao(const Estacao&) = delete;
    Estacao& operator=(const Estacao&) = delete;

    TestDatabase& Banco() { return *banco_; }
    const std::string& Raiz() const { return raiz_; }   // native exchange root, ends in "/"
    std::string PastaEmpresa(const std::string& cnpj) const { return raiz_ + cnpj + "/"; }
    std::string PastaPrograma() const { return dir_.str() + "Sistema Velmora/"; }
    std::string PastaAtualizacao() const { return servidor_ + "Update/"; }
    std::string Caminho(const std::string& relativo) const { return dir_.str() + relativo; }

    // The ERP stand-in (a copy of sleep named velmoraEmpresa.exe).
    void IniciaErp();
    void EncerraErp();
    void MarcaConexao(const std::string& primeiraLinha) const;   // Conectado.txt
    // The update folder holds the updater and a copy of the program; with
    // `atual` the copy has the program's last-write time, otherwise a newer one.
    void PreparaAtualizacao(bool atual) const;

    // The transmitter stand-in for one company and scenario; its output.
    Saida Transmite(const std::string& cnpj, const std::string& cenario) const;

    // Starts the monitor from its program folder, without arguments; the
    // workstation follows this one.
    pid_t IniciaMonitor();
    // Starts another copy the same way and leaves it to the caller.
    pid_t IniciaPrograma();
    pid_t Monitor() const { return monitor_; }
    bool MonitorRodando();
    std::optional<int> Status() const { return status_; }
    // The program's output so far (Qt's warnings, crashes).
    std::string LogMonitor() const;
    // The monitor's journal (what it did with each file, why it stopped).
    std::string Diario() const;

    // The command lines the printing tool of this workstation was started
    // with, one entry per start: its working folder, then each argument, each
    // on a line of its own.
    std::vector<std::string> Impressoes() const;

    // Answers every dialog of process `pid` that is on screen (No to a
    // question, OK to a message) and waits until it is gone. Returns what
    // was seen.
    std::vector<Dialogo> Atende(pid_t pid);
    // Waits until `condicao` holds, answering the monitor's dialogs meanwhile
    // (collected in Dialogos()). False on time-out.
    template <class F>
    bool Espera(F condicao, std::chrono::seconds limite);
    // One round of that: answers what the monitor shows now.
    void AtendeDialogos();
    const std::vector<Dialogo>& Dialogos() const { return dialogos_; }

    // The visible main window of the monitor (0 when none).
    unsigned long JanelaPrincipal();
    // Saves a picture of the main window; false when there is none.
    bool Fotografa(const std::string& arquivoPng);
    // The twelve counters as the main window shows them, read off the
    // screen (the window is raised first so that no other window covers
    // it). `limite` bounds each value looked for; nullopt when the window is
    // missing or does not read as counters, with the reason in `motivo`.
    std::optional<Contadores> LeContadores(const Contadores& limite, std::string* motivo = nullptr);

    std::vector<std::string> Ambiente() const;   // the monitor's environment entries

private:
    void MontaEstacao();

    TempDir dir_;
    std::unique_ptr<TestDatabase> db_;   // the first workstation of a server owns the database
    TestDatabase* banco_ = nullptr;
    std::string servidor_;   // native server folder (drive X:), ends in "/"
    std::string raiz_;
    pid_t erp_ = -1;
    pid_t monitor_ = -1;
    std::optional<int> status_;
    std::vector<Dialogo> dialogos_;
};

template <class F>
bool Estacao::Espera(F condicao, std::chrono::seconds limite) {
    const auto fim = std::chrono::steady_clock::now() + limite;
    while (std::chrono::steady_clock::now() < fim) {
        AtendeDialogos();
        if (condicao()) return true;
        ::usleep(100 * 1000);
    }
    return condicao();
}

}   // namespace velmora::test::e2e
