// Event results ("MDFe" + key + "-eve.xml"): closing, cancellation and the
// inclusion of a driver.
#include "db/Sql.h"
#include "platform/Text.h"
#include "processors/LeituraXml.h"
#include "processors/Processadores.h"
#include "processors/ValoresSql.h"

namespace velmora {

namespace {

struct Evento {
    std::string nProt, dhRegEvento, cStat, nSeqEvento;
};

// Closing and cancellation write the same three columns of their own.
std::string InstrucaoEncerramentoOuCancelamento(const char* sufixo, const Evento& e, int32_t id) {
    std::string s = sufixo;
    return " update mov_mdfe set NO_PROTOCOLO_" + s + "_MDFE = " + NumeroOuNull(e.nProt) + "," + " DH_PROCESSA_" + s +
           "_MDFE = " + "'" + db::DobraAspas(e.dhRegEvento) + "'" + "," + " CD_ST_" + s +
           "_MDFE = " + NumeroOuNull(e.cStat) + " where id_mdf = " + std::to_string(id);
}

// Fills a driver row of this MDF-e once: a row that already has its
// protocol or date-time is never overwritten by a later result.
std::string InstrucaoCondutor(const Evento& e, int32_t id) {
    return " update MOV_MDF_CONDUTOR set NO_PROTOCOLO_CONDUTOR = " + NumeroOuNull(e.nProt) + "," +
           " DH_PROCESSA_CONDUTOR = " + "'" + db::DobraAspas(e.dhRegEvento) + "'" + "," +
           " CD_ST_CONDUTOR = " + NumeroOuNull(e.cStat) + " where id_mdf = " + std::to_string(id) +
           " and no_seq_evento = " + NumeroOuNull(e.nSeqEvento) + " and NO_PROTOCOLO_CONDUTOR is null" +
           " and DH_PROCESSA_CONDUTOR is null";
}

}   // namespace

Resultado TrataRetornoEvento(PassagemEmpresa& p, const std::string& nome) {
    const std::string caminho = p.PastaRetorno() + nome;
    const std::string final = platform::Utf8Right(caminho, 56);
    if (!ArquivoEhMDFe(caminho)) return Desfecho::NaoEhMDFe;
    const auto leitura = p.CarregaResultado(nome);
    if (leitura != PassagemEmpresa::Leitura::Lido) return NaoLido(leitura);

    pugi::xml_node infEvento = Container(ElementoRaiz(p.Documento()), "infEvento");
    const std::string chMDFe = Texto(infEvento, "chMDFe");
    // A rejected event's answer may lack the key: the file name has it.
    const std::string chave =
        !chMDFe.empty() ? "MDFe" + chMDFe : platform::Utf8Left(final, platform::Utf8Length(final) - 8);
    const Evento evento{Texto(infEvento, "nProt"), ConverteDataHora(Texto(infEvento, "dhRegEvento")),
                        Texto(infEvento, "cStat"), Texto(infEvento, "nSeqEvento")};
    const std::string tpEvento = Texto(infEvento, "tpEvento");

    const int32_t id = p.BuscaIdMDFe(chave);
    if (id == 0) return TratamentoErro(p, nome);
    Resultado r;
    if (evento.nProt.empty()) {
        r = TratamentoErro(p, nome, &Contadores::iMDFeErro);
    } else {
        int32_t Contadores::*contador = nullptr;
        if (tpEvento == "110112") {
            p.ExecutaAtualizacao(InstrucaoEncerramentoOuCancelamento("ENC", evento, id));
            contador = &Contadores::iMDFeEncerrada;
        } else if (tpEvento == "110111") {
            p.ExecutaAtualizacao(InstrucaoEncerramentoOuCancelamento("CAN", evento, id));
            contador = &Contadores::iMDFeCancelada;
        } else if (tpEvento == "110114") {
            p.ExecutaAtualizacao(InstrucaoCondutor(evento, id));
            contador = &Contadores::iConfirmacaoRecebida;
        } else {
            // An event this monitor does not record: the file stays in the
            // return folder for whoever does, and the walk steps past it.
            r.motivo = "evento " + tpEvento + " não é registrado pelo monitor";
        }
        if (contador)
            r = evento.cStat == "135" ? TratamentoAceite(p, nome, contador)
                                      : TratamentoErro(p, nome, &Contadores::iMDFeErro);
    }
    return r.Com(id, evento.cStat, evento.nProt);
}

}   // namespace velmora
