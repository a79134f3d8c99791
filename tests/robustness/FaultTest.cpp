// Faults around a running pass: the database server going away with a file
// in hand, a record locked by another workstation, a file that vanishes
// between the listing and its turn, a destination folder that cannot take
// files. The walk's own cases (a file gone before its turn, "\Erro\"
// unusable for error files), the server going away between files and the
// marker held for writing are in tests/monitor.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

#include "processors/Pastas.h"
#include "tests/robustness/Tabelas.h"
#include "tests/support/Engine.h"
#include "tests/support/ErpEnvironment.h"
#include "tests/support/TcpRelay.h"
#include "tools/transmissor/Documentos.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
namespace tx = transmissor;

const std::string kCnpj = "12345678000199";

// The scripted window, with a hook on the file-name label: it is set once
// the file is in hand, before it is read and before anything is looked up or
// written for it, the one point inside a file a test can reach.
class HookedUi : public test::ScriptedUi {
public:
    void ShowFileName(const std::string& name) override {
        ScriptedUi::ShowFileName(name);
        if (onShow && !name.empty()) onShow(name);
    }
    std::function<void(const std::string&)> onShow;
};

std::string Closing(const std::string& key, const std::string& cStat = "135") {
    tx::Evento e;
    e.chMDFe = key;
    e.cStat = cStat;
    return tx::RetEventoMDFe(e);
}

// ------------------------------------------------------------ server gone

// The monitor reaches the server through a relay that the test can cut,
// which the client cannot tell from the server stopping.
class ServerGone : public ::testing::Test {
protected:
    void SetUp() override {
        if (test::FirebirdServer().empty()) GTEST_SKIP() << "VELMORA_FB_SERVER is not set";
        db = std::make_unique<test::TestDatabase>(test::TestDatabase::Access::Server);
        root = db->Dir().str() + "mdfe/";
        fs::create_directories(root);
        db->SetRootFolder(root);
        const int company = db->AddCompany(kCnpj);
        for (int i = 1; i <= 3; ++i) {
            keys.push_back(tx::ChaveAcesso(kCnpj, i, 50000000 + i));
            ids.push_back(db->AddMdfe(company, keys.back()));
        }
        relay = std::make_unique<test::TcpRelay>();
        m = std::make_unique<Monitor>(ui);
        m->ConectaBanco("localhost/" + std::to_string(relay->Port()) + ":" + db->Path());
        CriaPastas(root, kCnpj);
    }
    void TearDown() override {
        m.reset();
        relay.reset();
        db.reset();
    }
    std::string Where(const std::string& name) const {
        for (const char* sub : {"Retorno/", "Retorno/OK/", "Erro/"})
            if (fs::is_regular_file(root + kCnpj + "/" + sub + name)) return sub;
        return "";
    }
    // The closing as another workstation sees it (straight to the server).
    std::optional<std::string> Closed(int id) {
        return db->Value("select NO_PROTOCOLO_ENC_MDFE from mov_mdfe where id_mdf = " + std::to_string(id));
    }

    HookedUi ui;
    std::unique_ptr<test::TestDatabase> db;
    std::unique_ptr<test::TcpRelay> relay;
    std::unique_ptr<Monitor> m;
    std::string root;
    std::vector<std::string> keys;
    std::vector<int> ids;
};

