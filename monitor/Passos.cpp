#include "monitor/Passos.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "monitor/FileList.h"
#include "monitor/Monitor.h"
#include "monitor/Pastas.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/Processes.h"
#include "platform/Text.h"

namespace velmora {

// ---------------------------------------------------------------- the walk

void PercorrePasta(Monitor& m, FileList& lista, const std::string& pasta, const std::string& mascara,
                   const std::function<bool(const std::string& nome)>& trataArquivo,
                   const std::function<void()>& antesDoTurno) {
    lista.Start(pasta, mascara);
    for (std::string nome = lista.Next(); !nome.empty(); nome = lista.Next()) {
        if (antesDoTurno) antesDoTurno();
        m.Pump();
        // Gone between the listing and its turn (taken by hand, or by another
        // workstation's monitor): nothing to do with it.
        if (!platform::FileExists(pasta + nome)) continue;
        if (trataArquivo(nome)) m.MostraArquivo("");
    }
}

bool ArquivoEhMDFe(const std::string& caminho) {
    if (platform::UpperAscii(platform::FileNameOf(caminho)).find("MDFE") != std::string::npos) return true;
    auto linha = platform::ReadFirstLine(caminho);
    return linha && linha->find(kNamespaceMDFe) != std::string::npos;
}

void PerguntaVerErro(Monitor& m, const std::string& caminho) {
    if (m.Pergunta("Ocorreu um erro na geração deste MDF-e. Deseja visualizar o arquivo de erro?"))
        platform::OpenWithDefaultApplication(caminho);
}

std::string MoveArquivo(Monitor& m, const std::string& pasta, const std::string& nome, int tipo) {
    std::string destino = MontaCaminho(tipo, m.it_sPastaRaizMDFe, m.it_sCNPJEmpresa) + nome;
    platform::MoveFileReplace(pasta + nome, destino);
    return destino;
}

// ---------------------------------------------------------------- documents

void CarregaXml(pugi::xml_document& doc, const std::string& caminho) {
    pugi::xml_parse_result result = doc.load_file(platform::ToNative(caminho).c_str());
    if (!result)
        throw Error("Não foi possível ler o arquivo " + caminho + ": " + result.description() + " (posição " +
                    std::to_string(result.offset) + ")");
    if (!doc.document_element()) throw Error("O arquivo " + caminho + " não tem elemento raiz");
}

pugi::xml_node ElementoRaiz(const pugi::xml_document& doc) { return doc.document_element(); }

std::string Texto(const pugi::xml_node& pai, const char* nome) {
    return pai.child(nome).text().get();
}

pugi::xml_node Container(const pugi::xml_node& pai, const char* nome) {
    pugi::xml_node filho = pai.child(nome);
    if (!filho) throw Error(std::string("Elemento ") + nome + " não encontrado no arquivo de retorno");
    return filho;
}

std::string ConverteDataHora(const std::string& texto) {
    using platform::Utf8Mid;
    return Utf8Mid(texto, 9, 2) + "." + Utf8Mid(texto, 6, 2) + "." + Utf8Mid(texto, 1, 4) + " " +
           Utf8Mid(texto, 12, 8);
}

// ---------------------------------------------------------------- SQL values

bool EhNumeroInteiro(const std::string& texto) {
    size_t i = (!texto.empty() && texto[0] == '-') ? 1 : 0;
    if (i == texto.size()) return false;
    for (; i < texto.size(); ++i)
        if (texto[i] < '0' || texto[i] > '9') return false;
    return true;
}

namespace {
const std::string& ExigeNumero(const std::string& texto) {
    if (!EhNumeroInteiro(texto))
        throw Error("Valor numérico inválido no arquivo de retorno: \"" + texto + "\"");
    return texto;
}
} // namespace

std::string NumeroOuNull(const std::string& texto) { return texto.empty() ? "null" : ExigeNumero(texto); }

std::string NumeroComoLido(const std::string& texto) { return texto.empty() ? texto : ExigeNumero(texto); }

std::string DobraAspas(const std::string& texto) {
    std::string result;
    result.reserve(texto.size() + 2);
    for (char c : texto) {
        result += c;
        if (c == '\'') result += '\'';
    }
    return result;
}

std::string Literal(const std::string& texto) { return "'" + DobraAspas(texto) + "'"; }

std::string LiteralOuNull(const std::string& texto) { return texto.empty() ? "null" : Literal(texto); }

void ExecutaAtualizacao(Monitor& m, const std::string& sql) {
    m.qryUpdate->Close();
    m.qryUpdate->SetSQL(sql);
    m.qryUpdate->ExecSQL();
    m.qryUpdate->Close();
    m.qryUpdate->SetSQL(" commit retain");
    m.qryUpdate->ExecSQL();
}

// ---------------------------------------------------------------- text

std::string ZerosEsquerda(const std::string& valor, int largura) {
    std::string texto = platform::Trim(valor);
    size_t tamanho = platform::Utf8Length(texto);
    size_t alvo = largura > 0 ? static_cast<size_t>(largura) : 0;
    if (tamanho > alvo) return platform::Utf8Right(texto, alvo);
    return Replica("0", static_cast<int>(alvo - tamanho)) + texto;
}

std::string Replica(const std::string& texto, int vezes) {
    std::string result;
    for (int i = 0; i < vezes; ++i) result += texto;
    return result;
}

std::string Iif(bool condicao, const std::string& seVerdadeiro, const std::string& seFalso) {
    return condicao ? seVerdadeiro : seFalso;
}

int32_t TextoParaInteiro(const std::string& texto) {
    std::string t = platform::Trim(texto);
    size_t i = (!t.empty() && (t[0] == '-' || t[0] == '+')) ? 1 : 0;
    bool valido = i < t.size();
    for (size_t j = i; j < t.size(); ++j)
        if (t[j] < '0' || t[j] > '9') valido = false;
    if (valido) {
        errno = 0;
        long long valor = std::strtoll(t.c_str(), nullptr, 10);
        if (errno == 0 && valor >= INT32_MIN && valor <= INT32_MAX) return static_cast<int32_t>(valor);
    }
    throw ConversionError("'" + texto + "' is not a valid integer value");
}

} // namespace velmora
