// The transmitter's error files (".err"). The six processors differ only in
// their mask, whether the MDF-e test applies, and the counter they raise;
// each counts the file, files it in "\Erro\" and offers to show it.
#include "monitor/FileList.h"
#include "monitor/Monitor.h"
#include "monitor/Passos.h"
#include "processors/Processadores.h"

namespace velmora {

namespace {

struct ErroArquivo {
    const char* mascara;
    bool testaMDFe;
    int32_t Contadores::*contador;
};

// "*-rec.err*" also matches every "*-pro-rec.err*" name; since the receipt
// errors are walked first, a processing error present when the pass starts
// is counted as a lot with error.
constexpr ErroArquivo kErroRecibo{"*-rec.err*", false, &Contadores::iLotesErro};
constexpr ErroArquivo kErroSituacao{"*-sit.err*", true, &Contadores::iConsultasMDFeErro};
constexpr ErroArquivo kErroProcessamento{"*-pro-rec.err*", true, &Contadores::iConfirmacaoErro};
constexpr ErroArquivo kErroMDFe{"*mdfe.err*", true, &Contadores::iConfirmacaoErro};
constexpr ErroArquivo kErroEnvioLote{"*env-loterps.err*", true, &Contadores::iConfirmacaoErro};
constexpr ErroArquivo kErroEvento{"*-eve.err*", true, &Contadores::iConsultasMDFeErro};

void ProcessaErro(Monitor& m, FileList& lista, const std::string& pasta, const ErroArquivo& tipo) {
    m.Pump();
    PercorrePasta(m, lista, pasta, tipo.mascara, [&](const std::string& nome) {
        if (tipo.testaMDFe && !ArquivoEhMDFe(pasta + nome)) return false;
        ++(m.contadores.*tipo.contador);
        m.MostraArquivo(nome);
        std::string destino = MoveArquivo(m, pasta, nome, 5);
        PerguntaVerErro(m, destino);
        return true;
    });
}

} // namespace

void ProcessaErroRecibo(Monitor& m, pugi::xml_document&, FileList& l, const std::string& p) { ProcessaErro(m, l, p, kErroRecibo); }
void ProcessaErroSituacao(Monitor& m, pugi::xml_document&, FileList& l, const std::string& p) { ProcessaErro(m, l, p, kErroSituacao); }
void ProcessaErroProcessamento(Monitor& m, pugi::xml_document&, FileList& l, const std::string& p) { ProcessaErro(m, l, p, kErroProcessamento); }
void ProcessaErroMDFe(Monitor& m, pugi::xml_document&, FileList& l, const std::string& p) { ProcessaErro(m, l, p, kErroMDFe); }
void ProcessaErroEnvioLote(Monitor& m, pugi::xml_document&, FileList& l, const std::string& p) { ProcessaErro(m, l, p, kErroEnvioLote); }
void ProcessaErroEvento(Monitor& m, pugi::xml_document&, FileList& l, const std::string& p) { ProcessaErro(m, l, p, kErroEvento); }

} // namespace velmora
