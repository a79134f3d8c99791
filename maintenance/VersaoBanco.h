#pragma once
// The ERP's version columns in tab_parametro: added with their first values
// on a database that lacks them, read into the monitor's state otherwise.
#include <string>
#include "db/Database.h"

namespace velmora {

// The two values the bookkeeping reads (or gives) once per start; both
// empty until it has run.
struct VersaoBanco {
    std::string VersaoERP;      // "Versao Inicial" when null or just added
    std::string ScriptRodado;   // script_rodado as text, "" when null
};

// Runs in the connection's default transaction; a statement the server
// refuses leaves here as its error, with whatever ran before it kept.
VersaoBanco VerificaVersaoBanco(db::Connection& connection);

}   // namespace velmora
