// Processing results ("*-pro-rec.xml"): the authorisation of an MDF-e.
#include <chrono>

#include "monitor/FileList.h"
#include "monitor/Monitor.h"
#include "monitor/Passos.h"
#include "processors/Processadores.h"

namespace velmora {

namespace {

// The status at the top of the answer is the lot's: the transmitter writes
// the tax authority's answers as they come, and a processed lot carries
// "104" there ("100" is kept for answers that carry the MDF-e's own status
// at the top). The MDF-e's outcome is inside protMDFe/infProt.
bool LoteProcessado(const std::string& cStat) { return cStat == "100" || cStat == "104"; }

} // namespace

void ProcessaRetornoProcessamento(Monitor& m, pugi::xml_document& vXMLDoc, FileList& FileListBox1,
                                  const std::string& pasta) {
    auto espera = [&] { m.ui.Sleep(std::chrono::milliseconds(3000)); };
    PercorrePasta(
        m, FileListBox1, pasta, "*-pro-rec.xml*",
        [&](const std::string& nome) {
            std::string caminho = pasta + nome;
            if (!ArquivoEhMDFe(caminho)) return false;
            CarregaXml(vXMLDoc, caminho);
            m.MostraArquivo(nome);

            pugi::xml_node raiz = ElementoRaiz(vXMLDoc);
            std::string cStatLote = Texto(raiz, "cStat");
            if (!LoteProcessado(cStatLote)) {
                TratamentoErro(m, pasta, nome);
                return true;
            }
            pugi::xml_node infProt = Container(Container(raiz, "protMDFe"), "infProt");
            std::string chMDFe = Texto(infProt, "chMDFe");
            std::string dhRecbto = ConverteDataHora(Texto(infProt, "dhRecbto"));
            std::string cStat = Texto(infProt, "cStat");
            std::string nProt = Texto(infProt, "nProt");

            BuscaIdMDFe(m, "MDFe" + chMDFe);
            if (m.it_iID_MDF == 0) {
                TratamentoErro(m, pasta, nome);
                return true;
            }
            ExecutaAtualizacao(m, InstrucaoProtocolo(cStatLote, nProt, dhRecbto, cStat, m.it_iID_MDF));
            if (cStat == "100") {
                TratamentoAceite(m, pasta, nome, m.contadores.iMDFeAutorizada);
                ImprimeMDFe(m, m.it_iID_MDF);
            } else {
                TratamentoErro(m, pasta, nome);
                ++m.contadores.iMDFeErro;
            }
            return true;
        },
        espera);
}

} // namespace velmora
