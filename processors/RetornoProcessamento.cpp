// Processing results ("*-pro-rec.xml"): the authorisation of an MDF-e.
#include <chrono>

#include "processors/LeituraXml.h"
#include "processors/Processadores.h"

namespace velmora {

namespace {

// The status at the top of the answer is the lot's: the transmitter writes
// the tax authority's answers as they come, and a processed lot carries
// "104" there ("100" is kept for answers that carry the MDF-e's own status
// at the top). The MDF-e's outcome is inside protMDFe/infProt.
bool LoteProcessado(const std::string& cStat) { return cStat == "100" || cStat == "104"; }

} // namespace

void AguardaRetornoProcessamento(PassagemEmpresa& p, const std::string&) {
    p.Servicos().Aguarda(std::chrono::milliseconds(3000));
}

Desfecho TrataRetornoProcessamento(PassagemEmpresa& p, const std::string& nome) {
    const std::string caminho = p.PastaRetorno() + nome;
    if (!ArquivoEhMDFe(caminho)) return Desfecho::NaoEhMDFe;
    CarregaXml(p.Documento(), caminho);
    p.Servicos().MostraArquivo(nome);

    pugi::xml_node raiz = ElementoRaiz(p.Documento());
    const std::string cStatLote = Texto(raiz, "cStat");
    if (!LoteProcessado(cStatLote)) return TratamentoErro(p, nome);

    pugi::xml_node infProt = Container(Container(raiz, "protMDFe"), "infProt");
    const std::string chMDFe = Texto(infProt, "chMDFe");
    const std::string dhRecbto = ConverteDataHora(Texto(infProt, "dhRecbto"));
    const std::string cStat = Texto(infProt, "cStat");
    const std::string nProt = Texto(infProt, "nProt");

    const int32_t id = p.BuscaIdMDFe("MDFe" + chMDFe);
    if (id == 0) return TratamentoErro(p, nome);

    p.ExecutaAtualizacao(InstrucaoProtocolo(cStatLote, nProt, dhRecbto, cStat, id));
    if (cStat == "100") {
        Desfecho desfecho = TratamentoAceite(p, nome, p.Contagem().iMDFeAutorizada);
        ImprimeMDFe(p, id);
        return desfecho;
    }
    TratamentoErro(p, nome);
    ++p.Contagem().iMDFeErro;
    return Desfecho::Rejeitado;
}

} // namespace velmora
