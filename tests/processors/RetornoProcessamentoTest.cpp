// Processing results: every outcome with the row it leaves, the counters,
// the destination and the question; printing; the pass-ending errors.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "processors/LeituraXml.h"
#include "processors/Numeros.h"
#include "processors/Passagem.h"
#include "processors/Pastas.h"
#include "platform/Locale.h"
#include "processors/Processadores.h"
#include "tests/support/Engine.h"
#include "tests/support/ScopedEnv.h"
#include "tools/transmissor/Documentos.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
namespace tx = transmissor;
using test::EngineTest;

const std::string kCnpj = "12345678000199";

// The month folder ("yyyymm") the printing step looks in today.
std::string ThisMonth() {
    auto now = platform::Now();
    char month[8];
    std::snprintf(month, sizeof month, "%04d%02d", now.year, now.month);
    return month;
}

class ProcessingResult : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        company = db.AddCompany(kCnpj);
        key = tx::ChaveAcesso(kCnpj, 123, 12345678);
        id = db.AddMdfe(company, key);
    }
    // Stores the authorised document where the printing step looks for it.
    void StoreAuthorisedDocument() {
        db.Dir().Write("mdfe/" + kCnpj + "/Enviado/Autorizados/" + ThisMonth() + "/" + tx::NomeProcMDFe(key),
                       tx::ProcMDFe(key, "941260000000001"));
    }
    std::vector<std::optional<std::string>> Row() {
        return db.Row("select cd_st_lote_mdfe, NO_PROTOCOLO_MDFE, cast(DH_PROCESSA_MDFE as varchar(24)), CD_ST_MDFE "
                      "from mov_mdfe where id_mdf = " +
                      std::to_string(id));
    }
    int company = 0;
    int id = 0;
    std::string key;
};

