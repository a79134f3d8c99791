#include "processors/Pastas.h"

#include "platform/FileSystem.h"
#include "platform/Paths.h"

namespace velmora {

namespace {

struct TipoPasta {
    int tipo;
    const char* sufixo;
};

// There is no kind 7. The order is the creation order: parents first.
constexpr TipoPasta kTiposPasta[] = {
    {1, "\\Envio\\"},
    {2, "\\EnvioEmLote\\"},
    {3, "\\Retorno\\"},
    {4, "\\Enviado\\"},
    {5, "\\Erro\\"},
    {6, "\\Validar\\"},
    {8, "\\Validar\\Validado\\"},
    {9, "\\Enviado\\Autorizados\\"},
    {10, "\\Enviado\\Denegados\\"},
    {11, "\\Enviado\\EmProcessamento\\"},
    {12, "\\Retorno\\OK\\"},
};

}   // namespace

std::string LeCaminhoRaizMDFe(db::Connection& conexao) {
    db::Query qryPastaMDFe(conexao, "qryPastaMDFe");
    qryPastaMDFe.Close();
    qryPastaMDFe.SetSQL(" select NM_CAMINHO_RAIZ_MDFE from tab_parametro");
    qryPastaMDFe.Open();
    std::string raiz = qryPastaMDFe.FieldByName("NM_CAMINHO_RAIZ_MDFE").AsString();
    // A native root may end in "/": that is a separator here too.
    if (raiz.empty() || !platform::IsSeparator(raiz.back())) raiz += "\\";
    return raiz;
}

std::string MontaCaminho(int tipo, const std::string& raiz, const std::string& cnpj) {
    for (const auto& pasta : kTiposPasta)
        if (pasta.tipo == tipo) return raiz + cnpj + pasta.sufixo;
    throw Error("Tipo de pasta desconhecido: " + std::to_string(tipo));
}

void CriaPastas(const std::string& raiz, const std::string& cnpj) {
    std::string empresa = raiz + cnpj;
    if (!platform::FolderExists(empresa)) platform::CreateFolder(empresa);
    for (const auto& pasta : kTiposPasta) {
        std::string caminho = MontaCaminho(pasta.tipo, raiz, cnpj);
        if (!platform::FolderExists(caminho)) platform::CreateFolder(caminho);
    }
}

}   // namespace velmora
