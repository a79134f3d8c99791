#include "db/Sql.h"

namespace velmora::db {

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

}   // namespace velmora::db
