// libFuzzer target over one processor's reading of a result document. The
// input becomes the result file of that processor's kind in a company's
// return folder, and a real company pass runs over it against an embedded
// ERP database made once per process. Built once per kind, VELMORA_FUZZ_TIPO
// naming it: numero_lote, recibo, processamento, evento, situacao, erro.
//
// Besides "no crash, no hang" (the sanitizers and libFuzzer's timeout watch
// those), every input must leave:
// - no value out of its place: only the target MDF-e's row (and, for an
//   event, its driver's row) may differ afterwards, and in it only the
//   columns that kind of result writes; every other row of the tables the
//   monitor touches stays byte for byte as it was;
// - every file in exactly one of "\Retorno\", "\Retorno\OK\", "\Erro\", and
//   all of them still in "\Retorno\" when the pass ended with an error
//   (velmora::Error; the printing step's silent abort comes after the move).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "monitor/Monitor.h"
#include "processors/Pastas.h"
#include "tests/robustness/Tabelas.h"
#include "tests/support/ScriptedUi.h"
#include "tests/support/TestDatabase.h"
#include "tools/transmissor/Documentos.h"

namespace velmora::fuzz {
namespace {

namespace fs = std::filesystem;
namespace tx = transmissor;

constexpr std::string_view kTipo = VELMORA_FUZZ_TIPO;
const std::string kCnpj = "12345678000199";
const std::string kCnpjOutra = "98765432000155";

// Columns of mov_mdfe in table order (select *); the first three identify
// the record and never change.
enum ColunaMdfe {
    kIdMdf,
    kCodNumerico,
    kChave,
    kLote,
    kStRecebto,
    kRecibo,
    kDhRecebto,
    kMediaResposta,
    kStLote,
    kProtocolo,
    kDhProcessa,
    kStMdfe,
    kProtocoloEnc,
    kDhEnc,
    kStEnc,
    kProtocoloCan,
    kDhCan,
    kStCan,
    kColunas
};

// The columns each kind of result may write on its record.
std::set<int> ColunasDoTipo() {
    if (kTipo == "numero_lote" || kTipo == "recibo") return {kLote, kStRecebto, kRecibo, kDhRecebto, kMediaResposta};
    if (kTipo == "processamento") return {kStLote, kProtocolo, kDhProcessa, kStMdfe};
    if (kTipo == "evento") return {kProtocoloEnc, kDhEnc, kStEnc, kProtocoloCan, kDhCan, kStCan};
    if (kTipo == "situacao")
        return {kStLote, kProtocolo, kDhProcessa,   kStMdfe, kProtocoloEnc,
                kDhEnc,  kStEnc,     kProtocoloCan, kDhCan,  kStCan};
    return {};
}

[[noreturn]] void Falha(const std::string& what) {
    std::fprintf(stderr, "\n*** property broken (%s): %s\n", std::string(kTipo).c_str(), what.c_str());
    std::abort();
}

struct Bancada {
    Bancada() {
        raiz = db.Dir().str() + "mdfe/";
        fs::create_directories(raiz);
        db.SetRootFolder(raiz);
        const int empresa = db.AddCompany(kCnpj);
        const int outraEmpresa = db.AddCompany(kCnpjOutra);
        chave = tx::ChaveAcesso(kCnpj, 123, 12345678);
        alvo = db.AddMdfe(empresa, chave);
        // Neighbours the pass must never touch: another record of the same
        // company, one of another company, and their drivers.
        const int vizinho = db.AddMdfe(empresa, tx::ChaveAcesso(kCnpj, 124, 12345679));
        const int deOutra = db.AddMdfe(outraEmpresa, tx::ChaveAcesso(kCnpjOutra, 125, 12345680));
        condutorAlvo = db.AddDriver(alvo, 1);
        db.AddDriver(vizinho, 1);
        db.AddDriver(vizinho, 2);
        db.AddDriver(deOutra, 1);
        db.Close();

        m = std::make_unique<Monitor>(ui);
        m->ConectaBanco(db.Location());
        olhar = std::make_unique<test::Session>(db.Location());
        CriaPastas(raiz, kCnpj);
        retorno = raiz + kCnpj + "/Retorno/";
        inicial = test::LeTabelas(*olhar);
    }
    ~Bancada() {
        olhar.reset();
        m.reset();
    }

    // The files of one input: name -> content.
    std::vector<std::pair<std::string, std::string>> Arquivos(std::string_view entrada) const {
        const std::string texto(entrada);
        if (kTipo == "numero_lote") return {{tx::NomeNumeroLote(chave), texto}};
        if (kTipo == "recibo")
            return {{tx::NomeNumeroLote(chave), tx::NumeroLote("42")}, {tx::NomeRecibo("42"), texto}};
        if (kTipo == "processamento") return {{"419000000000001-pro-rec.xml", texto}};
        if (kTipo == "evento") return {{tx::NomeEvento(chave), texto}};
        if (kTipo == "situacao") return {{tx::NomeSituacao(chave), texto}};
        return {{"419000000000001-sit.err", texto}};
    }

