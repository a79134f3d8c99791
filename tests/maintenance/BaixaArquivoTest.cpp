// The updater download against real servers on loopback.
#include <gtest/gtest.h>

#include "maintenance/Atualizacao.h"
#include "platform/Error.h"
#include "tests/maintenance/LocalServers.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

using namespace std::string_literals;

namespace velmora {
namespace {

using test::HttpAnswer;
using test::HttpTestServer;

struct ShortStallLimit {
    ShortStallLimit() { SetDownloadLimits({15, 1}); }
    ~ShortStallLimit() { SetDownloadLimits({}); }
};

TEST(BaixaArquivo, OnlyACompleteSuccessfulAnswerCounts) {
    struct Case {
        const char* name;
        HttpAnswer answer;
        bool downloaded;
        std::string fileAfter;   // what the destination holds afterwards
    };
    const Case cases[] = {
        {"ok", {200, "MZ\x90\0updater"s, {}}, true, "MZ\x90\0updater"s},
        {"ok, empty body", {200, "", {}}, true, ""},
        {"not found", {404, "<html>not here</html>", {}}, false, ""},
        {"server error", {500, "boom", {}}, false, ""},
        {"redirection is not followed", {302, "moved", {"Location: /elsewhere"}}, false, ""},
        {"server accepts and stays silent", {200, "", {}, true}, false, ""},
    };
    ShortStallLimit limit;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        // A stale file of the same name is replaced, never appended to.
        const std::string destino = dir.Write("oldvelmoraAtualizador.exe", "stale content from before");
        HttpTestServer server([&](const std::string&) { return c.answer; });

        EXPECT_EQ(BaixaArquivo(server.Url() + "/update/x.exe", destino), c.downloaded);
        EXPECT_EQ(dir.Read("oldvelmoraAtualizador.exe"), c.fileAfter);
        EXPECT_EQ(server.Requests().size(), 1u);
    }
}

TEST(BaixaArquivo, SendsOneHttp11GetWithTheFixedHeaders) {
    test::TempDir dir;
    HttpTestServer server([](const std::string&) { return HttpAnswer{200, "x", {}}; });
    ASSERT_TRUE(BaixaArquivo(server.Url() + "/update/Atualizacao/velmora%20Empresa/a.exe", dir.str() + "a.exe"));

    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const std::string& head = requests[0];
    EXPECT_EQ(head.substr(0, head.find("\r\n")), "GET /update/Atualizacao/velmora%20Empresa/a.exe HTTP/1.1");
    for (const char* header : {"\r\nContent-Type: application/json\r\n", "\r\nContent-Encoding: utf-8\r\n",
                               "\r\nAccept: text/javascript\r\n"})
        EXPECT_NE(head.find(header), std::string::npos) << header << " missing from\n" << head;
    EXPECT_EQ(head.find("Accept: */*"), std::string::npos);
}

TEST(BaixaArquivo, FailsWhenNothingListens) {
    test::TempDir dir;
    EXPECT_FALSE(BaixaArquivo("http://127.0.0.1:" + std::to_string(test::FreePort()) + "/a.exe", dir.str() + "a.exe"));
}

TEST(BaixaArquivo, ADestinationThatCannotBeCreatedIsAnError) {
    test::TempDir dir;
    HttpTestServer server([](const std::string&) { return HttpAnswer{200, "x", {}}; });
    EXPECT_THROW(BaixaArquivo(server.Url() + "/a.exe", dir.str() + "no such folder/a.exe"), Error);
    EXPECT_TRUE(server.Requests().empty());
}

TEST(BaixaArquivo, HttpsWithASelfSignedCertificate) {
    test::TempDir dir;
    dir.Write("site/velmoraAtualizador.exe", "updater over TLS");
    test::HttpsTestServer server(dir.path() / "site");

    EXPECT_TRUE(BaixaArquivo(server.Url() + "/velmoraAtualizador.exe", dir.str() + "baixado.exe"));
    EXPECT_EQ(dir.Read("baixado.exe"), "updater over TLS");
}

TEST(EnderecoSite, BuiltInAddressUnlessTheEnvironmentNamesAnother) {
    {
        test::ScopedEnv unset("VELMORA_UPDATE_URL", std::nullopt);
        EXPECT_EQ(EnderecoSite(), "http://atualizacao.velmora.com.br");
    }
    {
        test::ScopedEnv mirror("VELMORA_UPDATE_URL", "http://espelho.example:8080/");
        EXPECT_EQ(EnderecoSite(), "http://espelho.example:8080");
    }
}

}   // namespace
}   // namespace velmora
