#pragma once
// The twelve counters the processors raise, shown on the main window since
// the program started or since "Zerar Valores"; never stored.
#include <cstdint>

namespace velmora {

struct Contadores {
    int32_t iLotesProcessados = 0;
    int32_t iPedidosGerados = 0;
    int32_t iConfirmacaoRecebida = 0;
    int32_t iMDFeAutorizada = 0;
    int32_t iMDFeCancelada = 0;
    int32_t iMDFeEncerrada = 0;
    int32_t iConsultasMDFe = 0;
    int32_t iSolicitacaoInconsistente = 0;
    int32_t iLotesErro = 0;
    int32_t iConfirmacaoErro = 0;
    int32_t iMDFeErro = 0;
    int32_t iConsultasMDFeErro = 0;
    bool operator==(const Contadores&) const = default;
};

}   // namespace velmora
