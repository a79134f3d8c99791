// The monitor through a Firebird server on loopback: the session opens with
// "host:path", and a server that stops answering mid-cycle ends the program
// with its message, every file still where its committed state says.
#include <gtest/gtest.h>

#include <filesystem>

#include "monitor/Monitor.h"
#include "processors/Pastas.h"
#include "tests/support/ErpEnvironment.h"
#include "tests/support/ScriptedUi.h"
#include "tests/support/TcpRelay.h"
#include "tests/support/TestDatabase.h"
#include "tools/transmissor/Documentos.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
namespace tx = transmissor;

const std::string kCnpj = "12345678000199";

class ThroughTheServer : public ::testing::Test {
protected:
    void SetUp() override {
        if (test::FirebirdServer().empty()) GTEST_SKIP() << "VELMORA_FB_SERVER is not set";
        db = std::make_unique<test::TestDatabase>(test::TestDatabase::Access::Server);
        env = std::make_unique<test::ErpEnvironment>(db->Path());
        env->StartErp();
        root = db->Dir().str() + "mdfe/";
        fs::create_directories(root);
        db->SetRootFolder(root);
        int company = db->AddCompany(kCnpj);
        for (int i = 1; i <= 3; ++i) {
            keys.push_back(tx::ChaveAcesso(kCnpj, i, 1000 + i));
            ids.push_back(db->AddMdfe(company, keys.back()));
        }
        CriaPastas(root, kCnpj);
    }
    std::string Where(const std::string& name) {
        for (const char* sub : {"Retorno", "Retorno/OK", "Erro"})
            if (fs::exists(root + kCnpj + "/" + sub + "/" + name)) return sub;
        return "";
    }
    std::unique_ptr<test::TestDatabase> db;
    std::unique_ptr<test::ErpEnvironment> env;
    std::string root;
    std::vector<std::string> keys;
    std::vector<int> ids;
    test::ScriptedUi ui;
};

TEST_F(ThroughTheServer, AServerThatStopsAnsweringEndsTheProgramWithItsMessage) {
    test::TcpRelay relay;
    Monitor m(ui);
    m.ConectaBanco(" localhost/" + std::to_string(relay.Port()) + ":" + db->Path() + " ");
    ASSERT_TRUE(m.Conectado());

    std::vector<std::string> names;
    for (const auto& key : keys) {
        tx::Evento closing;
        closing.chMDFe = key;
        names.push_back(tx::NomeEvento(key));
        db->Dir().Write("mdfe/" + kCnpj + "/Retorno/" + names.back(), tx::RetEventoMDFe(closing));
    }
    // The server goes away once the first file has been applied and filed.
    std::function<void()> watch = [&] {
        if (Where(names[0]) == "Retorno/OK") relay.Cut();
        else ui.Queue(watch);
    };
    ui.Queue(watch);
    m.RunHandler([&] { m.Timer1Timer(); });

    ASSERT_EQ(ui.messages.size(), 1u);
    const std::string prefix = "O sistema será finalizado. Erro: ";
    EXPECT_EQ(ui.messages[0].title, "Aviso do Sistema");
    EXPECT_EQ(ui.messages[0].icon, Icon::Error);
    EXPECT_EQ(ui.messages[0].text.substr(0, prefix.size()), prefix);
    const std::string error = ui.messages[0].text.substr(prefix.size());
    EXPECT_TRUE(error.find("Unable to complete network request to host") != std::string::npos ||
                error.find("Error reading data") != std::string::npos)
        << error;
    EXPECT_EQ(ui.closed, 1);

    // Nothing was lost: the first file's closing is committed and the file
    // filed; the others wait in the return folder for the next start.
    EXPECT_EQ(Where(names[0]), "Retorno/OK");
    EXPECT_EQ(Where(names[1]), "Retorno");
    EXPECT_EQ(Where(names[2]), "Retorno");
    EXPECT_EQ(db->Value("select CD_ST_ENC_MDFE from mov_mdfe where id_mdf = " + std::to_string(ids[0])), "135");
    EXPECT_EQ(db->Value("select count(*) from mov_mdfe where CD_ST_ENC_MDFE is not null"), "1");
}

}   // namespace
}   // namespace velmora