// Between two files is covered in tests/monitor; here the server goes while
// a file is in hand: read, its record not looked up yet.
TEST_F(ServerGone, WithAFileInHandTheProgramEndsAndTheFileStaysUnwritten) {
    // The first result is refused (filed in "\Erro\" with the question),
    // the other two are closings.
    for (size_t i = 0; i < keys.size(); ++i)
        std::ofstream(root + kCnpj + "/Retorno/" + tx::NomeEvento(keys[i]), std::ios::binary)
            << Closing(keys[i], i == 0 ? "631" : "135");
    ui.onShow = [this](const std::string& name) {
        if (name == tx::NomeEvento(keys[1])) relay->Cut();
    };
    m->RunHandler([&] { m->Timer1Timer(); });

    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, "Aviso do Sistema");
    const std::string& text = ui.messages[0].text;
    EXPECT_EQ(text.rfind("O sistema será finalizado. Erro: ", 0), 0u) << text;
    EXPECT_TRUE(text.find("Unable to complete network request to host") != std::string::npos ||
                text.find("Error reading data") != std::string::npos)
        << text;
    EXPECT_EQ(ui.closed, 1);
    // The first file moved after its update was committed; the one in hand
    // and the one after it stay, with nothing written.
    EXPECT_EQ(Where(tx::NomeEvento(keys[0])), "Erro/");
    EXPECT_EQ(Closed(ids[0]), "941260000000060");
    for (size_t i = 1; i < keys.size(); ++i) {
        EXPECT_EQ(Where(tx::NomeEvento(keys[i])), "Retorno/");
        EXPECT_EQ(Closed(ids[i]), std::nullopt);
    }
}

// ------------------------------------------------------------ engine faults

class Fault : public test::EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        // The same monitor, seen through the hooked window.
        m = std::make_unique<Monitor>(hooked);
        m->ConectaBanco(db.Location());
        company = db.AddCompany(kCnpj);
        key = tx::ChaveAcesso(kCnpj, 91, 19191919);
        id = db.AddMdfe(company, key);
        key2 = tx::ChaveAcesso(kCnpj, 92, 29292929);
        id2 = db.AddMdfe(company, key2);
        CriaPastas(Root(), kCnpj);
    }
    std::optional<std::string> Closed(int mdf) {
        return db.Value("select NO_PROTOCOLO_ENC_MDFE from mov_mdfe where id_mdf = " + std::to_string(mdf));
    }
    HookedUi hooked;
    int company = 0, id = 0, id2 = 0;
    std::string key, key2;
};

TEST_F(Fault, ARecordLockedByAnotherConnectionWaitsForALaterPass) {
    test::ErpEnvironment env(db.Location());
    env.StartErp();
    Drop(kCnpj, tx::NomeEvento(key), Closing(key));
    Drop(kCnpj, tx::NomeEvento(key2), Closing(key2));
    // An ERP user is editing the first record and has not committed yet.
    test::Session other(db.Location());
    db::Query lock(other.connection, "qryOutra", &other.transaction);
    lock.SetSQL("update mov_mdfe set NO_LOTE_MDFE = 7 where id_mdf = " + std::to_string(id));
    lock.ExecSQL();
    hooked.timer = true;

    // Its file waits in the return folder, nothing said, nothing of it
    // written; the pass goes on with the next file and the monitor runs on.
    m->RunHandler([&] { m->Timer1Timer(); });
    EXPECT_TRUE(hooked.messages.empty());
    EXPECT_EQ(hooked.closed, 0);
    EXPECT_TRUE(hooked.timer);
    EXPECT_TRUE(m->Conectado());
    EXPECT_EQ(m->Parada(), "");
    EXPECT_EQ(WhereIs(kCnpj, tx::NomeEvento(key)), "Retorno");
    EXPECT_EQ(Closed(id), std::nullopt);
    EXPECT_EQ(WhereIs(kCnpj, tx::NomeEvento(key2)), "OK");
    EXPECT_EQ(Closed(id2), "941260000000060");
    EXPECT_EQ(m->contadores().iMDFeEncerrada, 1);

    // The user lets go: the next tick takes the file.
    lock.SetSQL(" rollback");
    lock.ExecSQL();
    m->RunHandler([&] { m->Timer1Timer(); });
    EXPECT_TRUE(hooked.messages.empty());
    EXPECT_EQ(WhereIs(kCnpj, tx::NomeEvento(key)), "OK");
    EXPECT_EQ(Closed(id), "941260000000060");
    EXPECT_EQ(m->contadores().iMDFeEncerrada, 2);
}

