// The transmitter's error files (".err"). The six processors differ only in
// whether the MDF-e test applies and the counter they raise; each counts the
// file, files it in "\Erro\" and offers to show it.
#include "processors/Processadores.h"

namespace velmora {

namespace {

Resultado TrataErro(PassagemEmpresa& p, const std::string& nome, bool testaMDFe, int32_t Contadores::*contador) {
    if (testaMDFe && !ArquivoEhMDFe(p.PastaRetorno() + nome)) return Desfecho::NaoEhMDFe;
    p.Servicos().MostraArquivo(nome);
    if (!p.Move(nome, 5)) return NaoMovido(p, nome);
    ++(p.Contagem().*contador);
    p.PerguntaVerErro(p.Destino(nome, 5));
    return Desfecho::Rejeitado;
}

}   // namespace

// A receipt error is taken whatever its first line says.
Resultado TrataErroRecibo(PassagemEmpresa& p, const std::string& nome) {
    return TrataErro(p, nome, false, &Contadores::iLotesErro);
}
Resultado TrataErroSituacao(PassagemEmpresa& p, const std::string& nome) {
    return TrataErro(p, nome, true, &Contadores::iConsultasMDFeErro);
}
Resultado TrataErroProcessamento(PassagemEmpresa& p, const std::string& nome) {
    return TrataErro(p, nome, true, &Contadores::iConfirmacaoErro);
}
Resultado TrataErroMDFe(PassagemEmpresa& p, const std::string& nome) {
    return TrataErro(p, nome, true, &Contadores::iConfirmacaoErro);
}
Resultado TrataErroEnvioLote(PassagemEmpresa& p, const std::string& nome) {
    return TrataErro(p, nome, true, &Contadores::iConfirmacaoErro);
}
Resultado TrataErroEvento(PassagemEmpresa& p, const std::string& nome) {
    return TrataErro(p, nome, true, &Contadores::iConsultasMDFeErro);
}

}   // namespace velmora
