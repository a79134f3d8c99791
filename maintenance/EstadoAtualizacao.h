#pragma once
// Names and folders of the update check, recorded once when the session opens.
#include <string>

namespace velmora {

struct EstadoAtualizacao {
    std::string programa;                     // file name of the running program
    std::string pastaPrograma;                // its folder, no trailing "\"
    std::string pastaAtualizacao;             // the update folder, no trailing "\"
    std::string pastaAtualizacaoCodificada;   // blanks as "§"
    std::string pastaProgramaCodificada;
};

}   // namespace velmora
