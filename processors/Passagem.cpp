#include "processors/Passagem.h"

#include "db/Sql.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/Processes.h"
#include "platform/Text.h"
#include "processors/LeituraXml.h"
#include "processors/Pastas.h"

namespace velmora {

bool ArquivoEhMDFe(const std::string& caminho) {
    if (platform::UpperAscii(platform::FileNameOf(caminho)).find("MDFE") != std::string::npos) return true;
    auto linha = platform::ReadFirstLine(caminho);
    return linha && linha->find(kNamespaceMDFe) != std::string::npos;
}

PassagemEmpresa::PassagemEmpresa(ServicosPassagem& servicos, std::string raiz, std::string cnpj)
    : servicos_(servicos), raiz_(std::move(raiz)), cnpj_(std::move(cnpj)), pastaRetorno_(MontaCaminho(3, raiz_, cnpj_)),
      vXMLDoc_(std::make_unique<pugi::xml_document>()),
      qryUpdate_(std::make_unique<db::Query>(servicos.Conexao(), "qryUpdate", &servicos.Transacao())),
      qryPesquisa_(std::make_unique<db::Query>(servicos.Conexao(), "qryPesquisa", &servicos.Transacao())) {}

PassagemEmpresa::~PassagemEmpresa() {
    vXMLDoc_.reset();
    qryUpdate_.reset();
    qryPesquisa_.reset();
}

std::string PassagemEmpresa::Pasta(int tipo) const { return MontaCaminho(tipo, raiz_, cnpj_); }

bool PassagemEmpresa::Move(const std::string& nome, int tipo) {
    return platform::MoveFileReplace(pastaRetorno_ + nome, Destino(nome, tipo));
}

PassagemEmpresa::Leitura PassagemEmpresa::CarregaResultado(const std::string& nome) {
    // Named before it is read, so that a file that stops the pass stays on
    // the window.
    servicos_.MostraArquivo(nome);
    return Carrega(pastaRetorno_ + nome);
}

PassagemEmpresa::Leitura PassagemEmpresa::Carrega(const std::string& caminho) {
    const auto antes = platform::StampOf(caminho);
    try {
        CarregaXml(*vXMLDoc_, caminho);
        return Leitura::Lido;
    } catch (const Error&) {
        const auto depois = platform::StampOf(caminho);
        if (!depois) return Leitura::Sumiu;
        const bool mudou = !antes || *antes != *depois;
        const bool recente = std::chrono::system_clock::now() - depois->written < kAssentamento;
        if (mudou || recente) return Leitura::Escrevendo;
        throw;
    }
}

Resultado NaoMovido(const PassagemEmpresa& passagem, const std::string& nome) {
    if (!platform::FileExists(passagem.PastaRetorno() + nome)) return Desfecho::Tomado;
    Resultado r(Desfecho::Deixado);
    r.motivo = "não pôde ser movido";
    return r;
}

Resultado NaoLido(PassagemEmpresa::Leitura leitura) {
    if (leitura == PassagemEmpresa::Leitura::Sumiu) return Desfecho::Tomado;
    Resultado r(Desfecho::Deixado);
    r.motivo = "ainda sendo gravado";
    return r;
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
    if (servicos_.Pergunta("Ocorreu um erro na geração deste MDF-e. Deseja visualizar o arquivo de erro?") &&
        !platform::OpenWithDefaultApplication(caminho))
        servicos_.Registra("não foi possível abrir " + caminho +
                           ": nenhum programa para abrir arquivos (xdg-open) pôde ser iniciado");
}

namespace {

std::string PrimeiraLinha(const std::string& texto) { return texto.substr(0, texto.find('\n')); }

}   // namespace

void RegistraArquivo(PassagemEmpresa& passagem, const char* processador, const std::string& nome, const Resultado& r) {
    std::string linha = "arquivo " + passagem.Cnpj() + " " + nome + " (" + processador + "): ";
    switch (r.desfecho) {
    case Desfecho::Aplicado: linha += "aceito, movido para Retorno\\OK"; break;
    case Desfecho::Rejeitado: linha += "rejeitado, movido para Erro"; break;
    case Desfecho::Deixado: linha += "deixado em Retorno (" + r.motivo + ")"; break;
    case Desfecho::Tomado: linha += "tomado por outra estação"; break;
    case Desfecho::NaoEhMDFe: linha += "não é do MDF-e, deixado em Retorno"; break;
    }
    if (r.id != 0) linha += "; id_mdf " + std::to_string(r.id);
    if (!r.status.empty()) linha += "; cStat " + r.status;
    if (!r.protocolo.empty()) linha += "; nProt " + r.protocolo;
    passagem.Servicos().Registra(linha, r.desfecho == Desfecho::Deixado);
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
        Resultado resultado;
        try {
            resultado = processador.trataArquivo(passagem, nome);
        } catch (const db::LockConflict& e) {
            // Another workstation or an ERP user holds the record: nothing of
            // the failed statement was kept and the file did not move, so it
            // waits for a later pass.
            resultado.motivo = "registro em uso por outra conexão: " + PrimeiraLinha(e.Message());
        }
        if (resultado.desfecho == Desfecho::NaoEhMDFe) continue;
        servicos.MostraArquivo("");
        RegistraArquivo(passagem, processador.nome, nome, resultado);
    }
}

}   // namespace velmora
