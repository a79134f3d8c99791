// Printing an authorised MDF-e through the transmitter maker's printing tool.
#include <cstdio>

#include "platform/FileSystem.h"
#include "platform/Locale.h"
#include "platform/Processes.h"
#include "processors/Processadores.h"

namespace velmora {

namespace {
constexpr const char* kImpressor = "c:\\unimake\\uninfe\\unidanfe.exe";
constexpr const char* kPastaImpressor = "c:\\unimake\\unidanfe";

std::string AnoMes(const platform::LocalDateTime& hoje) {
    char texto[16];
    std::snprintf(texto, sizeof texto, "%04d%02d", hoje.year, hoje.month);
    return texto;
}
}   // namespace

void ImprimeMDFe(PassagemEmpresa& p, int32_t id) {
    db::Query& qryPesquisa = p.Pesquisa();
    qryPesquisa.Close();
    qryPesquisa.SetSQL(
        " select mm.id_mdf, emp.no_cnpj_cpf, md.cd_chave_acesso_mdfe from mov_mdf mm inner join mov_mdfe md on "
        "(mm.id_mdf = md.id_mdf) inner join cad_pessoa emp on (emp.id_pessoa = mm.id_empresa) where mm.id_mdf = " +
        std::to_string(id));
    qryPesquisa.Open();
    std::string chave = qryPesquisa.FieldByName("cd_chave_acesso_mdfe").AsString();
    std::string cnpj = qryPesquisa.FieldByName("no_cnpj_cpf").AsString();

    std::string arquivo = p.Pasta(9) + AnoMes(platform::Now()) + "\\" + chave + "-procMDFe.xml";
    if (!platform::FileExists(arquivo)) {
        p.Servicos().Mensagem("Atenção",
                              "O arquivo de NFe \"" + arquivo + " não foi encontrado.\r\nNão pode imprimir o MDFe.",
                              Icon::Warning);
        throw SilentAbort();
    }
    std::string parametros = " ARQUIVO=\"" + arquivo + "\"" + " COPIAS=" + std::to_string(1) + " SAIDAERROS=A" +
                             " CONFIGURACAO=\"" + cnpj + "\"";
    platform::StartProgram(kImpressor, parametros, kPastaImpressor);
}

}   // namespace velmora
