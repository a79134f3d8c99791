// Status-query results (key + "-sit.xml"): the protocol of an authorised
// MDF-e and a closing or cancellation found among its events.
#include "platform/Text.h"
#include "processors/LeituraXml.h"
#include "processors/Processadores.h"
#include "processors/ValoresSql.h"

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

void GravaEvento(PassagemEmpresa& p, int32_t id, const EventoAtual& evento, const char* detalhe, const char* sufixo) {
    if (!evento.detEvento) throw Error("Elemento detEvento não encontrado no arquivo de retorno");
    std::string nProt = Texto(Container(evento.detEvento, detalhe), "nProt");
    if (nProt.empty()) return;
    std::string dhEvento = ConverteDataHora(Texto(evento.infEvento, "dhEvento"));
    std::string s = sufixo;
    p.ExecutaAtualizacao(" update mov_mdfe set NO_PROTOCOLO_" + s + "_MDFE = " + LiteralOuNull(nProt) + "," +
                         " DH_PROCESSA_" + s + "_MDFE = " + LiteralOuNull(dhEvento) + "," + " CD_ST_" + s +
                         "_MDFE = 135" + " where id_mdf = " + std::to_string(id));
}

// Only the first registered event decides whether there is anything to
// look for: behind passage registrations, the first closing or cancellation
// among the document element's children is the one recorded.
void ProcessaEventos(PassagemEmpresa& p, int32_t id, const pugi::xml_node& raiz) {
    pugi::xml_node primeiro = raiz.child("procEventoMDFe");
    if (!primeiro) return;
    EventoAtual atual = LeEvento(Container(primeiro, "eventoMDFe"));
    if (atual.tpEvento == "310620" || atual.tpEvento == "510620") {
        for (pugi::xml_node filho = raiz.first_child(); filho; filho = filho.next_sibling()) {
            if (pugi::xml_node eventoMDFe = filho.child("eventoMDFe")) atual = LeEvento(eventoMDFe);
            if (EncerraOuCancela(atual)) break;
        }
    }
    if (atual.tpEvento == kEncerramento) GravaEvento(p, id, atual, "evEncMDFe", "ENC");
    if (atual.tpEvento == kCancelamento) GravaEvento(p, id, atual, "evCancMDFe", "CAN");
}

}   // namespace

Resultado TrataRetornoSituacao(PassagemEmpresa& p, const std::string& nome) {
    const std::string caminho = p.PastaRetorno() + nome;
    const std::string final = platform::Utf8Right(caminho, 52);
    if (!ArquivoEhMDFe(caminho)) return Desfecho::NaoEhMDFe;
    const auto leitura = p.CarregaResultado(nome);
    if (leitura != PassagemEmpresa::Leitura::Lido) return NaoLido(leitura);

    const std::string chave = platform::Utf8Left(final, platform::Utf8Length(final) - 8);
    const int32_t id = p.BuscaIdMDFe("MDFe" + chave);
    if (id == 0) return TratamentoErro(p, nome, &Contadores::iMDFeErro);

    pugi::xml_node raiz = ElementoRaiz(p.Documento());
    const std::string cStatDoc = Texto(raiz, "cStat");
    if (cStatDoc != "100" && cStatDoc != "101" && cStatDoc != "132")
        return TratamentoErro(p, nome, &Contadores::iMDFeErro).Com(id, cStatDoc, "");

    pugi::xml_node infProt = Container(Container(raiz, "protMDFe"), "infProt");
    const std::string dhRecbto = ConverteDataHora(Texto(infProt, "dhRecbto"));
    const std::string cStat = Texto(infProt, "cStat");
    const std::string nProt = Texto(infProt, "nProt");
    if (cStat == "100") p.ExecutaAtualizacao(InstrucaoProtocolo(cStatDoc, nProt, dhRecbto, cStat, id));
    ProcessaEventos(p, id, raiz);
    return TratamentoAceite(p, nome, &Contadores::iMDFeAutorizada).Com(id, cStatDoc, nProt);
}

}   // namespace velmora
