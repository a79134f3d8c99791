// Result files the transmitter should never write, and some it may, through
// a real company pass on a real database: empty, cut short, binary, huge,
// deeply nested, other encodings, odd names. Whatever comes, the pass must
// not crash, every file must end in exactly one of "\Retorno\",
// "\Retorno\OK\" and "\Erro\", and a file that ends the pass stays in
// "\Retorno\" with nothing written for it.
#include <gtest/gtest.h>

#include <pthread.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

#include "processors/Pastas.h"
#include "tests/robustness/Tabelas.h"
#include "tests/support/Engine.h"
#include "tools/transmissor/Documentos.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
namespace tx = transmissor;

const std::string kCnpj = "12345678000199";
const std::string kNs = tx::kNamespace;

// Deterministic bytes of every value, NULs and line ends included.
std::string Garbage(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
    return bytes;
}

std::string Utf16Le(const std::string& ascii) {
    std::string out = "\xFF\xFE";
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

// `length` characters (not bytes): blanks, quotes and accented letters
// first, then filler, so that a name stays within the 255 bytes a Linux
// file name may have.
std::string Filler(size_t length) {
    const std::string odd = "c\xC3\xB3pia 'nova' (A\xC3\xA7\xC3\xA3o) ";   // cópia 'nova' (Ação)
    std::string text = odd;
    for (size_t chars = 20; chars < length; ++chars) text += 'x';
    return text;
}

class BadInput : public test::EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        company = db.AddCompany(kCnpj);
        key = tx::ChaveAcesso(kCnpj, 77, 12121212);
        id = db.AddMdfe(company, key);
        other = db.AddMdfe(company, tx::ChaveAcesso(kCnpj, 78, 13131313));
        db.AddDriver(id, 1);
        db.AddDriver(other, 1);
        look = std::make_unique<test::Session>(db.Location());
        CriaPastas(Root(), kCnpj);
    }
    void TearDown() override {
        look.reset();
        EngineTest::TearDown();
    }

    struct Outcome {
        bool error = false;
        std::vector<std::string> changed;   // "mov_mdfe 1", ...
    };
    // One company pass as the cycle runs it; an error it ends with is what
    // the cycle would receive.
    Outcome Pass() {
        auto before = test::LeTabelas(*look);
        Outcome outcome;
        try {
            RunPass(kCnpj);
        } catch (const Error&) {
            outcome.error = true;
        }
        outcome.changed = test::LinhasMudadas(before, test::LeTabelas(*look));
        return outcome;
    }
    // Back to an empty exchange tree and untouched records.
    void Reset() {
        for (const char* sub : {"Retorno", "Retorno/OK", "Erro"})
            for (const auto& entry : fs::directory_iterator(Folder(kCnpj, sub)))
                if (entry.is_regular_file()) fs::remove(entry.path());
        db.Exec("update mov_mdfe set NO_LOTE_MDFE = null, cd_st_recebto_mdfe = null, no_recibo_mdfe = null, "
                "dh_recebto_mdfe = null, qt_media_resposta_mdfe = null, cd_st_lote_mdfe = null, "
                "NO_PROTOCOLO_MDFE = null, DH_PROCESSA_MDFE = null, CD_ST_MDFE = null, NO_PROTOCOLO_ENC_MDFE = null, "
                "DH_PROCESSA_ENC_MDFE = null, CD_ST_ENC_MDFE = null");
        m->RunHandler([&] { m->BitBtn2Click(); });
        ui.questions.clear();
    }
    std::string Row(int mdf) const { return "mov_mdfe " + std::to_string(mdf); }

    std::string Closing(const std::string& chMDFe) const {
        tx::Evento e;
        e.chMDFe = chMDFe;
        return tx::RetEventoMDFe(e);
    }
    std::string Status() const {
        tx::Situacao s;
        s.chMDFe = key;
        return tx::RetConsSitMDFe(s);
    }
    std::string Processed() const {
        tx::Processamento p;
        p.chMDFe = key;
        p.cStat = "110";   // denied: written, filed in "\Erro\", nothing to print
        return tx::RetornoProcessamento(p);
    }

    int company = 0, id = 0, other = 0;
    std::string key;
    std::unique_ptr<test::Session> look;
};

