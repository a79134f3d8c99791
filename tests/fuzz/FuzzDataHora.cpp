// libFuzzer target over ConverteDataHora, the date-time of a result file as
// the database is given it ("2015-03-10T14:25:30-03:00" -> "10.03.2015
// 14:25:30"). Characters are taken by position; a short text gives a short
// result, never an error.
//
// Properties, besides no crash: on ASCII text the result is the characters
// 9-10, 6-7, 1-4 and 12-19 (1-based, clipped at the end) with the dots and
// the blank; on valid UTF-8 text the result is valid UTF-8 of at most 19
// characters (a character is never cut in two); on a well-formed MDF-e
// date-time it is the day-first form with the offset dropped. (Bytes that
// are not UTF-8 have no characters to count; they only must not crash.)
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "processors/LeituraXml.h"
#include "processors/Numeros.h"
#include "processors/Passagem.h"
#include "platform/Text.h"

namespace {

[[noreturn]] void Falha(const std::string& what, const std::string& in, const std::string& out) {
    std::fprintf(stderr, "\n*** property broken: %s: \"%s\" -> \"%s\"\n", what.c_str(), in.c_str(), out.c_str());
    std::abort();
}

// Characters [first, first + count) of an ASCII text, 1-based, clipped.
std::string Pedaco(const std::string& text, size_t first, size_t count) {
    if (first - 1 >= text.size()) return "";
    return text.substr(first - 1, count);
}

bool Digitos(const std::string& text, size_t first, size_t count) {
    for (size_t i = first - 1; i < first - 1 + count; ++i)
        if (i >= text.size() || text[i] < '0' || text[i] > '9') return false;
    return true;
}

}   // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string texto(reinterpret_cast<const char*>(data), size);
    const std::string saida = velmora::ConverteDataHora(texto);

    bool ascii = true;
    for (unsigned char c : texto) ascii = ascii && c < 0x80;
    if (ascii) {
        std::string esperado =
            Pedaco(texto, 9, 2) + "." + Pedaco(texto, 6, 2) + "." + Pedaco(texto, 1, 4) + " " + Pedaco(texto, 12, 8);
        if (saida != esperado) Falha("positions", texto, saida);
    }
    if (velmora::platform::IsValidUtf8(texto)) {
        if (!velmora::platform::IsValidUtf8(saida)) Falha("a character was cut", texto, saida);
        if (velmora::platform::Utf8Length(saida) > 19) Falha("longer than a date-time", texto, saida);
    }
    // yyyy-mm-ddThh:mm:ss followed by any text (an offset, fractions).
    if (velmora::platform::IsValidUtf8(texto) && Digitos(texto, 1, 4) && texto[4] == '-' && Digitos(texto, 6, 2) &&
        texto[7] == '-' && Digitos(texto, 9, 2) && texto[10] == 'T' && Digitos(texto, 12, 2) && texto[13] == ':' &&
        Digitos(texto, 15, 2) && texto[16] == ':' && Digitos(texto, 18, 2)) {
        std::string esperado =
            texto.substr(8, 2) + "." + texto.substr(5, 2) + "." + texto.substr(0, 4) + " " + texto.substr(11, 8);
        if (saida != esperado) Falha("a well-formed date-time", texto, saida);
    }
    return 0;
}
