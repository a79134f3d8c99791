#pragma once
// The update check at start-up and the names it records when the session opens.
#include <string>
#include "db/Database.h"
#include "platform/FileSystem.h"

namespace velmora {

class Monitor;

// Records the program file name, program folder and update folder (derived
// from the server configuration file's path) in m.atualizacao.
void PreparaAtualizacao(Monitor& m, const std::string& databaseName, const std::string& serverIniPath);

// Mode 1 runs the whole check; may end the program (throws ProgramEnd) or hand
// over to the updater (the process exits at once).
void VerificaAtualizacao(Monitor& m, db::Connection& connection, int modo);

bool BaixaArquivo(const std::string& url, const std::string& destino);
std::string EnderecoSite();
std::string DataArquivo(const std::string& path);

} // namespace velmora
