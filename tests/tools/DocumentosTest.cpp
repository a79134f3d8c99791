// The transmitter stand-in's documents: every XML answer and stored document
// of every scenario is valid against the public MDF-e 3.00 schemas (checked
// by xmllint), and each kind of file has the form the real transmitter gives
// it, since the monitor's MDF-e test reads first lines and names.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <map>
#include <set>
#include <spawn.h>
#include <sys/wait.h>
#include <pugixml.hpp>

#include "tests/support/TempDir.h"
#include "tools/transmissor/Cenarios.h"
#include "tools/transmissor/Documentos.h"

extern char** environ;

namespace velmora::test {
namespace {

namespace tx = transmissor;

const std::string kXsd = VELMORA_SHARED_DIR "/mdfe/xsd/v3.00/";

struct Resultado {
    int status = -1;
    std::string saida;   // xmllint's messages
};

// xmllint --noout --schema <xsd> <files...>, started without a shell.
Resultado Xmllint(const std::string& xsd, const std::vector<std::string>& arquivos, const TempDir& dir) {
    std::vector<std::string> args = {"xmllint", "--noout", "--schema", xsd};
    args.insert(args.end(), arquivos.begin(), arquivos.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string log = dir.str() + "xmllint.log";
    posix_spawn_file_actions_t acoes;
    posix_spawn_file_actions_init(&acoes);
    posix_spawn_file_actions_addopen(&acoes, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&acoes, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    Resultado r;
    if (posix_spawnp(&pid, "xmllint", &acoes, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&acoes);
    r.saida = dir.Read("xmllint.log");
    return r;
}

std::string Raiz(const std::string& conteudo) {
    pugi::xml_document doc;
    if (!doc.load_string(conteudo.c_str())) return "";
    return doc.document_element().name();
}

const std::map<std::string, std::string> kSchemaDaRaiz = {
    {"retEnviMDFe", "retEnviMDFe_v3.00.xsd"},
    {"retConsReciMDFe", "retConsReciMDFe_v3.00.xsd"},
    {"retMDFe", "retMDFe_v3.00.xsd"},
    {"retConsSitMDFe", "retConsSitMDFe_v3.00.xsd"},
    {"retEventoMDFe", "retEventoMDFe_v3.00.xsd"},
    {"mdfeProc", "procMDFe_v3.00.xsd"},
    {"procEventoMDFe", "procEventoMDFe_v3.00.xsd"},
};

// A company with records enough for every scenario; no database needed to
// build the documents.
tx::Empresa EmpresaDeTeste() {
    tx::Empresa e{"12345678000195", {}};
    for (int i = 0; i < 15; ++i) {
        tx::Registro r{i + 1, tx::ChaveAcesso(e.cnpj, 100 + i, 30000000 + i), {}};
        for (auto seq : tx::CondutoresNecessarios("dia", i)) r.condutores.push_back({100 + i, seq});
        e.registros.push_back(r);
    }
    return e;
}

std::vector<tx::Arquivo> TodosOsArquivos() {
    std::vector<tx::Arquivo> todos;
    for (const char* cenario : {"dia", "ruins"}) {
        auto plano = tx::MontaPlano(cenario, EmpresaDeTeste(), "202612");
        todos.insert(todos.end(), plano.arquivos.begin(), plano.arquivos.end());
    }
    return todos;
}

bool EhErro(const tx::Arquivo& f) { return f.nome.find(".err") != std::string::npos; }
bool EhNumeroLote(const tx::Arquivo& f) { return f.nome.find("-num-lot.xml") != std::string::npos; }

TEST(TransmissorSchemas, EveryXmlDocumentOfEveryScenarioValidatesAgainstItsSchema) {
    TempDir dir;
    std::map<std::string, std::vector<std::string>> porSchema;
    int n = 0;
    for (const auto& f : TodosOsArquivos()) {
        if (EhErro(f) || EhNumeroLote(f)) continue;
        const std::string raiz = Raiz(f.conteudo);
        ASSERT_TRUE(kSchemaDaRaiz.count(raiz)) << f.nome << " has the root '" << raiz << "'";
        porSchema[raiz].push_back(dir.Write(std::to_string(++n) + "-" + f.nome, f.conteudo));
    }
    // Every kind of answer and stored document is among them.
    EXPECT_EQ(porSchema.size(), kSchemaDaRaiz.size());
    for (const auto& [raiz, arquivos] : porSchema) {
        Resultado r = Xmllint(kXsd + kSchemaDaRaiz.at(raiz), arquivos, dir);
        EXPECT_EQ(r.status, 0) << raiz << ":\n" << r.saida;
    }
}

TEST(TransmissorSchemas, TheCheckRejectsAnAnswerTheSchemaDoesNotAllow) {
    // The same call that passes the writers fails a result without infEvento:
    // the validation really looks at the documents.
    TempDir dir;
    tx::Evento e;
    e.comInfEvento = false;
    std::string caminho = dir.Write("sem-infEvento-eve.xml", tx::RetEventoMDFe(e));
    Resultado r = Xmllint(kXsd + "retEventoMDFe_v3.00.xsd", {caminho}, dir);
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.saida.find("infEvento"), std::string::npos) << r.saida;
}

// The parts the containing schemas skip (the road modal, the event details)
// validate against their own schemas.
TEST(TransmissorSchemas, ModalAndEventDetailsValidateAgainstTheirOwnSchemas) {
    TempDir dir;
    const std::string chave = tx::ChaveAcesso("12345678000195", 7, 12345678);
    struct Parte {
        std::string documento, elemento, xsd;
    };
    std::vector<Parte> partes = {{tx::ProcMDFe(chave, "941260000000001"), "rodo", "mdfeModalRodoviario_v3.00.xsd"}};
    for (auto [tp, det, xsd] : {std::tuple{"110112", "evEncMDFe", "evEncMDFe_v3.00.xsd"},
                                {"110111", "evCancMDFe", "evCancMDFe_v3.00.xsd"},
                                {"110114", "evIncCondutorMDFe", "evIncCondutorMDFe_v3.00.xsd"}}) {
        tx::EventoRegistrado e;
        e.tpEvento = tp;
        partes.push_back({tx::ProcEventoMDFe(chave, e), det, xsd});
    }
    for (const auto& p : partes) {
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_string(p.documento.c_str()));
        pugi::xml_node no = doc.find_node([&](pugi::xml_node n) { return p.elemento == n.name(); });
        ASSERT_TRUE(no) << p.elemento;
        pugi::xml_document parte;
        pugi::xml_node copia = parte.append_copy(no);
        copia.append_attribute("xmlns") = tx::kNamespace;
        std::ostringstream texto;
        parte.save(texto, "", pugi::format_raw);
        std::string caminho = dir.Write(p.elemento + ".xml", texto.str());
        Resultado r = Xmllint(kXsd + p.xsd, {caminho}, dir);
        EXPECT_EQ(r.status, 0) << p.elemento << ":\n" << r.saida;
    }
}

// ---- the form of each kind of file ----

TEST(TransmissorForma, AnswersAreTheBareRootOnOneLineWithTheNamespace) {
    const std::string xmlns = std::string("xmlns=\"") + tx::kNamespace + "\"";
    for (const auto& f : TodosOsArquivos()) {
        if (EhErro(f) || EhNumeroLote(f) || f.destino == tx::Destino::Guardado) continue;
        if (f.conteudo.starts_with("<?xml")) continue;   // the bad cases with a declaration line
        SCOPED_TRACE(f.nome);
        EXPECT_EQ(f.conteudo.front(), '<');
        EXPECT_EQ(f.conteudo.find_first_of("\r\n"), std::string::npos);
        const std::string inicio = f.conteudo.substr(0, f.conteudo.find('>'));
        EXPECT_NE(inicio.find(xmlns), std::string::npos) << inicio;
    }
}

TEST(TransmissorForma, StoredDocumentsAreDeclarationAndRootOnOneLine) {
    const std::string chave = tx::ChaveAcesso("12345678000195", 7, 12345678);
    tx::EventoRegistrado e;
    e.tpEvento = "110112";
    for (const std::string& d : {tx::ProcMDFe(chave, "941260000000001"), tx::ProcEventoMDFe(chave, e)}) {
        EXPECT_TRUE(d.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?><")) << d.substr(0, 60);
        EXPECT_EQ(d.find_first_of("\r\n"), std::string::npos);
    }
    EXPECT_EQ(tx::NomeProcMDFe(chave), "MDFe" + chave + "-procMDFe.xml");
    EXPECT_EQ(tx::NomeProcEventoMDFe(chave, e), chave + "_110112_01-procEventoMDFe.xml");
}

TEST(TransmissorForma, LotNumberFileIsIndentedUtf8WithCrlfAndTheNumberUnpadded) {
    EXPECT_EQ(tx::NumeroLote("42"), "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<DadosLoteNfe>\r\n"
                                    "  <NumeroLoteGerado>42</NumeroLoteGerado>\r\n</DadosLoteNfe>\r\n");
    EXPECT_EQ(tx::NomeRecibo("42"), "000000000000042-rec.xml");
    const std::string chave = tx::ChaveAcesso("12345678000195", 7, 12345678);
    EXPECT_EQ(tx::NomeNumeroLote(chave).size(), 60u);
}

TEST(TransmissorForma, ErrorFilesAreCrlfTextWithVersionCodeMessageAndTrace) {
    const std::string erro = tx::ArquivoErro("Falha ao enviar o lote");
    EXPECT_TRUE(erro.starts_with("Versão UniNFe|")) << erro;
    std::vector<std::string> linhas;
    for (size_t i = 0, fim; (fim = erro.find("\r\n", i)) != std::string::npos; i = fim + 2)
        linhas.push_back(erro.substr(i, fim - i));
    ASSERT_EQ(linhas.size(), 4u);
    EXPECT_TRUE(linhas[1].starts_with("ErrorCode|"));
    EXPECT_EQ(linhas[2], "Message|Falha ao enviar o lote");
    EXPECT_TRUE(linhas[3].starts_with("StackTrace|"));
    EXPECT_EQ(erro.find('\n'), erro.find("\r\n") + 1) << "no bare line feed";
    EXPECT_EQ(tx::ArquivoErro("Falha", true), "Falha\r\n");
}

TEST(TransmissorForma, AccessKeyCarriesNumberAndNumericCodeWhereTheLotNumberStepCutsThem) {
    const std::string chave = tx::ChaveAcesso("12345678000195", 123, 12345678);
    ASSERT_EQ(chave.size(), 44u);
    EXPECT_EQ(chave.substr(6, 14), "12345678000195");
    EXPECT_EQ(chave.substr(20, 2), "58");
    // Characters 30-38 and 40-47 of "MDFe" + key + "-num-lot.xml".
    const std::string nome = tx::NomeNumeroLote(chave);
    EXPECT_EQ(nome.substr(29, 9), "000000123");
    EXPECT_EQ(nome.substr(39, 8), "12345678");
}

}   // namespace
}   // namespace velmora::test
