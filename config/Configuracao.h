#pragma once
// The monitor has no configuration of its own: it lives in the ERP's program
// folder and follows the ERP's INI files to the database.
#include <string>

namespace velmora {

class Monitor;

// The local INI file beside the executable: velmoraempresa4.ini when
// velmoraempresa4.exe is in that folder, otherwise velmoraempresa.ini.
std::string ArquivoIniLocal();
// Reads the configuration into the monitor's fields and returns the database
// location; ends the program when the server configuration file is missing.
std::string LeConfiguracao(Monitor& m);
// The server's data folder (ending in a separator); may end the program.
std::string PastaDadosServidor(Monitor& m);

} // namespace velmora
