#pragma once
// The monitor's engine: the run-time state that the main window holds, and
// the handlers the window runs (start-up, tick, buttons, menu). The window
// (app/) owns one Monitor and implements UserInterface for it; the tests do
// the same with a script.
#include <functional>
#include <memory>
#include <string>
#include <pugixml.hpp>
#include "db/Database.h"
#include "monitor/FileList.h"
#include "platform/Error.h"
#include "platform/UserInterface.h"

namespace velmora {

// Names and folders of the update check, recorded once when the session opens.
struct EstadoAtualizacao {
    std::string programa;           // file name of the running program
    std::string pastaPrograma;      // its folder, no trailing "\"
    std::string pastaAtualizacao;   // the update folder, no trailing "\"
    std::string pastaAtualizacaoCodificada;   // blanks as "§"
    std::string pastaProgramaCodificada;
};

class Monitor {
public:
    explicit Monitor(UserInterface& ui);
    ~Monitor();
    Monitor(const Monitor&) = delete;
    Monitor& operator=(const Monitor&) = delete;

    UserInterface& ui;

    // Run-time state, in the order the window declares it.
    std::string it_sSql;
    std::string locainiServidor;
    std::unique_ptr<pugi::xml_document> vXMLDoc;
    std::string sServidor, sPath, sBanco;
    std::string it_sNomeArquivo;
    int32_t it_iID_MDF = 0;
    Contadores contadores;
    std::string it_sPastaRaizMDFe;
    std::string it_sCNPJEmpresa;
    std::unique_ptr<db::Query> qryUpdate;
    std::unique_ptr<db::Query> qryPesquisa;
    std::unique_ptr<db::Connection> IBD_BancoDados;
    std::unique_ptr<db::Transaction> IBT_BancoDados;
    FileList FileListBox1;
    EstadoAtualizacao atualizacao;
    std::string VersaoERP, ScriptRodado;

    // ---- handlers (each runs through RunHandler) ----
    // Start-up steps after the tray icon: counters, version line,
    // configuration, session, first cycle, update check, timer.
    void FormCreate();
    void Timer1Timer();
    void BitBtn2Click();      // "Zerar Valores"
    void BitBtn3Click();      // "Reiniciar"
    void Sair1Click();        // "&Sair"

    // Runs a window handler: an escaping error goes to the generic error box,
    // a silent abort shows nothing, the end of the program unwinds to the
    // outermost handler, which closes the window.
    void RunHandler(const std::function<void()>& handler);
    // The generic error box's text for a message.
    static std::string TextoErroGenerico(const std::string& message);

    // ---- the cycle ----
    void ProcessaEmpresas();
    void ProcessaPastaRetorno(const std::string& pasta);
    bool CicloEmAndamento() const { return cycleDepth_ > 0; }

    // ---- session ----
    void ConectaBanco(const std::string& location);
    void DesconectaBanco();

    // ---- counters and labels ----
    void ZeraContadores();
    void AtualizaContadores();
    void MostraArquivo(const std::string& nomeArquivo);
    void MostraVersao();

    // ---- services the engine uses everywhere ----
    // Dispatches waiting window messages; ends here if one of them ended the
    // program.
    void Pump();
    // A modal message box (dispatches messages while open).
    void Mensagem(const std::string& title, const std::string& text, Icon icon);
    bool Pergunta(const std::string& text);
    // The message (if any) first, then the program ends: throws ProgramEnd.
    [[noreturn]] void EncerraPrograma();
    [[noreturn]] void EncerraPrograma(const std::string& title, const std::string& text,
                                      Icon icon = Icon::Error);

private:
    void CheckEnd();
    int handlerDepth_ = 0;
    int cycleDepth_ = 0;
    bool ending_ = false;          // the end was decided; unwinding to the loop
    bool closed_ = false;          // CloseAndQuit already done
    bool exitPending_ = false;     // "&Sair" chosen while a cycle ran
};

// The session's fixed settings.
inline constexpr const char* kTitulo = "velmora Monitor MDF-e";
inline constexpr const char* kAvisoDoSistema = "Aviso do Sistema";

} // namespace velmora
