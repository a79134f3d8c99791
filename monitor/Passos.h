#pragma once
// The steps every return-file processor shares: the walk over the return
// folder, the MDF-e test, the question about an error file, reading result
// documents, composing and running the updates, and small text functions.
#include <cstdint>
#include <functional>
#include <string>
#include <pugixml.hpp>
#include "platform/Error.h"

namespace velmora {

class Monitor;
class FileList;

// The namespace the MDF-e standard gives its documents.
inline constexpr const char* kNamespaceMDFe = "http://www.portalfiscal.inf.br/mdfe";

// Walks `pasta` with `mascara`: for each file (ascending name order, letter
// case ignored, files arriving meanwhile included), pumps the window's
// messages and hands the name to `trataArquivo`, which answers whether it
// took the file up (false: skipped, nothing was done to it); the file-name
// label is emptied after a file that was taken up. `antesDoTurno`, when given, runs before every turn. A file that is
// gone by its turn is stepped past; so is every file the processor leaves in
// the folder, and the walk always ends.
void PercorrePasta(Monitor& m, FileList& lista, const std::string& pasta, const std::string& mascara,
                   const std::function<bool(const std::string& nome)>& trataArquivo,
                   const std::function<void()>& antesDoTurno = {});

bool ArquivoEhMDFe(const std::string& caminho);
void PerguntaVerErro(Monitor& m, const std::string& caminho);

// Moves a file of the return folder into the company's folder of `tipo`
// (5 "\Erro\", 12 "\Retorno\OK\"), keeping its name and replacing a file of
// that name; returns the new path. The move's outcome is not examined: a file
// that could not be moved stays and is met again in a later cycle.
std::string MoveArquivo(Monitor& m, const std::string& pasta, const std::string& nome, int tipo);

// Reading result documents.
void CarregaXml(pugi::xml_document& doc, const std::string& caminho);
pugi::xml_node ElementoRaiz(const pugi::xml_document& doc);
// Text of the first child element with that name; "" when absent.
std::string Texto(const pugi::xml_node& pai, const char* nome);
// The first child element with that name; an error when absent.
pugi::xml_node Container(const pugi::xml_node& pai, const char* nome);

// "2015-03-10T14:25:30-03:00" -> "10.03.2015 14:25:30".
std::string ConverteDataHora(const std::string& texto);

// Values read from result files go into SQL text. A value that stands
// unquoted must be a plain whole number (optional minus sign and digits):
// anything else fails here, before the statement reaches the database, the
// same way the database's own conversion error would end the pass.
bool EhNumeroInteiro(const std::string& texto);
// Unquoted number, or the word null for an empty value.
std::string NumeroOuNull(const std::string& texto);
// Unquoted number as read (an empty value stays empty).
std::string NumeroComoLido(const std::string& texto);
// Text inside single quotes, inner quotes doubled.
std::string Literal(const std::string& texto);
// Literal, or the word null for an empty value.
std::string LiteralOuNull(const std::string& texto);
// Inner single quotes doubled (for text that its statement quotes itself).
std::string DobraAspas(const std::string& texto);

// Runs one update on qryUpdate and commits it with " commit retain".
void ExecutaAtualizacao(Monitor& m, const std::string& sql);

std::string ZerosEsquerda(const std::string& valor, int largura);
std::string Replica(const std::string& texto, int vezes);
std::string Iif(bool condicao, const std::string& seVerdadeiro, const std::string& seFalso);

// Conversion of a text to a 32-bit integer, as the lot number needs it.
class ConversionError : public Error {
public:
    explicit ConversionError(const std::string& message) : Error(message) {}
    const char* TypeName() const noexcept override { return "EConvertError"; }
};
int32_t TextoParaInteiro(const std::string& texto);

} // namespace velmora
