// Event results ("MDFe" + key + "-eve.xml"): closing, cancellation and the
// inclusion of a driver.
#include "monitor/FileList.h"
#include "monitor/Monitor.h"
#include "monitor/Passos.h"
#include "platform/Text.h"
#include "processors/Processadores.h"

namespace velmora {

namespace {

struct Evento {
    std::string nProt, dhRegEvento, cStat, nSeqEvento;
};

// Closing and cancellation write the same three columns of their own.
std::string InstrucaoEncerramentoOuCancelamento(const char* sufixo, const Evento& e, int32_t id) {
    std::string s = sufixo;
    return " update mov_mdfe set NO_PROTOCOLO_" + s + "_MDFE = " + NumeroOuNull(e.nProt) + "," + " DH_PROCESSA_" + s +
           "_MDFE = " + "'" + DobraAspas(e.dhRegEvento) + "'" + "," + " CD_ST_" + s + "_MDFE = " +
           NumeroOuNull(e.cStat) + " where id_mdf = " + std::to_string(id);
}

// Fills a driver row of this MDF-e once: a row that already has its
// protocol or date-time is never overwritten by a later result.
std::string InstrucaoCondutor(const Evento& e, int32_t id) {
    return " update MOV_MDF_CONDUTOR set NO_PROTOCOLO_CONDUTOR = " + NumeroOuNull(e.nProt) + "," +
           " DH_PROCESSA_CONDUTOR = " + "'" + DobraAspas(e.dhRegEvento) + "'" + "," + " CD_ST_CONDUTOR = " +
           NumeroOuNull(e.cStat) + " where id_mdf = " + std::to_string(id) + " and no_seq_evento = " +
           NumeroOuNull(e.nSeqEvento) + " and NO_PROTOCOLO_CONDUTOR is null" + " and DH_PROCESSA_CONDUTOR is null";
}

} // namespace

void ProcessaRetornoEvento(Monitor& m, pugi::xml_document& vXMLDoc, FileList& FileListBox1, const std::string& pasta) {
    PercorrePasta(m, FileListBox1, pasta, "MDFe*-eve.xml*", [&](const std::string& nome) {
        std::string caminho = pasta + nome;
        m.it_sNomeArquivo = platform::Utf8Right(caminho, 56);
        if (!ArquivoEhMDFe(caminho)) return false;
        CarregaXml(vXMLDoc, caminho);
        m.MostraArquivo(nome);

        pugi::xml_node infEvento = Container(ElementoRaiz(vXMLDoc), "infEvento");
        std::string chMDFe = Texto(infEvento, "chMDFe");
        // A rejected event's answer may lack the key: the file name has it.
        std::string chave = !chMDFe.empty() ? "MDFe" + chMDFe
                                            : platform::Utf8Left(m.it_sNomeArquivo,
                                                                 platform::Utf8Length(m.it_sNomeArquivo) - 8);
        Evento evento{Texto(infEvento, "nProt"), ConverteDataHora(Texto(infEvento, "dhRegEvento")),
                      Texto(infEvento, "cStat"), Texto(infEvento, "nSeqEvento")};
        std::string tpEvento = Texto(infEvento, "tpEvento");

        BuscaIdMDFe(m, chave);
        if (m.it_iID_MDF == 0) {
            TratamentoErro(m, pasta, nome);
            return true;
        }
        if (evento.nProt.empty()) {
            TratamentoErro(m, pasta, nome);
            ++m.contadores.iMDFeErro;
            return true;
        }

        int32_t* contador = nullptr;
        if (tpEvento == "110112") {
            ExecutaAtualizacao(m, InstrucaoEncerramentoOuCancelamento("ENC", evento, m.it_iID_MDF));
            contador = &m.contadores.iMDFeEncerrada;
        } else if (tpEvento == "110111") {
            ExecutaAtualizacao(m, InstrucaoEncerramentoOuCancelamento("CAN", evento, m.it_iID_MDF));
            contador = &m.contadores.iMDFeCancelada;
        } else if (tpEvento == "110114") {
            ExecutaAtualizacao(m, InstrucaoCondutor(evento, m.it_iID_MDF));
            contador = &m.contadores.iConfirmacaoRecebida;
        } else {
            // An event this monitor does not record: the file stays in the
            // return folder for whoever does, and the walk steps past it.
            return true;
        }
        if (evento.cStat == "135") {
            TratamentoAceite(m, pasta, nome, *contador);
        } else {
            TratamentoErro(m, pasta, nome);
            ++m.contadores.iMDFeErro;
        }
        return true;
    });
}

} // namespace velmora
