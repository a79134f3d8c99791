#include "platform/Paths.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/FileSystem.h"
#include "tests/platform/Helpers.h"
#include "tests/support/TempDir.h"

namespace velmora::platform {
namespace {

using test::ScopedEnv;
using test::TempDir;

TEST(ToNative, ResolvesDrivesAndSharesThroughTheWinePrefix) {
    const std::string prefix = "/opt/prefix";
    ScopedEnv wine("WINEPREFIX", prefix);
    struct Case {
        std::string windows;
        std::string native;
    } cases[] = {
        {"C:\\velmora\\velmoraEmpresa.ini", prefix + "/dosdevices/c:/velmora/velmoraEmpresa.ini"},
        {"d:\\MDFe\\", prefix + "/dosdevices/d:/MDFe/"},
        {"X:", prefix + "/dosdevices/x:"},
        {"X:\\", prefix + "/dosdevices/x:/"},
        {"E:/mixed\\seps/a.txt", prefix + "/dosdevices/e:/mixed/seps/a.txt"},
        {"\\\\srv01\\dados\\Conectado.txt", prefix + "/dosdevices/unc/srv01/dados/Conectado.txt"},
        {"/srv/mdfe/12345678000199\\Retorno\\", "/srv/mdfe/12345678000199/Retorno/"},
        {"/srv/mdfe/", "/srv/mdfe/"},
        {"\\12345678000199\\Erro\\", "/12345678000199/Erro/"},  // the root "\" of an empty root setting
        {"Dados\\ERP.FDB", "Dados/ERP.FDB"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ToNative(c.windows), c.native) << c.windows;
}

TEST(ToNative, WithoutWinePrefixUsesDotWineInHome) {
    ScopedEnv wine("WINEPREFIX", std::nullopt);
    ScopedEnv home("HOME", "/home/operador");
    EXPECT_EQ(ToNative("C:\\a.txt"), "/home/operador/.wine/dosdevices/c:/a.txt");
}

TEST(ToNative, DriveMapReachesRealFiles) {
    // A prefix as Wine lays it out: dosdevices/d: is a link to the folder
    // that serves as drive D.
    TempDir dir;
    std::filesystem::create_directories(dir.path() / "prefix/dosdevices");
    std::filesystem::create_directories(dir.path() / "driveD/MDFe");
    std::filesystem::create_directory_symlink(dir.path() / "driveD", dir.path() / "prefix/dosdevices/d:");
    dir.Write("driveD/MDFe/lote.xml", "x");
    ScopedEnv wine("WINEPREFIX", (dir.path() / "prefix").string());

    EXPECT_TRUE(FileExists("D:\\MDFe\\lote.xml"));
    EXPECT_TRUE(FolderExists("d:\\MDFe\\"));
    EXPECT_FALSE(FileExists("C:\\MDFe\\lote.xml"));  // no drive C in this prefix
}

TEST(PathParts, SplitAtTheLastSeparatorOfEitherKind) {
    struct Case {
        std::string path, name, folder, folderWithSeparator;
    } cases[] = {
        {"C:\\App\\Monitor\\velmoraMonitorMDFe.exe", "velmoraMonitorMDFe.exe", "C:\\App\\Monitor", "C:\\App\\Monitor\\"},
        {"/usr/local/bin/velmoraMonitorMDFe", "velmoraMonitorMDFe", "/usr/local/bin", "/usr/local/bin/"},
        {"D:\\MDFe/123\\Retorno/a.xml", "a.xml", "D:\\MDFe/123\\Retorno", "D:\\MDFe/123\\Retorno/"},
        {"C:\\App\\Monitor\\", "", "C:\\App\\Monitor", "C:\\App\\Monitor\\"},
        {"C:\\a.exe", "a.exe", "C:", "C:\\"},
        {"plain.txt", "plain.txt", "", ""},
        {"", "", "", ""},
        {"\\", "", "", "\\"},
        {"\\\\srv\\share\\Dados\\Conectado.txt", "Conectado.txt", "\\\\srv\\share\\Dados", "\\\\srv\\share\\Dados\\"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FileNameOf(c.path), c.name) << c.path;
        EXPECT_EQ(FolderOf(c.path), c.folder) << c.path;
        EXPECT_EQ(FolderWithSeparatorOf(c.path), c.folderWithSeparator) << c.path;
    }
}

TEST(ExecutablePath, IsTheRunningProgramUnlessOverridden) {
    std::string real = ExecutablePath();
    EXPECT_EQ(real, std::filesystem::canonical("/proc/self/exe").string());
    EXPECT_EQ(FileNameOf(real), "test_platform");

    OverrideExecutablePath("C:\\App\\Monitor\\velmoraMonitorMDFe.exe");
    EXPECT_EQ(ExecutablePath(), "C:\\App\\Monitor\\velmoraMonitorMDFe.exe");
    OverrideExecutablePath("");
    EXPECT_EQ(ExecutablePath(), real);
}

} // namespace
} // namespace velmora::platform
