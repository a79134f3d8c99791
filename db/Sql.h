#pragma once
// Text values in SQL statements built by concatenation.
#include <string>

namespace velmora::db {

// Inner single quotes doubled (for text that its statement quotes itself).
std::string DobraAspas(const std::string& texto);
// The text as an SQL string literal: in single quotes, inner quotes doubled.
std::string Literal(const std::string& texto);

}   // namespace velmora::db
