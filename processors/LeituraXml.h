#pragma once
// Reading result documents: elements are reached by name from the document
// element down, whatever the document element is called.
#include <string>
#include <pugixml.hpp>

namespace velmora {

// Loads a result file (program-form path) into the pass's document; an error
// when it is not a well-formed document with a document element.
void CarregaXml(pugi::xml_document& doc, const std::string& caminho);
pugi::xml_node ElementoRaiz(const pugi::xml_document& doc);
// Text of the first child element with that name; "" when absent.
std::string Texto(const pugi::xml_node& pai, const char* nome);
// The first child element with that name; an error when absent.
pugi::xml_node Container(const pugi::xml_node& pai, const char* nome);

// "2015-03-10T14:25:30-03:00" -> "10.03.2015 14:25:30".
std::string ConverteDataHora(const std::string& texto);

}   // namespace velmora
