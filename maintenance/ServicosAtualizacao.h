#pragma once
// What the update check needs from the engine that runs it: the open
// session and the names recorded when it opened, message boxes, the generic
// notice window, and the end of the program.
#include <string>
#include "db/Database.h"
#include "maintenance/EstadoAtualizacao.h"
#include "platform/MessageIcon.h"

namespace velmora {

class ServicosAtualizacao {
public:
    // The one session: the version bookkeeping runs in it.
    virtual db::Connection& Conexao() = 0;
    // The program and folders recorded when the session opened.
    virtual const EstadoAtualizacao& EstadoDaAtualizacao() const = 0;
    // A modal message box with an OK button.
    virtual void Mensagem(const std::string& titulo, const std::string& texto, Icon icone) = 0;
    // The generic notice window; with `fechaSozinha` it closes after 5 s.
    virtual void MostraMensagem(const std::string& texto, bool confirma, bool fechaSozinha) = 0;
    // Ends the program: nothing more of the current handler runs.
    [[noreturn]] virtual void EncerraPrograma() = 0;

protected:
    ~ServicosAtualizacao() = default;
};

}   // namespace velmora
