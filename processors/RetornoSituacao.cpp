// Status-query results (key + "-sit.xml"): the protocol of an authorised
// MDF-e and a closing or cancellation found among its events.
#include "monitor/FileList.h"
#include "monitor/Monitor.h"
#include "monitor/Passos.h"
#include "platform/Text.h"
#include "processors/Processadores.h"

namespace velmora {

namespace {

const char* const kEncerramento = "110112";
const char* const kCancelamento = "110111";

struct EventoAtual {
    pugi::xml_node infEvento;
    pugi::xml_node detEvento;   // may be absent until it is needed
    std::string tpEvento;
};

EventoAtual LeEvento(const pugi::xml_node& eventoMDFe) {
    EventoAtual evento;
    evento.infEvento = Container(eventoMDFe, "infEvento");
    evento.detEvento = evento.infEvento.child("detEvento");
    evento.tpEvento = Texto(evento.infEvento, "tpEvento");
    return evento;
}

bool EncerraOuCancela(const EventoAtual& e) { return e.tpEvento == kEncerramento || e.tpEvento == kCancelamento; }

void GravaEvento(Monitor& m, const EventoAtual& evento, const char* detalhe, const char* sufixo) {
    if (!evento.detEvento) throw Error("Elemento detEvento não encontrado no arquivo de retorno");
    std::string nProt = Texto(Container(evento.detEvento, detalhe), "nProt");
    if (nProt.empty()) return;
    std::string dhEvento = ConverteDataHora(Texto(evento.infEvento, "dhEvento"));
    std::string s = sufixo;
    ExecutaAtualizacao(m, " update mov_mdfe set NO_PROTOCOLO_" + s + "_MDFE = " + LiteralOuNull(nProt) + "," +
                              " DH_PROCESSA_" + s + "_MDFE = " + LiteralOuNull(dhEvento) + "," + " CD_ST_" + s +
                              "_MDFE = 135" + " where id_mdf = " + std::to_string(m.it_iID_MDF));
}

// Only the first registered event decides whether there is anything to
// look for: behind passage registrations, the first closing or cancellation
// among the document element's children is the one recorded.
void ProcessaEventos(Monitor& m, const pugi::xml_node& raiz) {
    pugi::xml_node primeiro = raiz.child("procEventoMDFe");
    if (!primeiro) return;
    EventoAtual atual = LeEvento(Container(primeiro, "eventoMDFe"));
    if (atual.tpEvento == "310620" || atual.tpEvento == "510620") {
        for (pugi::xml_node filho = raiz.first_child(); filho; filho = filho.next_sibling()) {
            if (pugi::xml_node eventoMDFe = filho.child("eventoMDFe")) atual = LeEvento(eventoMDFe);
            if (EncerraOuCancela(atual)) break;
        }
    }
    if (atual.tpEvento == kEncerramento) GravaEvento(m, atual, "evEncMDFe", "ENC");
    if (atual.tpEvento == kCancelamento) GravaEvento(m, atual, "evCancMDFe", "CAN");
}

} // namespace

void ProcessaRetornoSituacao(Monitor& m, pugi::xml_document& vXMLDoc, FileList& FileListBox1,
                             const std::string& pasta) {
    PercorrePasta(m, FileListBox1, pasta, "*-sit.xml*", [&](const std::string& nome) {
        std::string caminho = pasta + nome;
        m.it_sNomeArquivo = platform::Utf8Right(caminho, 52);
        if (!ArquivoEhMDFe(caminho)) return false;
        CarregaXml(vXMLDoc, caminho);
        m.MostraArquivo(nome);

        std::string chave = platform::Utf8Left(m.it_sNomeArquivo, platform::Utf8Length(m.it_sNomeArquivo) - 8);
        BuscaIdMDFe(m, "MDFe" + chave);
        if (m.it_iID_MDF == 0) {
            TratamentoErro(m, pasta, nome);
            ++m.contadores.iMDFeErro;
            return true;
        }
        pugi::xml_node raiz = ElementoRaiz(vXMLDoc);
        std::string cStatDoc = Texto(raiz, "cStat");
        if (cStatDoc != "100" && cStatDoc != "101" && cStatDoc != "132") {
            TratamentoErro(m, pasta, nome);
            ++m.contadores.iMDFeErro;
            return true;
        }
        pugi::xml_node infProt = Container(Container(raiz, "protMDFe"), "infProt");
        std::string dhRecbto = ConverteDataHora(Texto(infProt, "dhRecbto"));
        std::string cStat = Texto(infProt, "cStat");
        std::string nProt = Texto(infProt, "nProt");
        if (cStat == "100")
            ExecutaAtualizacao(m, InstrucaoProtocolo(cStatDoc, nProt, dhRecbto, cStat, m.it_iID_MDF));
        ProcessaEventos(m, raiz);
        TratamentoAceite(m, pasta, nome, m.contadores.iMDFeAutorizada);
        return true;
    });
}

} // namespace velmora
