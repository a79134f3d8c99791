#pragma once
// The monitor has no configuration of its own: it lives in the ERP's program
// folder and follows the ERP's INI files to the database.
#include <string>
#include "platform/Error.h"

namespace velmora {

// A configuration file the monitor cannot do without is missing; the message
// is the one the user sees before the program ends.
class ConfiguracaoAusente : public Error {
public:
    using Error::Error;
    const char* TypeName() const noexcept override { return "EConfiguracaoAusente"; }
};

// What the ERP's files say about the database.
struct Configuracao {
    std::string locainiServidor;   // path of the server configuration file
    std::string sServidor, sPath, sBanco;
    // "Servidor:pathname", or "pathname" when "Servidor" is blank.
    std::string LocalBanco() const;
};

// The local INI file beside the executable: velmoraempresa4.ini when
// velmoraempresa4.exe is in that folder, otherwise velmoraempresa.ini.
std::string ArquivoIniLocal();
// Reads the configuration; ConfiguracaoAusente when the server configuration
// file is missing.
Configuracao LeConfiguracao();
// The server's data folder (ending in a separator); ConfiguracaoAusente when
// it cannot be found.
std::string PastaDadosServidor();

}   // namespace velmora