    std::string Onde(const std::string& nome) const {
        std::string achado;
        int vezes = 0;
        for (const char* sub : {"", "OK/", "../Erro/"}) {
            if (fs::is_regular_file(retorno + sub + nome)) {
                achado = sub;
                ++vezes;
            }
        }
        if (vezes != 1) Falha(nome + " is in " + std::to_string(vezes) + " of the three folders");
        return achado;
    }

    void Confere(bool erro, bool abortoSilencioso, const std::vector<std::pair<std::string, std::string>>& arquivos) {
        for (const auto& [nome, conteudo] : arquivos) {
            std::string onde = Onde(nome);
            if (erro && !abortoSilencioso && !onde.empty())
                Falha(nome + " left the return folder although the pass ended with an error");
        }
        test::Tabelas agora = test::LeTabelas(*olhar);
        const std::string linhaAlvo = std::to_string(alvo);
        const std::set<int> permitidas = ColunasDoTipo();
        mudou = false;
        for (const std::string& mudada : test::LinhasMudadas(inicial, agora)) {
            mudou = true;
            if (mudada == "mov_mdfe " + linhaAlvo) {
                const auto& antes = inicial.at("mov_mdfe").at(linhaAlvo);
                const auto& depois = agora.at("mov_mdfe").at(linhaAlvo);
                for (int c = 0; c < kColunas; ++c)
                    if (antes.at(c) != depois.at(c) && !permitidas.count(c))
                        Falha("column " + std::to_string(c) + " of the target record changed");
            } else if (!(kTipo == "evento" && mudada == "MOV_MDF_CONDUTOR " + std::to_string(condutorAlvo))) {
                Falha(mudada + " changed");
            }
        }
    }

    void Limpa(const std::vector<std::pair<std::string, std::string>>& arquivos) {
        for (const auto& [nome, conteudo] : arquivos)
            for (const char* sub : {"", "OK/", "../Erro/"}) fs::remove(retorno + sub + nome);
        if (mudou) {
            // Back to the record as it was made.
            db::Query q(olhar->connection, "qryVolta", &olhar->transaction);
            q.SetSQL("update mov_mdfe set NO_LOTE_MDFE = null, cd_st_recebto_mdfe = null, no_recibo_mdfe = null, "
                     "dh_recebto_mdfe = null, qt_media_resposta_mdfe = null, cd_st_lote_mdfe = null, "
                     "NO_PROTOCOLO_MDFE = null, DH_PROCESSA_MDFE = null, CD_ST_MDFE = null, NO_PROTOCOLO_ENC_MDFE = "
                     "null, DH_PROCESSA_ENC_MDFE = null, CD_ST_ENC_MDFE = null, NO_PROTOCOLO_CAN_MDFE = null, "
                     "DH_PROCESSA_CAN_MDFE = null, CD_ST_CAN_MDFE = null where id_mdf = " +
                     std::to_string(alvo));
            q.ExecSQL();
            q.SetSQL("update MOV_MDF_CONDUTOR set NO_PROTOCOLO_CONDUTOR = null, DH_PROCESSA_CONDUTOR = null, "
                     "CD_ST_CONDUTOR = null where id_mdf_condutor = " +
                     std::to_string(condutorAlvo));
            q.ExecSQL();
            olhar->transaction.Commit();
        }
        // The scripted window keeps what it showed; a long run must not.
        ui.messages.clear();
        ui.questions.clear();
        ui.fileNames.clear();
        ui.timerChanges.clear();
        m->RunHandler([&] { m->BitBtn2Click(); });
    }

    test::TestDatabase db;
    test::ScriptedUi ui;
    std::unique_ptr<Monitor> m;
    std::unique_ptr<test::Session> olhar;
    std::string raiz, retorno, chave;
    int alvo = 0, condutorAlvo = 0;
    test::Tabelas inicial;
    bool mudou = false;
};

}   // namespace
}   // namespace velmora::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace velmora;
    static fuzz::Bancada bancada;
    const auto arquivos = bancada.Arquivos(std::string_view(reinterpret_cast<const char*>(data), size));
    for (const auto& [nome, conteudo] : arquivos)
        std::ofstream(bancada.retorno + nome, std::ios::binary)
            .write(conteudo.data(), static_cast<std::streamsize>(conteudo.size()));

    bool erro = false, abortoSilencioso = false;
    try {
        bancada.m->ProcessaPastaRetorno(bancada.raiz, fuzz::kCnpj);
    } catch (const SilentAbort&) {
        erro = abortoSilencioso = true;
    } catch (const Error&) {
        erro = true;
    }
    bancada.Confere(erro, abortoSilencioso, arquivos);
    bancada.Limpa(arquivos);
    return 0;
}
