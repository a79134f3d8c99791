#pragma once
// What a freshly installed or replaced program does once, when its installer
// left a marker file beside it: a desktop launcher, the installer's leftovers
// removed, and (for the ERP's main programs) the update folder filled from
// the master folder named in the marker.
#include <string>
#include "maintenance/EstadoAtualizacao.h"

namespace velmora {

// Runs once per start, from the update check, after the update folder exists.
void VerificaPrimeiraExecucao(const EstadoAtualizacao& estado);

// Writes "Novo <program name without its last four characters>.desktop" into
// the desktop folder, replacing one that is there. A failed write is passed
// over.
void CriaAtalho(const EstadoAtualizacao& estado);

// The user's desktop folder (xdg-user-dir DESKTOP, else ~/Desktop), ending in
// a separator.
std::string PastaAreaTrabalho();

// Copies every *.exe of the master folder named in the marker file (section
// "configuracao", key "pastamestre") into the update folder, leaving the ones
// already there alone.
void CopiaExecutaveis(const EstadoAtualizacao& estado);

// The marker file and the installer's leftover, in the program folder.
std::string ArquivoMarcador(const EstadoAtualizacao& estado);
std::string ArquivoSobra(const EstadoAtualizacao& estado);

// The Exec value of a desktop entry that starts `program` with no arguments:
// quoted and escaped the way freedesktop.org desktop entries require.
std::string DesktopExecValue(const std::string& program);

}   // namespace velmora
