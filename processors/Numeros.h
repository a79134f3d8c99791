#pragma once
// Numbers as result files carry them: lot numbers left-filled with zeros in
// file names, and the lot number as a 32-bit integer for the database.
#include <cstdint>
#include <string>
#include "platform/Error.h"

namespace velmora {

// Blanks and control characters trimmed; the last `largura` characters of a
// longer value, a shorter one left-filled with "0".
std::string ZerosEsquerda(const std::string& valor, int largura);
// The text repeated; empty for a count of zero or less.
std::string Replica(const std::string& texto, int vezes);

class ConversionError : public Error {
public:
    explicit ConversionError(const std::string& message) : Error(message) {}
    const char* TypeName() const noexcept override { return "EConvertError"; }
};
// The text (blanks trimmed) as a signed 32-bit integer; ConversionError otherwise.
int32_t TextoParaInteiro(const std::string& texto);

}   // namespace velmora
