#include "monitor/Monitor.h"

#include "config/Configuracao.h"
#include "maintenance/Atualizacao.h"
#include "monitor/Ciclo.h"
#include "platform/FileSystem.h"
#include "platform/Journal.h"
#include "platform/Locale.h"
#include "platform/Paths.h"
#include "platform/Text.h"

namespace velmora {

namespace {

// The texts whose presence in an error's message means the database is out
// of reach for good: the tick then ends the program with the message.
constexpr const char* kErrosFatais[] = {"Unable to complete network request to host", "Error reading data",
                                        "unprepared dynamic SQL"};

}   // namespace

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
        EmCurso caixa(caixasAbertas_);
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
            } catch (...) {}
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
    platform::journal::Write("início do monitor (" + textoVersao_ + "); banco " + conexao_->DatabaseName());
    // From here on the monitor keeps ticking whatever happens: a first cycle
    // or an update check that fails is shown in the error box, and the next
    // tick tries again. A monitor that never ticks would never notice that
    // the ERP ended, and would hold its workstation's single instance.
    try {
        ProcessaEmpresas();
        versao_ = VerificaAtualizacao(*this, 1);
    } catch (const std::exception& e) {
        platform::journal::Write(std::string("erro na partida: ") + e.what());
        ui_.SetTimerEnabled(true);
        throw;
    }
    ui_.SetTimerEnabled(true);
}

void Monitor::Timer1Timer() {
    // A tick that comes due while a cycle runs (dispatched by one of the
    // cycle's own pumps), or while one of the engine's message boxes is
    // open, is dropped: the next one comes five seconds later.
    if (CicloEmAndamento() || caixasAbertas_ > 0 || !conexao_) return;
    // A stop is retried at every tick; the journal tells of the first retry
    // and counts the others when the passes go through again, so that a file
    // stuck over a weekend does not push the rest of the history out.
    if (!parada_.empty() && tentativas_++ == 0)
        platform::journal::Write("nova tentativa após a parada, e a cada tick até a passagem concluir");
    Pump();
    try {
        ProcessaEmpresas();
    } catch (const std::exception& e) {
        // The session is closed; the next tick's first statement opens it
        // again, and the timer stays on so that the next tick comes.
        conexao_->Disconnect();
        const std::string message = e.what();
        for (const char* fatal : kErrosFatais) {
            if (message.find(fatal) != std::string::npos)
                EncerraPrograma(kAvisoDoSistema, "O sistema será finalizado. Erro: " + message, Icon::Error);
        }
    }
    if (!(ProcessoEmExecucao("velmoraEmpresa.exe") || ProcessoEmExecucao("velmoraEmpresa4.exe"))) {
        platform::journal::Write("fim: nenhum programa do ERP em execução");
        EncerraPrograma();
    }
    if (!ServidorConectado()) {
        platform::journal::Write("fim: Conectado.txt pede DESCONECTAR");
        EncerraPrograma();
    }
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
    platform::journal::Write("fim: &Sair");
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
    MostraArquivo("");
}

void Monitor::AtualizaContadores() { ui_.ShowCounters(contadores_); }

void Monitor::MostraArquivo(const std::string& nomeArquivo) {
    arquivoEmMaos_ = nomeArquivo;
    ui_.ShowFileName(nomeArquivo);
}

void Monitor::MostraVersao() {
    auto when = platform::LastWriteTime(platform::ExecutablePath());
    std::string text;
    if (when) {
        text = platform::FormatShortDate(*when) + " " + platform::FormatLongTime(*when);
        size_t length = platform::Utf8Length(text);
        text = platform::Utf8Left(text, length >= 3 ? length - 3 : 0);
    }
    textoVersao_ = "Versão: " + text;
    ui_.ShowVersion(textoVersao_);
}

void Monitor::MarcaParada(const std::string& erro, const std::string& cnpj) {
    const std::string motivo = platform::Trim(erro.substr(0, erro.find('\n')));
    const std::string parada = "Parado: " + motivo + (arquivoEmMaos_.empty() ? "" : " — " + arquivoEmMaos_);
    // The same stop met again at a retry is not news.
    if (parada == parada_) return;
    platform::journal::Write("passagem interrompida: empresa " + cnpj + ", arquivo " +
                             (arquivoEmMaos_.empty() ? "nenhum" : arquivoEmMaos_) + ": " + erro);
    parada_ = parada;
    tentativas_ = 0;
    ui_.ShowStatus(parada_);
}

void Monitor::LimpaParada() {
    if (parada_.empty()) return;
    platform::journal::Write("passagem concluída de novo, após " + std::to_string(tentativas_) + " tentativa(s)");
    parada_.clear();
    tentativas_ = 0;
    ui_.ShowStatus("");
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
    {
        EmCurso caixa(caixasAbertas_);
        ui_.MessageBox(title, text, icon);
    }
    CheckEnd();
}

bool Monitor::Pergunta(const std::string& text) {
    bool answer;
    {
        EmCurso caixa(caixasAbertas_);
        answer = ui_.AskYesNo(text);
    }
    CheckEnd();
    return answer;
}

void Monitor::Aguarda(std::chrono::milliseconds duracao) {
    ui_.Sleep(duracao);
    CheckEnd();
}

void Monitor::MostraMensagem(const std::string& texto, bool confirma, bool fechaSozinha) {
    EmCurso caixa(caixasAbertas_);
    ui_.MostraMensagem(texto, confirma, fechaSozinha);
}

void Monitor::Registra(const std::string& linha, bool umaVez) {
    if (umaVez) {
        // Bounded: a run that meets very many files left behind forgets the
        // oldest and may tell of them again.
        if (jaRegistradas_.size() > 10000) jaRegistradas_.clear();
        if (!jaRegistradas_.insert(linha).second) return;
    }
    platform::journal::Write(linha);
}

void Monitor::EncerraPrograma() {
    ending_ = true;
    throw ProgramEnd();
}

void Monitor::EncerraPrograma(const std::string& title, const std::string& text, Icon icon) {
    platform::journal::Write("fim: " + text);
    // Decided before the box opens: nothing starts while it waits for OK.
    ending_ = true;
    {
        EmCurso caixa(caixasAbertas_);
        ui_.MessageBox(title, text, icon);
    }
    Monitor::EncerraPrograma();
}

}   // namespace velmora
