#pragma once
// What a company pass needs from the engine that runs it: the session its
// queries run in, the counters it raises, the window's messages dispatched
// between files, the file-name line, the question about a file in "\Erro\",
// a message box, the wait before a processing result, and the journal. The
// engine provides them; a pass never sees more of it.
#include <chrono>
#include <string>
#include "db/Database.h"
#include "platform/MessageIcon.h"
#include "processors/Contadores.h"

namespace velmora {

class ServicosPassagem {
public:
    // The one session: the pass binds its query objects to it.
    virtual db::Connection& Conexao() = 0;
    virtual db::Transaction& Transacao() = 0;
    // The counters shown on the window.
    virtual Contadores& Contagem() = 0;
    // Dispatches the waiting window messages; leaves with ProgramEnd when one
    // of them ended the program.
    virtual void Pump() = 0;
    // The name of the file in hand on the window, drawn at once ("" clears).
    virtual void MostraArquivo(const std::string& nomeArquivo) = 0;
    // A modal Yes/No question; true for Yes.
    virtual bool Pergunta(const std::string& texto) = 0;
    // A modal message box with an OK button.
    virtual void Mensagem(const std::string& titulo, const std::string& texto, Icon icone) = 0;
    // Lets time pass before the next turn of a walk; the window keeps
    // answering meanwhile.
    virtual void Aguarda(std::chrono::milliseconds duracao) = 0;
    // One line of the journal. With `umaVez`, a line already written in this
    // run is not written again (a file left in the return folder is met at
    // every pass until it can be handled).
    virtual void Registra(const std::string& linha, bool umaVez = false) = 0;

protected:
    ~ServicosPassagem() = default;
};

}   // namespace velmora
