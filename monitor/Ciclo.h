#pragma once
// The exit check that follows every tick.
#include <string>

namespace velmora {

class Monitor;

// True when some running process has this executable name (letter case ignored).
bool ProcessoEmExecucao(const std::string& exeName);
// False when the server's connection marker "Conectado.txt" asks the
// workstations to disconnect ("DESCONECTAR", exactly), true otherwise.
bool ServidorConectado(Monitor& m);

} // namespace velmora