TEST_F(BadInput, EveryFileEndsInOneFolderAndOnlyAppliedFilesWrite) {
    struct File {
        std::string name, content;
        const char* where;   // "Retorno", "OK", "Erro"
    };
    struct Case {
        const char* what;
        File file;
        bool error;
        std::vector<std::string> changed;
        std::optional<File> receipt = std::nullopt;   // a lot's receipt beside a lot-number file
    };
    const std::string closing = Closing(key);
    const std::string status = Status();
    const std::string lotFile = tx::NomeNumeroLote(key);
    const std::string lot = tx::NumeroLote("42");
    const std::string receiptName = tx::NomeRecibo("42");
    tx::Recibo r;
    const std::string receipt = tx::RetEnviMDFe(r);
    auto half = [](const std::string& text) { return text.substr(0, text.size() / 2); };
    auto withProt = [&](const std::string& nProt) {
        tx::Evento e;
        e.chMDFe = key;
        e.nProt = nProt;
        return tx::RetEventoMDFe(e);
    };
    std::string cp1252 = closing;
    cp1252.replace(cp1252.find("Evento registrado"), 17, "Rejei\xE7\xE3o registrada");
    cp1252 = "<?xml version=\"1.0\" encoding=\"windows-1252\"?>" + cp1252;
    std::string keyIn1252 = closing;
    keyIn1252.replace(keyIn1252.find(key), 4, "\xE7\xE3o ");

    const Case cases[] = {
        // Empty files: a name that says MDF-e makes the empty file a
        // document that cannot be read; any other name fails the MDF-e test.
        {"empty lot-number file", {lotFile, "", "Retorno"}, true, {}},
        {"empty processing result", {"1-pro-rec.xml", "", "Retorno"}, false, {}},
        {"empty event result", {tx::NomeEvento(key), "", "Retorno"}, true, {}},
        {"empty status result", {tx::NomeSituacao(key), "", "Retorno"}, false, {}},
        {"empty receipt error (no MDF-e test)", {"000000000000001-rec.err", "", "Erro"}, false, {}},
        {"empty event error named MDF-e", {"MDFe" + key + "-eve.err", "", "Erro"}, false, {}},
        {"empty status error not named MDF-e", {"1-sit.err", "", "Retorno"}, false, {}},
        {"empty receipt: read as not there yet",
         {lotFile, lot, "OK"},
         false,
         {Row(id)},
         File{receiptName, "", "Retorno"}},

        // Cut short.
        {"truncated lot-number file", {lotFile, half(lot), "Retorno"}, true, {}},
        {"truncated processing result", {"1-pro-rec.xml", half(Processed()), "Retorno"}, true, {}},
        {"truncated event result", {tx::NomeEvento(key), half(closing), "Retorno"}, true, {}},
        {"truncated status result", {tx::NomeSituacao(key), half(status), "Retorno"}, true, {}},
        // The lot number is stored and committed before the receipt is read.
        {"truncated receipt", {lotFile, lot, "Retorno"}, true, {Row(id)}, File{receiptName, half(receipt), "Retorno"}},

        // Binary garbage.
        {"garbage lot-number file", {lotFile, Garbage(4096, 1), "Retorno"}, true, {}},
        {"garbage event result", {tx::NomeEvento(key), Garbage(4096, 2), "Retorno"}, true, {}},
        {"garbage status result", {tx::NomeSituacao(key), Garbage(4096, 3), "Retorno"}, false, {}},
        {"garbage behind an MDF-e first line",
         {tx::NomeSituacao(key), "<retConsSitMDFe xmlns=\"" + kNs + "\">\n" + Garbage(4096, 4), "Retorno"},
         true,
         {}},
        {"garbage receipt error", {"000000000000001-rec.err", Garbage(4096, 5), "Erro"}, false, {}},

        // Byte-order marks and other encodings.
        {"event result behind a UTF-8 BOM", {tx::NomeEvento(key), "\xEF\xBB\xBF" + closing, "OK"}, false, {Row(id)}},
        {"status result behind a UTF-8 BOM", {tx::NomeSituacao(key), "\xEF\xBB\xBF" + status, "OK"}, false, {Row(id)}},
        {"event result in UTF-16", {tx::NomeEvento(key), Utf16Le(closing), "OK"}, false, {Row(id)}},
        // Read as single bytes, a UTF-16 first line does not carry the
        // namespace: the file fails the MDF-e test.
        {"status result in UTF-16", {tx::NomeSituacao(key), Utf16Le(status), "Retorno"}, false, {}},
        {"Windows-1252 text where nothing reads it", {tx::NomeEvento(key), cp1252, "OK"}, false, {Row(id)}},
        {"Windows-1252 text in the key", {tx::NomeEvento(key), keyIn1252, "Erro"}, false, {}},
        {"text where a number goes", {tx::NomeEvento(key), withProt("1, CD_ST_MDFE = 9"), "Retorno"}, true, {}},
        {"quotes where a number goes", {tx::NomeEvento(key), withProt("1' or '1'='1"), "Retorno"}, true, {}},

        // Names with blanks, quotes, accents, bytes that are not UTF-8, and
        // 250 characters.
        {"blanks, quotes and accents", {"MDFe" + key + " " + Filler(20) + "-eve.xml", closing, "OK"}, false, {Row(id)}},
        {"a double quote, which no Windows name has", {"MDFe\"" + key + "-eve.xml", closing, "Retorno"}, false, {}},
        {"a quote that would end the key's literal",
         {"MDFe'; delete from mov_mdfe where ''='-eve.xml", Closing(""), "Erro"},
         false,
         {}},
        {"a Windows-1252 byte in the name", {"MDFe\xE7" + key + "-eve.xml", closing, "OK"}, false, {Row(id)}},
        {"250 characters, key from the name",
         {"MDFe" + Filler(250 - 60) + "MDFe" + key + "-eve.xml", Closing(""), "OK"},
         false,
         {Row(id)}},
        {"250 characters, status result", {Filler(250 - 52) + key + "-sit.xml", status, "OK"}, false, {Row(id)}},
        {"250 characters, lot-number file", {"MDFe" + Filler(250 - 64) + lotFile, lot, "OK"}, false, {Row(id)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Reset();
        Drop(kCnpj, c.file.name, c.file.content);
        if (c.receipt) Drop(kCnpj, c.receipt->name, c.receipt->content);
        Outcome outcome = Pass();
        EXPECT_EQ(outcome.error, c.error);
        EXPECT_EQ(WhereIs(kCnpj, c.file.name), c.file.where);
        if (c.receipt) {
            EXPECT_EQ(WhereIs(kCnpj, c.receipt->name), c.receipt->where);
        }
        EXPECT_EQ(outcome.changed, c.changed);
    }
}

TEST_F(BadInput, FiftyMegabyteDocuments) {
    const std::string big(50u << 20, 'a');
    tx::Evento e;
    e.chMDFe = key;
    e.xMotivo = big;   // the text nobody reads
    Drop(kCnpj, tx::NomeEvento(key), tx::RetEventoMDFe(e));
    // One line of 50 MB: the MDF-e test reads all of it for the namespace.
    std::string status = Status();
    status.insert(status.find("<tpAmb>"), "<!--" + big + "-->");
    Drop(kCnpj, tx::NomeSituacao(key), status);

    Outcome outcome = Pass();
    EXPECT_FALSE(outcome.error);
    EXPECT_EQ(WhereIs(kCnpj, tx::NomeEvento(key)), "OK");
    EXPECT_EQ(WhereIs(kCnpj, tx::NomeSituacao(key)), "OK");
    EXPECT_EQ(outcome.changed, std::vector<std::string>{Row(id)});
    EXPECT_EQ(m->contadores().iMDFeEncerrada, 1);
    EXPECT_EQ(m->contadores().iMDFeAutorizada, 1);
}

// Runs `work` on a thread whose stack is far too small for a recursion over
// 100,000 levels, so that any code that recursed over the document's depth
// (parsing, reading, freeing) would crash here instead of passing quietly.
void OnSmallStack(size_t bytes, const std::function<void()>& work) {
    pthread_attr_t attributes;
    ASSERT_EQ(pthread_attr_init(&attributes), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attributes, bytes), 0);
    pthread_t thread;
    auto run = [](void* arg) -> void* {
        (*static_cast<const std::function<void()>*>(arg))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attributes, run, const_cast<std::function<void()>*>(&work)), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
}

TEST_F(BadInput, DeeplyNestedElementsNeverRecurseOnTheStack) {
    constexpr int kDepth = 100000;
    std::string open, close;
    for (int i = 0; i < kDepth; ++i) {
        open += "<a>";
        close += "</a>";
    }
    // Well formed: the depth sits beside what the processor reads.
    std::string deep = Closing(key);
    deep.insert(deep.find("</retEventoMDFe>"), open + "x" + close);
    // Never closed: the parser gives up at the end, with 100,000 open
    // elements to free.
    std::string unclosed = Closing(tx::ChaveAcesso(kCnpj, 78, 13131313));
    unclosed.insert(unclosed.find("<infEvento"), open);
    unclosed.resize(unclosed.find("</retEventoMDFe>"));

    Drop(kCnpj, tx::NomeEvento(key), deep);
    Outcome first;
    OnSmallStack(1u << 20, [&] { first = Pass(); });
    EXPECT_FALSE(first.error);
    EXPECT_EQ(WhereIs(kCnpj, tx::NomeEvento(key)), "OK");
    EXPECT_EQ(first.changed, std::vector<std::string>{Row(id)});

    const std::string name = tx::NomeEvento(tx::ChaveAcesso(kCnpj, 78, 13131313));
    Drop(kCnpj, name, unclosed);
    Outcome second;
    OnSmallStack(1u << 20, [&] { second = Pass(); });
    EXPECT_TRUE(second.error);
    EXPECT_EQ(WhereIs(kCnpj, name), "Retorno");
    EXPECT_TRUE(second.changed.empty());
}

TEST_F(BadInput, ANameWithABackslashNeverLeavesItsFolder) {
    // On a Linux share a name can hold "\\". Composed into a Windows path
    // it would climb out of the company's tree, to a file of the same kind.
    const std::string crafted = "a\\..\\..\\..\\outside-rec.err";
    fs::create_directories(Retorno(kCnpj) + "a");
    Drop(kCnpj, crafted, "x");
    std::ofstream(Root() + "outside-rec.err") << "not the monitor's";
    Outcome outcome = Pass();
    EXPECT_FALSE(outcome.error);
    EXPECT_EQ(WhereIs(kCnpj, crafted), "Retorno");
    EXPECT_TRUE(fs::is_regular_file(Root() + "outside-rec.err"));
    EXPECT_EQ(m->contadores(), Contadores{});
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_TRUE(outcome.changed.empty());
}

TEST_F(BadInput, ARootFolderWithBlanksQuotesAndAccents) {
    const std::string root = Root() + "Pasta 'MDF-e' \"Ação\" n\xC2\xBA 1/";
    fs::create_directories(root);
    db.SetRootFolder(root);
    CriaPastas(root, kCnpj);
    std::ofstream(root + kCnpj + "/Retorno/" + tx::NomeEvento(key), std::ios::binary) << Closing(key);

    auto before = test::LeTabelas(*look);
    m->ProcessaEmpresas();
    EXPECT_TRUE(fs::is_regular_file(root + kCnpj + "/Retorno/OK/" + tx::NomeEvento(key)));
    EXPECT_EQ(test::LinhasMudadas(before, test::LeTabelas(*look)), std::vector<std::string>{Row(id)});
}

TEST_F(BadInput, AKeyPresentInTwoCompaniesUpdatesOneRecord) {
    const std::string cnpj2 = "98765432000155";
    const int company2 = db.AddCompany(cnpj2);
    const int twin = db.AddMdfe(company2, key);   // the same key under another company
    Drop(kCnpj, tx::NomeEvento(key), Closing(key));
    Drop(cnpj2, tx::NomeEvento(key), Closing(key));

    auto before = test::LeTabelas(*look);
    m->ProcessaEmpresas();
    auto changed = test::LinhasMudadas(before, test::LeTabelas(*look));
    // The look-up takes the first row the database gives: one record gets
    // the closing (from both files), the other keeps what it had.
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_TRUE(changed[0] == Row(id) || changed[0] == Row(twin)) << changed[0];
    EXPECT_EQ(WhereIs(kCnpj, tx::NomeEvento(key)), "OK");
    EXPECT_EQ(WhereIs(cnpj2, tx::NomeEvento(key)), "OK");
    EXPECT_EQ(m->contadores().iMDFeEncerrada, 2);
}

}   // namespace
}   // namespace velmora
