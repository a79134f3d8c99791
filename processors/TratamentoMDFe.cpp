// The look-up by access key and the two ways a result file leaves the
// return folder, shared by the processing-result, event and status-query
// processors.
#include "monitor/FileList.h"
#include "monitor/Monitor.h"
#include "monitor/Passos.h"
#include "processors/Processadores.h"

namespace velmora {

void BuscaIdMDFe(Monitor& m, const std::string& chave) {
    m.qryPesquisa->Close();
    m.qryPesquisa->SetSQL(
        " select mm.id_mdf, md.cd_chave_acesso_mdfe from mov_mdf mm inner join mov_mdfe md on (mm.id_mdf = "
        "md.id_mdf) where md.cd_chave_acesso_mdfe = " +
        Literal(chave));
    m.qryPesquisa->Open();
    m.it_iID_MDF = m.qryPesquisa->FieldByName("id_mdf").AsInteger();
}

std::string InstrucaoProtocolo(const std::string& cStatLote, const std::string& nProt, const std::string& dhRecbto,
                               const std::string& cStat, int32_t id) {
    return " update mov_mdfe set cd_st_lote_mdfe = " + NumeroOuNull(cStatLote) + "," + " NO_PROTOCOLO_MDFE = " +
           NumeroOuNull(nProt) + "," + " DH_PROCESSA_MDFE = " + "'" + DobraAspas(dhRecbto) + "'" + "," +
           " CD_ST_MDFE = " + NumeroOuNull(cStat) + " where id_mdf = " + std::to_string(id);
}

void TratamentoErro(Monitor& m, const std::string& pasta, const std::string& nome) {
    ++m.contadores.iConfirmacaoErro;
    std::string destino = MoveArquivo(m, pasta, nome, 5);
    PerguntaVerErro(m, destino);
}

void TratamentoAceite(Monitor& m, const std::string& pasta, const std::string& nome, int32_t& contador) {
    MoveArquivo(m, pasta, nome, 12);
    ++contador;
}

} // namespace velmora
