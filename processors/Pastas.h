#pragma once
// The exchange folder tree shared with the transmitter: root (from the
// database), company folder (the CNPJ as stored) and the folders by kind.
#include <string>
#include "db/Database.h"

namespace velmora {

// Reads the root from tab_parametro; always ends in a separator.
std::string LeCaminhoRaizMDFe(db::Connection& conexao);
// Root, CNPJ and the kind's suffix, joined as they are.
std::string MontaCaminho(int tipo, const std::string& raiz, const std::string& cnpj);
// Makes sure the company's tree exists, parents first; failures pass quietly.
void CriaPastas(const std::string& raiz, const std::string& cnpj);

}   // namespace velmora
