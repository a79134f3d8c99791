#include "processors/Passagem.h"

#include "db/Sql.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/Processes.h"
#include "platform/Text.h"
#include "processors/Pastas.h"

namespace velmora {

bool ArquivoEhMDFe(const std::string& caminho) {
    if (platform::UpperAscii(platform::FileNameOf(caminho)).find("MDFE") != std::string::npos) return true;
    auto linha = platform::ReadFirstLine(caminho);
    return linha && linha->find(kNamespaceMDFe) != std::string::npos;
}

PassagemEmpresa::PassagemEmpresa(ServicosPassagem& servicos, Contadores& contadores, db::Connection& conexao,
                                 db::Transaction& transacao, std::string raiz, std::string cnpj)
    : servicos_(servicos), contadores_(contadores), raiz_(std::move(raiz)), cnpj_(std::move(cnpj)),
      pastaRetorno_(MontaCaminho(3, raiz_, cnpj_)), vXMLDoc_(std::make_unique<pugi::xml_document>()),
      qryUpdate_(std::make_unique<db::Query>(conexao, "qryUpdate", &transacao)),
      qryPesquisa_(std::make_unique<db::Query>(conexao, "qryPesquisa", &transacao)) {}

PassagemEmpresa::~PassagemEmpresa() {
    vXMLDoc_.reset();
    qryUpdate_.reset();
    qryPesquisa_.reset();
}

std::string PassagemEmpresa::Pasta(int tipo) const { return MontaCaminho(tipo, raiz_, cnpj_); }

std::string PassagemEmpresa::Move(const std::string& nome, int tipo) {
    std::string destino = Pasta(tipo) + nome;
    platform::MoveFileReplace(pastaRetorno_ + nome, destino);
    return destino;
}

int32_t PassagemEmpresa::BuscaIdMDFe(const std::string& chave) {
    qryPesquisa_->Close();
    qryPesquisa_->SetSQL(
        " select mm.id_mdf, md.cd_chave_acesso_mdfe from mov_mdf mm inner join mov_mdfe md on (mm.id_mdf = "
        "md.id_mdf) where md.cd_chave_acesso_mdfe = " +
        db::Literal(chave));
    qryPesquisa_->Open();
    return qryPesquisa_->FieldByName("id_mdf").AsInteger();
}

void PassagemEmpresa::ExecutaAtualizacao(const std::string& sql) {
    qryUpdate_->Close();
    qryUpdate_->SetSQL(sql);
    qryUpdate_->ExecSQL();
    qryUpdate_->Close();
    qryUpdate_->SetSQL(" commit retain");
    qryUpdate_->ExecSQL();
}

void PassagemEmpresa::PerguntaVerErro(const std::string& caminho) {
    if (servicos_.Pergunta("Ocorreu um erro na geração deste MDF-e. Deseja visualizar o arquivo de erro?"))
        platform::OpenWithDefaultApplication(caminho);
}

void Percorre(PassagemEmpresa& passagem, const Processador& processador) {
    ServicosPassagem& servicos = passagem.Servicos();
    const std::string& pasta = passagem.PastaRetorno();
    servicos.Pump();
    FileList& lista = passagem.Lista();
    lista.Start(pasta, processador.mascara);
    for (std::string nome = lista.Next(); !nome.empty(); nome = lista.Next()) {
        if (processador.antesDoTurno) processador.antesDoTurno(passagem, nome);
        servicos.Pump();
        // Gone between the listing and its turn (taken by hand, or by another
        // workstation's monitor): nothing to do with it.
        if (!platform::FileExists(pasta + nome)) continue;
        if (processador.trataArquivo(passagem, nome) != Desfecho::NaoEhMDFe) servicos.MostraArquivo("");
    }
}

} // namespace velmora
