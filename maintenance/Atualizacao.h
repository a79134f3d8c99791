#pragma once
// The update check at start-up and the names it records when the session opens.
#include <string>
#include "db/Database.h"
#include "maintenance/ServicosAtualizacao.h"
#include "maintenance/EstadoAtualizacao.h"
#include "maintenance/VersaoBanco.h"

namespace velmora {

// The program file name, program folder and update folder (derived from the
// server configuration file's path).
EstadoAtualizacao PreparaAtualizacao(const std::string& databaseName, const std::string& serverIniPath);

// Mode 1 runs the whole check; may end the program (EncerraPrograma) or hand
// over to the updater (the process exits at once). Returns the version
// bookkeeping's values (empty when it did not run).
VersaoBanco VerificaAtualizacao(ServicosAtualizacao& servicos, int modo);

// Downloads the updater into the shared update folder. Several workstations
// may start together: each downloads under a name of its own and puts its
// copy in place with a rename that never replaces, so a copy that another
// one put there first is kept, and no half-written file is ever seen under
// the updater's name. True when the download went through or another
// workstation's copy is in place; nothing of a failed download is left
// behind.
bool BaixaAtualizador(const std::string& pastaAtualizacao);

// One GET of `url` into `destino` (created or replaced first; failing to
// create it throws). True only for a 2xx answer received in full:
// redirections are not followed and count as failures, like error statuses,
// refused connections and stalled transfers.
bool BaixaArquivo(const std::string& url, const std::string& destino);

// How long a download may take to connect and may stall before it counts as
// failed. Start-up waits on the download, so a server that accepts the
// connection and then says nothing must not hold the program for ever; a
// slow but moving transfer is never cut off.
struct DownloadLimits {
    long connectSeconds = 15;
    long stalledSeconds = 30;   // less than 1 byte/s for this long
};
// Tests shorten the limits; the program keeps the defaults.
void SetDownloadLimits(const DownloadLimits& limits);

// The maker's web server, without a trailing "/". VELMORA_UPDATE_URL replaces
// the built-in address (a mirror, or a test server).
std::string EnderecoSite();
// The file's last-write date-time as text: short date, a blank, long time
// (the time left out at exactly midnight); empty when the file is missing.
std::string DataArquivo(const std::string& path);

}   // namespace velmora