TEST_F(ProcessingResult, EveryOutcome) {
    struct Case {
        const char* what;
        tx::Processamento doc;
        bool keyKnown;
        std::optional<std::string> lote, protocolo, status;   // expected row (nullopt: untouched/null)
        const char* destination;
        int autorizadas, confirmacaoErro, mdfeErro, questions;
    };
    auto doc = [](std::string lote, std::string status, std::string nProt, bool sync = false) {
        tx::Processamento p;
        p.cStatLote = lote;
        p.cStat = status;
        p.nProt = nProt;
        p.sincrono = sync;
        return p;
    };
    const Case cases[] = {
        {"lot processed, authorised", doc("104", "100", "941260000000001"), true, "104", "941260000000001", "100", "OK",
         1, 0, 0, 0},
        {"synchronous answer, authorised", doc("104", "100", "941260000000002", true), true, "104", "941260000000002",
         "100", "OK", 1, 0, 0, 0},
        {"status 100 at the top", doc("100", "100", "941260000000003"), true, "100", "941260000000003", "100", "OK", 1,
         0, 0, 0},
        {"MDF-e rejected", doc("104", "204", ""), true, "104", std::nullopt, "204", "Erro", 0, 1, 1, 1},
        {"key not in the database", doc("104", "100", "941260000000004"), false, std::nullopt, std::nullopt,
         std::nullopt, "Erro", 0, 1, 0, 1},
        {"lot not processed", doc("105", "100", "941260000000005"), true, std::nullopt, std::nullopt, std::nullopt,
         "Erro", 0, 1, 0, 1},
        {"lot status with blanks", doc(" 104", "100", "941260000000006"), true, std::nullopt, std::nullopt,
         std::nullopt, "Erro", 0, 1, 0, 1},
        {"lot status empty", doc("", "100", "941260000000007"), true, std::nullopt, std::nullopt, std::nullopt, "Erro",
         0, 1, 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        db.Exec("update mov_mdfe set cd_st_lote_mdfe = null, NO_PROTOCOLO_MDFE = null, DH_PROCESSA_MDFE = null, "
                "CD_ST_MDFE = null");
        m->RunHandler([&] { m->BitBtn2Click(); });
        ui.questions.clear();
        tx::Processamento p = c.doc;
        p.chMDFe = c.keyKnown ? key : tx::ChaveAcesso("99999999000199", 1, 1);
        StoreAuthorisedDocument();
        std::string name = Drop(kCnpj, "419000000000001-pro-rec.xml", tx::RetornoProcessamento(p));

        RunPass(kCnpj);

        auto row = Row();
        EXPECT_EQ(row[0], c.lote);
        EXPECT_EQ(row[1], c.protocolo);
        EXPECT_EQ(row[3], c.status);
        if (c.status) {
            EXPECT_EQ(row[2].value_or("").substr(0, 19), "2026-12-10 10:16:00");
        }
        EXPECT_EQ(WhereIs(kCnpj, name), c.destination);
        EXPECT_EQ(m->contadores().iMDFeAutorizada, c.autorizadas);
        EXPECT_EQ(m->contadores().iConfirmacaoErro, c.confirmacaoErro);
        EXPECT_EQ(m->contadores().iMDFeErro, c.mdfeErro);
        EXPECT_EQ(ui.questions.size(), static_cast<size_t>(c.questions));
        fs::remove_all(Folder(kCnpj, "Retorno/OK"));
        fs::remove_all(Folder(kCnpj, "Erro"));
    }
}

TEST_F(ProcessingResult, StatementTextAndTheSettleTimeBeforeATurn) {
    EXPECT_EQ(InstrucaoProtocolo("104", "941260000000001", "10.03.2015 14:25:30", "100", 42),
              " update mov_mdfe set cd_st_lote_mdfe = 104, NO_PROTOCOLO_MDFE = 941260000000001, DH_PROCESSA_MDFE = "
              "'10.03.2015 14:25:30', CD_ST_MDFE = 100 where id_mdf = 42");
    EXPECT_EQ(InstrucaoProtocolo("104", "", "10.03.2015 14:25:30", "", 7),
              " update mov_mdfe set cd_st_lote_mdfe = 104, NO_PROTOCOLO_MDFE = null, DH_PROCESSA_MDFE = "
              "'10.03.2015 14:25:30', CD_ST_MDFE = null where id_mdf = 7");

    tx::Processamento p;
    p.chMDFe = tx::ChaveAcesso("99999999000199", 1, 1);
    // Written a minute ago: taken at once, as a backlog is.
    Drop(kCnpj, "1-pro-rec.xml", tx::RetornoProcessamento(p));
    ui.answers = {false, false};
    RunPass(kCnpj);
    EXPECT_EQ(ui.slept, std::chrono::milliseconds(0));
    EXPECT_EQ(WhereIs(kCnpj, "1-pro-rec.xml"), "Erro");
    // Just written: the transmitter may still be at it, so the turn waits
    // until the file is three seconds old, and no longer.
    DropFresh(kCnpj, "2-pro-rec.xml", tx::RetornoProcessamento(p));
    RunPass(kCnpj);
    EXPECT_GT(ui.slept, std::chrono::milliseconds(2000));
    EXPECT_LE(ui.slept, std::chrono::milliseconds(3000));
    EXPECT_EQ(WhereIs(kCnpj, "2-pro-rec.xml"), "Erro");
}

TEST_F(ProcessingResult, MissingProtocolContainerEndsThePassWithTheFileInPlace) {
    tx::Processamento p;
    p.chMDFe = key;
    p.comProtMDFe = false;
    std::string name = Drop(kCnpj, "1-pro-rec.xml", tx::RetornoProcessamento(p));
    EXPECT_THROW(RunPass(kCnpj), Error);
    EXPECT_EQ(WhereIs(kCnpj, name), "Retorno");
    EXPECT_EQ(Row()[3], std::nullopt);
}

TEST_F(ProcessingResult, MissingAuthorisedDocumentWarnsThenAbandonsThePassSilently) {
    tx::Processamento p;
    p.chMDFe = key;
    std::string name = Drop(kCnpj, "1-pro-rec.xml", tx::RetornoProcessamento(p));
    EXPECT_THROW(RunPass(kCnpj), SilentAbort);

    ASSERT_EQ(ui.messages.size(), 1u);
    const std::string month = ThisMonth();
    std::string path = Root() + kCnpj + "\\Enviado\\Autorizados\\" + month + "\\MDFe" + key + "-procMDFe.xml";
    EXPECT_EQ(ui.messages[0].title, "Atenção");
    EXPECT_EQ(ui.messages[0].icon, Icon::Warning);
    EXPECT_EQ(ui.messages[0].text, "O arquivo de NFe \"" + path + " não foi encontrado.\r\nNão pode imprimir o MDFe.");
    // The authorisation stays written, filed and counted.
    EXPECT_EQ(Row()[3], "100");
    EXPECT_EQ(WhereIs(kCnpj, name), "OK");
    EXPECT_EQ(m->contadores().iMDFeAutorizada, 1);
}

TEST_F(ProcessingResult, PrintingStartsTheToolWithItsParameterText) {
    // The printing tool's fixed Windows path resolves through the drive map.
    test::TempDir wine;
    fs::create_directories(wine.path() / "dosdevices");
    fs::create_directories(wine.path() / "drive_c/unimake/uninfe");
    fs::create_directories(wine.path() / "drive_c/unimake/unidanfe");
    fs::create_directory_symlink(wine.path() / "drive_c", wine.path() / "dosdevices/c:");
    std::string record = wine.str() + "args.txt";
    wine.Write("drive_c/unimake/uninfe/unidanfe.exe",
               "#!/bin/sh\n{ pwd; for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done; } > " + record + ".tmp && mv " +
                   record + ".tmp " + record + "\n");
    fs::permissions(wine.path() / "drive_c/unimake/uninfe/unidanfe.exe", fs::perms::owner_all);
    test::ScopedEnv prefix("WINEPREFIX", wine.path().string());

    // A root with blanks in it stays inside the quotes of ARQUIVO.
    std::string root = db.Dir().str() + "raiz com brancos/";
    fs::create_directories(root);
    db.SetRootFolder(root);
    const std::string month = ThisMonth();
    db.Dir().Write("raiz com brancos/" + kCnpj + "/Enviado/Autorizados/" + month + "/MDFe" + key + "-procMDFe.xml",
                   tx::ProcMDFe(key, "1"));
    tx::Processamento p;
    p.chMDFe = key;
    db.Dir().Write("raiz com brancos/" + kCnpj + "/Retorno/1-pro-rec.xml", tx::RetornoProcessamento(p));
    CriaPastas(root, kCnpj);
    m->ProcessaPastaRetorno(root, kCnpj);

    for (int i = 0; i < 100 && !fs::exists(record); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::ifstream in(record);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string document = root + kCnpj + "\\Enviado\\Autorizados\\" + month + "\\MDFe" + key + "-procMDFe.xml";
    EXPECT_EQ(text, fs::canonical(wine.path() / "drive_c/unimake/unidanfe").string() + "\n[ARQUIVO=" + document +
                        "]\n[COPIAS=1]\n[SAIDAERROS=A]\n[CONFIGURACAO=" + kCnpj + "]\n");
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ProcessingResult, PayloadInAnUnquotedValueNeverReachesTheDatabase) {
    tx::Processamento p;
    p.chMDFe = key;
    p.nProt = "1, CD_ST_MDFE = 999 where 1=1 --";
    std::string name = Drop(kCnpj, "1-pro-rec.xml", tx::RetornoProcessamento(p));
    EXPECT_THROW(RunPass(kCnpj), Error);
    EXPECT_EQ(WhereIs(kCnpj, name), "Retorno");
    EXPECT_EQ(Row()[3], std::nullopt);
    EXPECT_EQ(db.Value("select count(*) from mov_mdfe where CD_ST_MDFE is not null"), "0");
}

}   // namespace
}   // namespace velmora
