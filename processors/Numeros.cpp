#include "processors/Numeros.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/Text.h"

namespace velmora {

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

}   // namespace velmora
