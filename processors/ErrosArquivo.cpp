// The transmitter's error files (".err"). The six processors differ only in
// whether the MDF-e test applies and the counter they raise; each counts the
// file, files it in "\Erro\" and offers to show it.
#include "processors/Processadores.h"

namespace velmora {

namespace {

Desfecho TrataErro(PassagemEmpresa& p, const std::string& nome, bool testaMDFe, int32_t Contadores::*contador) {
    if (testaMDFe && !ArquivoEhMDFe(p.PastaRetorno() + nome)) return Desfecho::NaoEhMDFe;
    ++(p.Contagem().*contador);
    p.Servicos().MostraArquivo(nome);
    std::string destino = p.Move(nome, 5);
    p.PerguntaVerErro(destino);
    return Desfecho::Rejeitado;
}

} // namespace

// A receipt error is taken whatever its first line says.
Desfecho TrataErroRecibo(PassagemEmpresa& p, const std::string& nome) {
    return TrataErro(p, nome, false, &Contadores::iLotesErro);
}
Desfecho TrataErroSituacao(PassagemEmpresa& p, const std::string& nome) {
    return TrataErro(p, nome, true, &Contadores::iConsultasMDFeErro);
}
Desfecho TrataErroProcessamento(PassagemEmpresa& p, const std::string& nome) {
    return TrataErro(p, nome, true, &Contadores::iConfirmacaoErro);
}
Desfecho TrataErroMDFe(PassagemEmpresa& p, const std::string& nome) {
    return TrataErro(p, nome, true, &Contadores::iConfirmacaoErro);
}
Desfecho TrataErroEnvioLote(PassagemEmpresa& p, const std::string& nome) {
    return TrataErro(p, nome, true, &Contadores::iConfirmacaoErro);
}
Desfecho TrataErroEvento(PassagemEmpresa& p, const std::string& nome) {
    return TrataErro(p, nome, true, &Contadores::iConsultasMDFeErro);
}

} // namespace velmora
