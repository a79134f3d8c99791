#include "processors/ValoresSql.h"

#include "db/Sql.h"
#include "platform/Error.h"

namespace velmora {

bool EhNumeroInteiro(const std::string& texto) {
    size_t i = (!texto.empty() && texto[0] == '-') ? 1 : 0;
    if (i == texto.size()) return false;
    for (; i < texto.size(); ++i)
        if (texto[i] < '0' || texto[i] > '9') return false;
    return true;
}

namespace {
const std::string& ExigeNumero(const std::string& texto) {
    if (!EhNumeroInteiro(texto)) throw Error("Valor numérico inválido no arquivo de retorno: \"" + texto + "\"");
    return texto;
}
}   // namespace

std::string NumeroOuNull(const std::string& texto) { return texto.empty() ? "null" : ExigeNumero(texto); }

std::string NumeroComoLido(const std::string& texto) { return texto.empty() ? texto : ExigeNumero(texto); }

std::string LiteralOuNull(const std::string& texto) { return texto.empty() ? "null" : db::Literal(texto); }

}   // namespace velmora
