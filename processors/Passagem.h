#pragma once
// One company pass over its return folder: what the pass owns (the XML
// document, the two query objects, the file list, the company's root and
// CNPJ), the steps every processor shares, and the walk that hands each
// processor its files one at a time.
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <pugixml.hpp>
#include "db/Database.h"
#include "processors/Contadores.h"
#include "processors/FileList.h"
#include "processors/ServicosPassagem.h"

namespace velmora {

// How long after its last write a file counts as settled: the transmitter,
// writing over a busy share, has finished with it by then.
inline constexpr std::chrono::milliseconds kAssentamento{3000};

// The namespace the MDF-e standard gives its documents.
inline constexpr const char* kNamespaceMDFe = "http://www.portalfiscal.inf.br/mdfe";

// True when the file belongs to the MDF-e: its name holds "MDFE" in any
// letter case, or its first line holds the MDF-e namespace. Never reports.
bool ArquivoEhMDFe(const std::string& caminho);

class PassagemEmpresa {
public:
    // Creates the document, then qryUpdate, then qryPesquisa, bound to the
    // engine's session; they are freed in the same order when the pass ends,
    // on every path. `raiz` is the exchange root (ending in a separator).
    PassagemEmpresa(ServicosPassagem& servicos, std::string raiz, std::string cnpj);
    ~PassagemEmpresa();
    PassagemEmpresa(const PassagemEmpresa&) = delete;
    PassagemEmpresa& operator=(const PassagemEmpresa&) = delete;

    ServicosPassagem& Servicos() { return servicos_; }
    Contadores& Contagem() { return servicos_.Contagem(); }
    const std::string& Raiz() const { return raiz_; }
    const std::string& Cnpj() const { return cnpj_; }
    // The company's folder of a kind (3 "\Retorno\", 5 "\Erro\", 9
    // "\Enviado\Autorizados\", 12 "\Retorno\OK\"), ending in "\".
    std::string Pasta(int tipo) const;
    const std::string& PastaRetorno() const { return pastaRetorno_; }

    pugi::xml_document& Documento() { return *vXMLDoc_; }
    db::Query& Pesquisa() { return *qryPesquisa_; }
    FileList& Lista() { return lista_; }

    // The path a file of the return folder gets in the folder of `tipo`.
    std::string Destino(const std::string& nome, int tipo) const { return Pasta(tipo) + nome; }
    // Moves a file of the return folder into the folder of `tipo`, keeping
    // its name and replacing a file of that name there. True when this
    // monitor moved it: that move is its claim on the file, so the counters,
    // the question and the printing follow only a move that succeeded. A file
    // that could not be moved stays and is met again in a later cycle.
    bool Move(const std::string& nome, int tipo);

    enum class Leitura {
        Lido,         // in the pass's document
        Sumiu,        // gone: another workstation took it
        Escrevendo,   // not a whole document yet, and still being written
    };
    // Loads a result file into the pass's document. A file that cannot be
    // parsed while it is fresh (written less than kAssentamento ago, or
    // changed while it was read) is still being written; one that stays
    // unreadable once settled is an error that ends the pass.
    Leitura Carrega(const std::string& caminho);
    // Shows the name of a result file of the return folder, then Carrega.
    Leitura CarregaResultado(const std::string& nome);
    // The MDF-e record whose stored key ("MDFe" and the 44 digits) this is;
    // 0 when there is none.
    int32_t BuscaIdMDFe(const std::string& chave);
    // Runs one update on qryUpdate and commits it with " commit retain".
    void ExecutaAtualizacao(const std::string& sql);
    // Asks whether to show a file just moved to "\Erro\"; on Yes opens it.
    void PerguntaVerErro(const std::string& caminho);

private:
    ServicosPassagem& servicos_;
    std::string raiz_;
    std::string cnpj_;
    std::string pastaRetorno_;
    std::unique_ptr<pugi::xml_document> vXMLDoc_;
    std::unique_ptr<db::Query> qryUpdate_;
    std::unique_ptr<db::Query> qryPesquisa_;
    FileList lista_;
};

// What became of one file of a walk.
enum class Desfecho {
    NaoEhMDFe,   // failed the MDF-e test: left untouched, not shown, not counted
    Aplicado,    // applied, moved to "\Retorno\OK\"
    Rejeitado,   // moved to "\Erro\"
    Deixado,     // left in the return folder for a later pass
    Tomado,      // another workstation took it meanwhile
};

// The outcome of one file, with what the journal tells about it.
struct Resultado {
    Resultado(Desfecho d = Desfecho::Deixado) : desfecho(d) {}
    Desfecho desfecho;
    int32_t id = 0;          // the MDF-e record, 0 when none was looked up or found
    std::string status;      // the status the file carries (cStat)
    std::string protocolo;   // nProt
    std::string motivo;      // why a file was left in the return folder

    // What the file carried, for the journal.
    Resultado& Com(int32_t idMdf, std::string cStat, std::string nProt) {
        id = idMdf;
        status = std::move(cStat);
        protocolo = std::move(nProt);
        return *this;
    }
};

// A processor: the files its mask lists in the return folder, and what it
// does with one of them. `antesDoTurno`, when given, runs before each turn.
struct Processador {
    const char* nome;
    const char* mascara;
    Resultado (*trataArquivo)(PassagemEmpresa& passagem, const std::string& nome);
    void (*antesDoTurno)(PassagemEmpresa& passagem, const std::string& nome);
};

// The outcome of a file whose move failed: taken by another workstation when
// it is gone, left in the return folder when it is still there.
Resultado NaoMovido(const PassagemEmpresa& passagem, const std::string& nome);
// The outcome of a result file that could not be loaded.
Resultado NaoLido(PassagemEmpresa::Leitura leitura);
// The journal's line for one file: the company, the file, who handled it,
// where it went and what it carried. A file left in the return folder is
// told of once.
void RegistraArquivo(PassagemEmpresa& passagem, const char* processador, const std::string& nome,
                     const Resultado& resultado);

// Walks the return folder with the processor's mask: every matching file, in
// ascending name order ignoring letter case, files arriving meanwhile
// included; the window's messages are dispatched before each file and the
// file-name line is emptied after each file taken up; the journal gets a
// line for each. A file that is gone by its turn is stepped past, and so is
// every file the processor leaves in the folder, so the walk always ends. A
// record held by another connection leaves its file for a later pass.
void Percorre(PassagemEmpresa& passagem, const Processador& processador);

}   // namespace velmora
