#pragma once
// The exit check that follows every tick.
#include <string>

namespace velmora {

// True when some running process has this executable name (letter case ignored).
bool ProcessoEmExecucao(const std::string& exeName);

}   // namespace velmora
