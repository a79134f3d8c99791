#pragma once
// The ERP's version columns in tab_parametro: added with their first values
// on a database that lacks them, read into the monitor's state otherwise.
#include "db/Database.h"

namespace velmora {

class Monitor;

// Sets m.VersaoERP and m.ScriptRodado. Runs in the connection's default
// transaction; a statement the server refuses leaves here as its error,
// with whatever ran before it kept.
void VerificaVersaoBanco(Monitor& m, db::Connection& connection);

} // namespace velmora
