// Lot-number files ("MDFe" + key + "-num-lot.xml") and the lot's receipt.
#include "monitor/FileList.h"
#include "monitor/Monitor.h"
#include "monitor/Passos.h"
#include "monitor/Pastas.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "processors/Processadores.h"

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

} // namespace

std::string InstrucaoRecibo(const std::string& cStat, const std::string& nRec, const std::string& dhRecbto,
                            const std::string& tMed, int32_t id) {
    return " update mov_mdfe set cd_st_recebto_mdfe = " + NumeroComoLido(cStat) + "," + " no_recibo_mdfe = " +
           NumeroOuNull(nRec) + "," + " dh_recebto_mdfe = " + "'" + DobraAspas(dhRecbto) + "'" + "," +
           " qt_media_resposta_mdfe = " + NumeroOuNull(tMed) + " where id_mdf = " + std::to_string(id);
}

void GravaNumeroLote(Monitor& m, int32_t id, int32_t lote) {
    ExecutaAtualizacao(m, " update mov_mdfe set NO_LOTE_MDFE = " + std::to_string(lote) + " where id_mdf = " +
                              std::to_string(id));
}

// The caller's list needs no word from here: the walk reads the folder again
// when its snapshot runs out.
void ProcessaRecibo(Monitor& m, pugi::xml_document& vXMLDoc, FileList&, const std::string& lote) {
    m.it_sNomeArquivo = NomeRecibo(lote);
    std::string pasta = MontaCaminho(3, m.it_sPastaRaizMDFe, m.it_sCNPJEmpresa);
    std::string nome = m.it_sNomeArquivo;
    if (!ArquivoEhMDFe(pasta + nome)) return;   // not there yet: it stays for good

    std::string ok = MontaCaminho(12, m.it_sPastaRaizMDFe, m.it_sCNPJEmpresa);
    if (!platform::FolderExists(ok)) platform::CreateFolder(ok);

    CarregaXml(vXMLDoc, pasta + nome);
    pugi::xml_node raiz = ElementoRaiz(vXMLDoc);
    std::string cStat = Texto(raiz, "cStat");
    pugi::xml_node infRec = Container(raiz, "infRec");
    std::string nRec = Texto(infRec, "nRec");
    std::string dhRecbto = Texto(infRec, "dhRecbto");
    std::string tMed = Texto(infRec, "tMed");

    ExecutaAtualizacao(m, InstrucaoRecibo(cStat, nRec, ConverteDataHora(dhRecbto), tMed, m.it_iID_MDF));

    if (cStat == "103") {
        MoveArquivo(m, pasta, nome, 12);
        ++m.contadores.iConfirmacaoRecebida;
        ++m.contadores.iPedidosGerados;
    } else {
        ++m.contadores.iConfirmacaoErro;
        std::string destino = MoveArquivo(m, pasta, nome, 5);
        PerguntaVerErro(m, destino);
    }
}

void ProcessaNumeroLote(Monitor& m, pugi::xml_document& vXMLDoc, FileList& FileListBox1, const std::string& pasta) {
    PercorrePasta(m, FileListBox1, pasta, "MDFe*-num-lot.xml*", [&](const std::string& nome) {
        std::string caminho = pasta + nome;
        // The key's number and numeric-code fields, by position in the name.
        m.it_sNomeArquivo = platform::Utf8Right(caminho, 60);
        std::string numero = platform::Utf8Mid(m.it_sNomeArquivo, 30, 9);
        std::string codigo = platform::Utf8Mid(m.it_sNomeArquivo, 40, 8);
        if (!ArquivoEhMDFe(caminho)) return false;

        CarregaXml(vXMLDoc, caminho);
        m.MostraArquivo(nome);
        std::string lote = Texto(ElementoRaiz(vXMLDoc), "NumeroLoteGerado");
        std::string recibo = NomeRecibo(lote);

        m.qryPesquisa->Close();
        m.qryPesquisa->SetSQL(
            " select mm.id_mdf from mov_mdf mm inner join mov_mdfe md on (md.id_mdf = mm.id_mdf) where "
            "mm.NO_DOC_MDF = " +
            NumeroComoLido(numero) + " and md.NO_COD_NUMERICO_MDFE = " + NumeroComoLido(codigo));
        m.qryPesquisa->Open();
        m.it_iID_MDF = m.qryPesquisa->FieldByName("id_mdf").AsInteger();

        if (m.it_iID_MDF != 0) {
            GravaNumeroLote(m, m.it_iID_MDF, TextoParaInteiro(lote));
            ProcessaRecibo(m, vXMLDoc, FileListBox1, lote);
            MoveArquivo(m, pasta, nome, 12);
            ++m.contadores.iLotesProcessados;
        } else {
            ++m.contadores.iConfirmacaoErro;
            MoveArquivo(m, pasta, recibo, 5);
            std::string destino = MoveArquivo(m, pasta, nome, 5);
            PerguntaVerErro(m, destino);
            ++m.contadores.iLotesErro;
        }
        return true;
    });
}

} // namespace velmora
