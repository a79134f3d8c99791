#pragma once
// Values read from result files go into SQL text. A value that stands
// unquoted must be a plain whole number (optional minus sign and digits):
// anything else fails here, before the statement reaches the database, the
// same way the database's own conversion error would end the pass. Quoted
// values have their inner quotes doubled (db/Sql.h).
#include <string>

namespace velmora {

bool EhNumeroInteiro(const std::string& texto);
// Unquoted number, or the word null for an empty value.
std::string NumeroOuNull(const std::string& texto);
// Unquoted number as read (an empty value stays empty).
std::string NumeroComoLido(const std::string& texto);
// String literal, or the word null for an empty value.
std::string LiteralOuNull(const std::string& texto);

}   // namespace velmora