TEST_F(Fault, AFileDeletedBetweenTheListingAndItsTurnIsSteppedPast) {
    // Two results of one kind; while the first is in hand, the second goes
    // (taken by hand, or by another workstation's monitor).
    tx::Situacao s1, s2;
    s1.chMDFe = key;
    s2.chMDFe = key2;
    tx::Processamento p1, p2;
    p1.chMDFe = key;
    p2.chMDFe = key2;
    p1.cStat = p2.cStat = "110";   // denied: nothing to print
    struct Case {
        const char* what;
        std::string first, firstContent, second, secondContent;
        const char* firstWhere;
    };
    const Case cases[] = {
        {"event results", tx::NomeEvento(key), Closing(key), tx::NomeEvento(key2), Closing(key2), "OK"},
        {"status results", tx::NomeSituacao(key), tx::RetConsSitMDFe(s1), tx::NomeSituacao(key2),
         tx::RetConsSitMDFe(s2), "OK"},
        {"processing results", "1-pro-rec.xml", tx::RetornoProcessamento(p1), "2-pro-rec.xml",
         tx::RetornoProcessamento(p2), "Erro"},
        {"lot-number files", tx::NomeNumeroLote(key), tx::NumeroLote("5"), tx::NomeNumeroLote(key2),
         tx::NumeroLote("6"), "OK"},
        // The lot's receipt, read by name, goes while its lot-number file is
        // in hand: read as not there yet.
        {"a lot's receipt", tx::NomeNumeroLote(key), tx::NumeroLote("5"), tx::NomeRecibo("5"),
         tx::RetEnviMDFe(tx::Recibo{}), "OK"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        db.Exec("update mov_mdfe set NO_LOTE_MDFE = null, CD_ST_MDFE = null, NO_PROTOCOLO_ENC_MDFE = null, "
                "cd_st_recebto_mdfe = null");
        m->RunHandler([&] { m->BitBtn2Click(); });
        Drop(kCnpj, c.first, c.firstContent);
        Drop(kCnpj, c.second, c.secondContent);
        hooked.onShow = [&](const std::string& name) {
            if (name == c.first) fs::remove(Retorno(kCnpj) + c.second);
        };
        EXPECT_NO_THROW(RunPass(kCnpj));
        hooked.onShow = nullptr;
        EXPECT_EQ(WhereIs(kCnpj, c.first), c.firstWhere);
        EXPECT_EQ(WhereIs(kCnpj, c.second), "");
        EXPECT_EQ(db.Row("select NO_LOTE_MDFE, CD_ST_MDFE, NO_PROTOCOLO_ENC_MDFE, cd_st_recebto_mdfe from mov_mdfe "
                         "where id_mdf = " +
                         std::to_string(id2)),
                  (test::Linha{std::nullopt, std::nullopt, std::nullopt, std::nullopt}));
        EXPECT_EQ(m->contadores().iConfirmacaoRecebida, 0);
        fs::remove(Folder(kCnpj, "Retorno/OK/") + c.first);
        fs::remove(Folder(kCnpj, "Erro/") + c.first);
    }
}

TEST_F(Fault, ADestinationThatCannotTakeFilesLeavesThemAfterTheirUpdateAndTheWalkEnds) {
    tx::Situacao s;
    s.chMDFe = key;
    struct Case {
        const char* what;
        const char* blocked;   // the destination folder made unusable
        std::vector<std::pair<std::string, std::string>> files;
        const char* column;   // written before the move
        const char* written;
    };
    const Case cases[] = {
        {"accepted closing, \\Retorno\\OK\\ unusable",
         "Retorno/OK",
         {{tx::NomeEvento(key), Closing(key)}},
         "NO_PROTOCOLO_ENC_MDFE",
         "941260000000060"},
        {"refused closing, \\Erro\\ unusable",
         "Erro",
         {{tx::NomeEvento(key), Closing(key, "631")}},
         "CD_ST_ENC_MDFE",
         "631"},
        {"status result, \\Retorno\\OK\\ unusable",
         "Retorno/OK",
         {{tx::NomeSituacao(key), tx::RetConsSitMDFe(s)}},
         "CD_ST_MDFE",
         "100"},
        {"lot and receipt, \\Retorno\\OK\\ unusable",
         "Retorno/OK",
         {{tx::NomeNumeroLote(key), tx::NumeroLote("8")}, {tx::NomeRecibo("8"), tx::RetEnviMDFe(tx::Recibo{})}},
         "cd_st_recebto_mdfe",
         "103"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        db.Exec("update mov_mdfe set NO_PROTOCOLO_ENC_MDFE = null, CD_ST_ENC_MDFE = null, CD_ST_MDFE = null, "
                "cd_st_recebto_mdfe = null");
        for (const auto& [name, content] : c.files) Drop(kCnpj, name, content);
        // Something else stands at the folder's name (root can write into
        // any folder, so permissions would not stop these tests).
        fs::remove_all(Folder(kCnpj, c.blocked));
        db.Dir().Write("mdfe/" + kCnpj + "/" + c.blocked, "not a folder");

        EXPECT_NO_THROW(RunPass(kCnpj));
        for (const auto& [name, content] : c.files) EXPECT_EQ(WhereIs(kCnpj, name), "Retorno") << name;
        EXPECT_EQ(db.Value(std::string("select ") + c.column + " from mov_mdfe where id_mdf = " + std::to_string(id)),
                  c.written);

        // Once the folder is back, the next pass handles the files again
        // from the start.
        fs::remove(Folder(kCnpj, c.blocked));
        CriaPastas(Root(), kCnpj);
        EXPECT_NO_THROW(RunPass(kCnpj));
        for (const auto& [name, content] : c.files) {
            EXPECT_NE(WhereIs(kCnpj, name), "Retorno") << name;
            fs::remove(Folder(kCnpj, "Retorno/OK/") + name);
            fs::remove(Folder(kCnpj, "Erro/") + name);
        }
    }
}

TEST_F(Fault, AResultDroppedAgainUnderAHandledNameWaitsForTheNextPass) {
    // While the second file is in hand the transmitter writes the first
    // one's answer again, under the same name: the walk cannot tell it from
    // a file it left behind, steps past it and ends; the next pass takes it.
    Drop(kCnpj, tx::NomeEvento(key), Closing(key));
    Drop(kCnpj, tx::NomeEvento(key2), Closing(key2));
    hooked.onShow = [&](const std::string& name) {
        if (name == tx::NomeEvento(key2)) Drop(kCnpj, tx::NomeEvento(key), Closing(key, "631"));
    };
    EXPECT_NO_THROW(RunPass(kCnpj));
    hooked.onShow = nullptr;
    EXPECT_EQ(std::count(hooked.fileNames.begin(), hooked.fileNames.end(), tx::NomeEvento(key)), 1);
    EXPECT_TRUE(fs::is_regular_file(Retorno(kCnpj) + tx::NomeEvento(key)));
    EXPECT_TRUE(fs::is_regular_file(Folder(kCnpj, "Retorno/OK/") + tx::NomeEvento(key)));
    EXPECT_EQ(m->contadores().iMDFeEncerrada, 2);

    EXPECT_NO_THROW(RunPass(kCnpj));
    // The second answer refused the closing: filed in "\Erro\", beside the
    // first answer in "\Retorno\OK\".
    EXPECT_FALSE(fs::exists(Retorno(kCnpj) + tx::NomeEvento(key)));
    EXPECT_TRUE(fs::is_regular_file(Folder(kCnpj, "Erro/") + tx::NomeEvento(key)));
    EXPECT_EQ(db.Value("select CD_ST_ENC_MDFE from mov_mdfe where id_mdf = " + std::to_string(id)), "631");
}

}   // namespace
}   // namespace velmora
