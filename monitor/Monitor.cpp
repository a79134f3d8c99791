#include "monitor/Monitor.h"

#include "config/Configuracao.h"
#include "maintenance/Atualizacao.h"
#include "platform/FileSystem.h"
#include "platform/Locale.h"
#include "platform/Paths.h"
#include "monitor/Ciclo.h"
#include "platform/Text.h"

namespace velmora {

Monitor::Monitor(UserInterface& userInterface) : ui_(userInterface) {}

Monitor::~Monitor() {
    try {
        DesconectaBanco();
    } catch (...) {
        // The process is going away; a session that cannot be closed cleanly
        // has nothing left to lose (every change was committed when made).
    }
}

// ---------------------------------------------------------------- handlers

void Monitor::RunHandler(const std::function<void()>& handler) {
    // Once the end is decided no new handler starts: a tick or a button that
    // is dispatched while the program unwinds must not touch the session.
    if (ending_ || closed_) return;
    ++handlerDepth_;
    try {
        handler();
    } catch (const ProgramEnd&) {
        ending_ = true;
    } catch (const SilentAbort&) {
    } catch (const std::exception& e) {
        ui_.MessageBox(kTitulo, TextoErroGenerico(e.what()), Icon::Error);
    }
    --handlerDepth_;
    // A handler dispatched from a pump inside another one only marks the
    // end; the outer handler unwinds at its next pump and closes the window.
    if (ending_ && handlerDepth_ == 0 && !closed_) {
        if (exitPending_) {
            exitPending_ = false;
            try {
                DesconectaBanco();
            } catch (...) {
            }
        }
        closed_ = true;
        ui_.CloseAndQuit();
    }
}

std::string Monitor::TextoErroGenerico(const std::string& message) {
    // A full stop is added unless the message already ends in one or in a
    // character that sorts before it (blanks, line ends, punctuation).
    if (message.empty()) return message;
    unsigned char last = static_cast<unsigned char>(message.back());
    if (last <= 46) return message;
    return message + ".";
}

void Monitor::FormCreate() {
    ZeraContadores();
    MostraVersao();
    AtualizaContadores();
    Configuracao configuracao;
    try {
        configuracao = LeConfiguracao();
    } catch (const ConfiguracaoAusente& e) {
        EncerraPrograma(kAvisoDoSistema, e.Message(), Icon::Error);
    }
    locainiServidor_ = configuracao.locainiServidor;
    ConectaBanco(configuracao.LocalBanco());
    ProcessaEmpresas();
    VerificaAtualizacao(*this, atualizacao_, *conexao_, 1, versao_);
    ui_.SetTimerEnabled(true);
}

void Monitor::Timer1Timer() {
    // A tick that comes due while a cycle runs (dispatched by one of the
    // cycle's own pumps) is dropped: the next one comes five seconds later.
    if (CicloEmAndamento() || !conexao_) return;
    Pump();
    try {
        ProcessaEmpresas();
    } catch (const std::exception& e) {
        ui_.SetTimerEnabled(false);
        conexao_->Disconnect();
        std::string message = e.what();
        for (const char* fatal : {"Unable to complete network request to host", "Error reading data",
                                  "unprepared dynamic SQL"}) {
            if (message.find(fatal) != std::string::npos)
                EncerraPrograma(kAvisoDoSistema, "O sistema será finalizado. Erro: " + message, Icon::Error);
        }
    }
    if (!(ProcessoEmExecucao("velmoraEmpresa.exe") || ProcessoEmExecucao("velmoraEmpresa4.exe")) ||
        !ServidorConectado())
        EncerraPrograma();
}

void Monitor::BitBtn2Click() {
    ZeraContadores();
    AtualizaContadores();
}

void Monitor::BitBtn3Click() {
    ZeraContadores();
    AtualizaContadores();
    // A press dispatched while a cycle runs only resets the counters: that
    // cycle goes on, and a second one must not start inside it.
    if (CicloEmAndamento()) return;
    ProcessaEmpresas();
}

void Monitor::Sair1Click() {
    ui_.SetTimerEnabled(false);
    if (CicloEmAndamento()) {
        // Chosen from a pump inside a running cycle: the cycle is abandoned
        // at that pump (between files, never inside one) and the session is
        // closed once it has unwound.
        exitPending_ = true;
        EncerraPrograma();
    }
    DesconectaBanco();
    ending_ = true;   // ticks dispatched below find the end already decided
    ui_.ProcessMessages();
    EncerraPrograma();
}

// ---------------------------------------------------------------- counters

void Monitor::ZeraContadores() {
    contadores_ = Contadores{};
    ui_.ShowFileName("");
}

void Monitor::AtualizaContadores() { ui_.ShowCounters(contadores_); }

void Monitor::MostraArquivo(const std::string& nomeArquivo) { ui_.ShowFileName(nomeArquivo); }

void Monitor::MostraVersao() {
    auto when = platform::LastWriteTime(platform::ExecutablePath());
    std::string text;
    if (when) {
        text = platform::FormatShortDate(*when) + " " + platform::FormatLongTime(*when);
        size_t length = platform::Utf8Length(text);
        text = platform::Utf8Left(text, length >= 3 ? length - 3 : 0);
    }
    ui_.ShowVersion("Versão: " + text);
}

// ---------------------------------------------------------------- services

void Monitor::CheckEnd() {
    if (ending_) throw ProgramEnd();
}

void Monitor::Pump() {
    ui_.ProcessMessages();
    CheckEnd();
}

void Monitor::Mensagem(const std::string& title, const std::string& text, Icon icon) {
    ui_.MessageBox(title, text, icon);
    CheckEnd();
}

void Monitor::Aguarda(std::chrono::milliseconds duracao) {
    ui_.Sleep(duracao);
    CheckEnd();
}

void Monitor::MostraMensagem(const std::string& texto, bool confirma, bool fechaSozinha) {
    ui_.MostraMensagem(texto, confirma, fechaSozinha);
}

bool Monitor::Pergunta(const std::string& text) {
    bool answer = ui_.AskYesNo(text);
    CheckEnd();
    return answer;
}

void Monitor::EncerraPrograma() {
    ending_ = true;
    throw ProgramEnd();
}

void Monitor::EncerraPrograma(const std::string& title, const std::string& text, Icon icon) {
    ui_.MessageBox(title, text, icon);
    EncerraPrograma();
}

} // namespace velmora
