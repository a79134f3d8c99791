// Processing results ("*-pro-rec.xml"): the authorisation of an MDF-e.
#include <algorithm>
#include <chrono>

#include "platform/FileSystem.h"
#include "processors/LeituraXml.h"
#include "processors/Processadores.h"

namespace velmora {

namespace {

// The status at the top of the answer is the lot's: the transmitter writes
// the tax authority's answers as they come, and a processed lot carries
// "104" there ("100" is kept for answers that carry the MDF-e's own status
// at the top). The MDF-e's outcome is inside protMDFe/infProt.
bool LoteProcessado(const std::string& cStat) { return cStat == "100" || cStat == "104"; }

}   // namespace

// A processing result is read once it has settled: one written a while ago
// (a backlog) is taken at once, a fresh one when it is kAssentamento old.
void AguardaRetornoProcessamento(PassagemEmpresa& p, const std::string& nome) {
    const auto stamp = platform::StampOf(p.PastaRetorno() + nome);
    if (!stamp) return;   // gone: the walk steps past it
    const auto idade = std::chrono::system_clock::now() - stamp->written;
    if (idade >= kAssentamento) return;
    // A clock on the share that runs ahead makes the file look younger than
    // it is; the wait never exceeds the settle time.
    const auto falta = std::min<std::chrono::system_clock::duration>(kAssentamento - idade, kAssentamento);
    p.Servicos().Aguarda(std::chrono::ceil<std::chrono::milliseconds>(falta));
}

Resultado TrataRetornoProcessamento(PassagemEmpresa& p, const std::string& nome) {
    const std::string caminho = p.PastaRetorno() + nome;
    if (!ArquivoEhMDFe(caminho)) return Desfecho::NaoEhMDFe;
    const auto leitura = p.CarregaResultado(nome);
    if (leitura != PassagemEmpresa::Leitura::Lido) return NaoLido(leitura);

    pugi::xml_node raiz = ElementoRaiz(p.Documento());
    const std::string cStatLote = Texto(raiz, "cStat");
    if (!LoteProcessado(cStatLote)) {
        Resultado r = TratamentoErro(p, nome);
        r.status = cStatLote;
        return r;
    }

    pugi::xml_node infProt = Container(Container(raiz, "protMDFe"), "infProt");
    const std::string chMDFe = Texto(infProt, "chMDFe");
    const std::string dhRecbto = ConverteDataHora(Texto(infProt, "dhRecbto"));
    const std::string cStat = Texto(infProt, "cStat");
    const std::string nProt = Texto(infProt, "nProt");

    const int32_t id = p.BuscaIdMDFe("MDFe" + chMDFe);
    if (id == 0) return TratamentoErro(p, nome);

    p.ExecutaAtualizacao(InstrucaoProtocolo(cStatLote, nProt, dhRecbto, cStat, id));
    Resultado r;
    if (cStat == "100") {
        r = TratamentoAceite(p, nome, &Contadores::iMDFeAutorizada);
        // Printed by the workstation whose move filed the result, once.
        if (r.desfecho == Desfecho::Aplicado) ImprimeMDFe(p, id);
    } else {
        r = TratamentoErro(p, nome, &Contadores::iMDFeErro);
    }
    return r.Com(id, cStat, nProt);
}

}   // namespace velmora
