// The two ways a result file leaves the return folder once its record was
// looked up, shared by the processing-result, event and status-query
// processors.
#include "processors/Processadores.h"
#include "processors/ValoresSql.h"
#include "db/Sql.h"

namespace velmora {

std::string InstrucaoProtocolo(const std::string& cStatLote, const std::string& nProt, const std::string& dhRecbto,
                               const std::string& cStat, int32_t id) {
    return " update mov_mdfe set cd_st_lote_mdfe = " + NumeroOuNull(cStatLote) + "," +
           " NO_PROTOCOLO_MDFE = " + NumeroOuNull(nProt) + "," + " DH_PROCESSA_MDFE = " + "'" +
           db::DobraAspas(dhRecbto) + "'" + "," + " CD_ST_MDFE = " + NumeroOuNull(cStat) +
           " where id_mdf = " + std::to_string(id);
}

Resultado TratamentoErro(PassagemEmpresa& p, const std::string& nome, int32_t Contadores::*outro) {
    if (!p.Move(nome, 5)) return NaoMovido(p, nome);
    ++p.Contagem().iConfirmacaoErro;
    if (outro) ++(p.Contagem().*outro);
    p.PerguntaVerErro(p.Destino(nome, 5));
    return Desfecho::Rejeitado;
}

Resultado TratamentoAceite(PassagemEmpresa& p, const std::string& nome, int32_t Contadores::*contador) {
    if (!p.Move(nome, 12)) return NaoMovido(p, nome);
    ++(p.Contagem().*contador);
    return Desfecho::Aplicado;
}

}   // namespace velmora
