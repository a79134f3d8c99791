// The names the update check records when the session opens, and the text
// of a file's date.
#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include "maintenance/Atualizacao.h"
#include "monitor/Monitor.h"
#include "platform/Locale.h"
#include "tests/support/FileTimes.h"
#include "platform/Paths.h"
#include "tests/support/ScriptedUi.h"
#include "tests/support/TempDir.h"

namespace velmora {
namespace {

struct ExecutableAt {
    explicit ExecutableAt(const std::string& path) { platform::OverrideExecutablePath(path); }
    ~ExecutableAt() { platform::OverrideExecutablePath(""); }
};

TEST(PreparaAtualizacao, UpdateFolderIsASiblingOfTheConfigurationFolder) {
    struct Case {
        const char* iniPath;
        const char* pasta;
        const char* codificada;
    };
    const Case cases[] = {
        {"X:\\Sistema\\Dados\\servidor.ini", "X:\\Sistema\\Update", "X:\\Sistema\\Update"},
        {"/srv/velmora/Dados/servidor.ini", "/srv/velmora/Update", "/srv/velmora/Update"},
        {"X:\\Meu Sistema/Dados\\servidor.ini", "X:\\Meu Sistema/Update", "X:\\Meu§Sistema/Update"},
        // Fewer than two separators: relative to the current folder.
        {"servidor.ini", "Update", "Update"},
        {"Dados\\servidor.ini", "Update", "Update"},
        {"", "Update", "Update"},
        // The last character is never looked at.
        {"X:\\Dados\\", "Update", "Update"},
        {"X:\\A\\B\\", "X:\\Update", "X:\\Update"},
        {"\\\\srv\\dados\\servidor.ini", "\\\\srv\\Update", "\\\\srv\\Update"},
    };
    ExecutableAt exe("/opt/velmora sistemas/bin/velmoraMonitorMDFe.exe");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.iniPath);
        const EstadoAtualizacao estado = PreparaAtualizacao("servidor:/dados/erp.fdb", c.iniPath);
        EXPECT_EQ(estado.pastaAtualizacao, c.pasta);
        EXPECT_EQ(estado.pastaAtualizacaoCodificada, c.codificada);
        EXPECT_EQ(estado.programa, "velmoraMonitorMDFe.exe");
        EXPECT_EQ(estado.pastaPrograma, "/opt/velmora sistemas/bin");
        EXPECT_EQ(estado.pastaProgramaCodificada, "/opt/velmora§sistemas/bin");
    }
}

TEST(DataArquivo, ShortDateAndLongTimeWithoutTheTimeAtMidnight) {
    platform::OverrideLocale(platform::LocaleSettings{"%d/%m/%Y", "%H:%M:%S", "."});
    struct Case {
        int year, month, day, hour, minute, second;
        const char* text;
    };
    const Case cases[] = {
        {2024, 3, 5, 14, 7, 8, "05/03/2024 14:07:08"},
        {2024, 3, 5, 0, 0, 0, "05/03/2024"},
        {2024, 12, 31, 0, 0, 2, "31/12/2024 00:00:02"},
    };
    test::TempDir dir;
    const std::string file = dir.Write("velmoraMonitorMDFe.exe", "program");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        test::SetLocalWriteTime(file, c.year, c.month, c.day, c.hour, c.minute, c.second);
        EXPECT_EQ(DataArquivo(file), c.text);
    }
    EXPECT_EQ(DataArquivo(dir.str() + "missing.exe"), "");
    platform::OverrideLocale(std::nullopt);
}

}   // namespace
}   // namespace velmora
