// Lot-number files ("MDFe" + key + "-num-lot.xml") and the lot's receipt.
#include "db/Sql.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "processors/LeituraXml.h"
#include "processors/Numeros.h"
#include "processors/Processadores.h"
#include "processors/ValoresSql.h"

namespace velmora {

namespace {

// The receipt is read from the return folder by name; a lot number that
// would carry a separator into that name is no lot number at all.
std::string NomeRecibo(const std::string& lote) {
    std::string nome = ZerosEsquerda(lote, 15) + "-rec.xml";
    for (char c : nome)
        if (platform::IsSeparator(c) || c == ':') throw ConversionError("'" + lote + "' is not a valid integer value");
    return nome;
}

}   // namespace

std::string InstrucaoRecibo(const std::string& cStat, const std::string& nRec, const std::string& dhRecbto,
                            const std::string& tMed, int32_t id) {
    return " update mov_mdfe set cd_st_recebto_mdfe = " + NumeroComoLido(cStat) + "," +
           " no_recibo_mdfe = " + NumeroOuNull(nRec) + "," + " dh_recebto_mdfe = " + "'" + db::DobraAspas(dhRecbto) +
           "'" + "," + " qt_media_resposta_mdfe = " + NumeroOuNull(tMed) + " where id_mdf = " + std::to_string(id);
}

void GravaNumeroLote(PassagemEmpresa& p, int32_t id, int32_t lote) {
    p.ExecutaAtualizacao(" update mov_mdfe set NO_LOTE_MDFE = " + std::to_string(lote) +
                         " where id_mdf = " + std::to_string(id));
}

bool ProcessaRecibo(PassagemEmpresa& p, const std::string& lote, int32_t id) {
    const std::string nome = NomeRecibo(lote);
    const std::string caminho = p.PastaRetorno() + nome;
    if (!ArquivoEhMDFe(caminho)) return true;   // not there yet: it stays for good

    std::string ok = p.Pasta(12);
    if (!platform::FolderExists(ok)) platform::CreateFolder(ok);

    // Gone meanwhile (another workstation took the lot), or still being
    // written: the lot-number file tells which on its own next turn.
    const auto leitura = p.Carrega(caminho);
    if (leitura == PassagemEmpresa::Leitura::Sumiu) return true;
    if (leitura == PassagemEmpresa::Leitura::Escrevendo) return false;
    pugi::xml_document& documento = p.Documento();
    pugi::xml_node raiz = ElementoRaiz(documento);
    std::string cStat = Texto(raiz, "cStat");
    pugi::xml_node infRec = Container(raiz, "infRec");
    std::string nRec = Texto(infRec, "nRec");
    std::string dhRecbto = Texto(infRec, "dhRecbto");
    std::string tMed = Texto(infRec, "tMed");

    p.ExecutaAtualizacao(InstrucaoRecibo(cStat, nRec, ConverteDataHora(dhRecbto), tMed, id));

    Resultado r =
        cStat == "103" ? TratamentoAceite(p, nome, &Contadores::iConfirmacaoRecebida) : TratamentoErro(p, nome);
    if (r.desfecho == Desfecho::Aplicado) ++p.Contagem().iPedidosGerados;
    RegistraArquivo(p, "ProcessaRecibo", nome, r.Com(id, cStat, nRec));
    return true;
}

Resultado TrataNumeroLote(PassagemEmpresa& p, const std::string& nome) {
    const std::string caminho = p.PastaRetorno() + nome;
    // The key's number and numeric-code fields, by position in the name.
    const std::string final = platform::Utf8Right(caminho, 60);
    const std::string numero = platform::Utf8Mid(final, 30, 9);
    const std::string codigo = platform::Utf8Mid(final, 40, 8);
    if (!ArquivoEhMDFe(caminho)) return Desfecho::NaoEhMDFe;

    const auto leitura = p.CarregaResultado(nome);
    if (leitura != PassagemEmpresa::Leitura::Lido) return NaoLido(leitura);
    const std::string lote = Texto(ElementoRaiz(p.Documento()), "NumeroLoteGerado");
    const std::string recibo = NomeRecibo(lote);

    db::Query& qryPesquisa = p.Pesquisa();
    qryPesquisa.Close();
    qryPesquisa.SetSQL(" select mm.id_mdf from mov_mdf mm inner join mov_mdfe md on (md.id_mdf = mm.id_mdf) where "
                       "mm.NO_DOC_MDF = " +
                       NumeroComoLido(numero) + " and md.NO_COD_NUMERICO_MDFE = " + NumeroComoLido(codigo));
    qryPesquisa.Open();
    Resultado resultado;
    resultado.id = qryPesquisa.FieldByName("id_mdf").AsInteger();

    if (resultado.id != 0) {
        GravaNumeroLote(p, resultado.id, TextoParaInteiro(lote));
        if (!ProcessaRecibo(p, lote, resultado.id)) {
            resultado.motivo = "recibo " + recibo + " ainda sendo gravado";
            return resultado;
        }
        if (!p.Move(nome, 12)) return NaoMovido(p, nome);
        ++p.Contagem().iLotesProcessados;
        resultado.desfecho = Desfecho::Aplicado;
        return resultado;
    }
    // The lot-number file is the claim; its receipt goes with it.
    if (!p.Move(nome, 5)) return NaoMovido(p, nome);
    if (p.Move(recibo, 5)) RegistraArquivo(p, "ProcessaNumeroLote", recibo, Desfecho::Rejeitado);
    ++p.Contagem().iConfirmacaoErro;
    p.PerguntaVerErro(p.Destino(nome, 5));
    ++p.Contagem().iLotesErro;
    resultado.desfecho = Desfecho::Rejeitado;
    return resultado;
}

}   // namespace velmora
