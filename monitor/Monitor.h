#pragma once
// The monitor's engine: the handlers the main window runs (start-up, tick,
// buttons, menu), the monitoring cycle over every emitting company, and the
// one database session. The window (app/) owns one Monitor and implements
// UserInterface for it; the tests do the same with a script.
#include <functional>
#include <memory>
#include <string>
#include <unordered_set>
#include "db/Database.h"
#include "maintenance/ServicosAtualizacao.h"
#include "maintenance/EstadoAtualizacao.h"
#include "maintenance/VersaoBanco.h"
#include "monitor/UserInterface.h"
#include "processors/Contadores.h"
#include "processors/ServicosPassagem.h"

namespace velmora {

inline constexpr const char* kTitulo = "velmora Monitor MDF-e";

// A company pass sees the engine only as its ServicosPassagem, the update
// check only as its ServicosAtualizacao.
class Monitor : private ServicosPassagem, private ServicosAtualizacao {
public:
    explicit Monitor(UserInterface& ui);
    ~Monitor();
    Monitor(const Monitor&) = delete;
    Monitor& operator=(const Monitor&) = delete;

    // ---- handlers (each runs through RunHandler) ----
    // Start-up steps after the tray icon: counters, version line,
    // configuration, session, first cycle, update check, timer.
    void FormCreate();
    void Timer1Timer();
    void BitBtn2Click();   // "Zerar Valores"
    void BitBtn3Click();   // "Reiniciar"
    void Sair1Click();     // "&Sair"

    // Runs a window handler: an escaping error goes to the generic error box,
    // a silent abort shows nothing, the end of the program unwinds to the
    // outermost handler, which closes the window.
    void RunHandler(const std::function<void()>& handler);
    // The generic error box's text for a message.
    static std::string TextoErroGenerico(const std::string& message);

    // ---- services the engine offers its parts ----
    void Pump() override;
    void Mensagem(const std::string& title, const std::string& text, Icon icon) override;
    bool Pergunta(const std::string& text) override;
    void MostraArquivo(const std::string& nomeArquivo) override;
    void MostraMensagem(const std::string& texto, bool confirma, bool fechaSozinha) override;
    // The message (if any) first, then the program ends: throws ProgramEnd.
    [[noreturn]] void EncerraPrograma() override;
    [[noreturn]] void EncerraPrograma(const std::string& title, const std::string& text, Icon icon = Icon::Error);

    // ---- session ----
    void ConectaBanco(const std::string& location);
    void DesconectaBanco();

    // ---- the cycle ----
    void ProcessaEmpresas();
    // One company pass over the company's return folder under `raiz`.
    void ProcessaPastaRetorno(const std::string& raiz, const std::string& cnpj);

    // ---- what the window and the tests look at ----
    const Contadores& contadores() const { return contadores_; }
    const EstadoAtualizacao& atualizacao() const { return atualizacao_; }
    const VersaoBanco& versaoBanco() const { return versao_; }
    bool CicloEmAndamento() const { return cycleDepth_ > 0; }
    bool SessaoAberta() const { return conexao_ != nullptr; }
    bool Conectado() const;
    std::string NomeBanco() const;
    // "Parado: <error> — <file>" while the passes are stopped; "" otherwise.
    const std::string& Parada() const { return parada_; }

private:
    // What only a company pass or the update check asks of the engine.
    db::Connection& Conexao() override;
    const EstadoAtualizacao& EstadoDaAtualizacao() const override { return atualizacao_; }
    db::Transaction& Transacao() override;
    Contadores& Contagem() override { return contadores_; }
    void Aguarda(std::chrono::milliseconds duracao) override;
    void Registra(const std::string& linha, bool umaVez = false) override;

    // Counts something under way (a cycle, an open box) for as long as it
    // is on the stack, also when an error or the end of the program unwinds it.
    class EmCurso {
    public:
        explicit EmCurso(int& contagem) : contagem_(contagem) { ++contagem_; }
        ~EmCurso() { --contagem_; }
        EmCurso(const EmCurso&) = delete;
        EmCurso& operator=(const EmCurso&) = delete;

    private:
        int& contagem_;
    };
    void ZeraContadores();
    void AtualizaContadores();
    void MostraVersao();
    bool ServidorConectado();
    void CheckEnd();
    // A pass stopped on an error: the journal, the window and the tray tip
    // say so until a cycle completes again.
    void MarcaParada(const std::string& erro, const std::string& cnpj);
    void LimpaParada();

    UserInterface& ui_;
    std::string locainiServidor_;
    Contadores contadores_;
    std::unique_ptr<db::Connection> conexao_;      // "IBD_BancoDados"
    std::unique_ptr<db::Transaction> transacao_;   // "IBT_BancoDados"
    EstadoAtualizacao atualizacao_;
    VersaoBanco versao_;
    std::string textoVersao_;      // the version line, for the journal
    std::string arquivoEmMaos_;    // what the file-name line shows
    std::string parada_;           // why the passes are stopped, "" when they run
    int tentativas_ = 0;           // ticks that tried again since the stop
    std::string raizRegistrada_;   // the exchange root the journal last named
    std::unordered_set<std::string> jaRegistradas_;

    // The engine's modal boxes open right now: a tick dispatched from inside
    // one runs no cycle and opens no box of its own.
    int caixasAbertas_ = 0;
    int handlerDepth_ = 0;
    int cycleDepth_ = 0;
    bool ending_ = false;        // the end was decided; unwinding to the loop
    bool closed_ = false;        // CloseAndQuit already done
    bool exitPending_ = false;   // "&Sair" chosen while a cycle ran
};

}   // namespace velmora
