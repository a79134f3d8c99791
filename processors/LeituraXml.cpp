#include "processors/LeituraXml.h"

#include "platform/Error.h"
#include "platform/Paths.h"
#include "platform/Text.h"

namespace velmora {

void CarregaXml(pugi::xml_document& doc, const std::string& caminho) {
    pugi::xml_parse_result result = doc.load_file(platform::ToNative(caminho).c_str());
    if (!result)
        throw Error("Não foi possível ler o arquivo " + caminho + ": " + result.description() + " (posição " +
                    std::to_string(result.offset) + ")");
    if (!doc.document_element()) throw Error("O arquivo " + caminho + " não tem elemento raiz");
}

pugi::xml_node ElementoRaiz(const pugi::xml_document& doc) { return doc.document_element(); }

std::string Texto(const pugi::xml_node& pai, const char* nome) { return pai.child(nome).text().get(); }

pugi::xml_node Container(const pugi::xml_node& pai, const char* nome) {
    pugi::xml_node filho = pai.child(nome);
    if (!filho) throw Error(std::string("Elemento ") + nome + " não encontrado no arquivo de retorno");
    return filho;
}

std::string ConverteDataHora(const std::string& texto) {
    using platform::Utf8Mid;
    return Utf8Mid(texto, 9, 2) + "." + Utf8Mid(texto, 6, 2) + "." + Utf8Mid(texto, 1, 4) + " " + Utf8Mid(texto, 12, 8);
}

}   // namespace velmora
