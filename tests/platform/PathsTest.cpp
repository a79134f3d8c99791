#include "platform/Paths.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <vector>

#include "platform/FileSystem.h"
#include "tests/platform/Helpers.h"
#include "tests/support/TempDir.h"

namespace velmora::platform {
namespace {

using test::ScopedEnv;
using test::TempDir;
namespace fs = std::filesystem;

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
        {"\\12345678000199\\Erro\\", "/12345678000199/Erro/"},   // the root "\" of an empty root setting
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
    EXPECT_FALSE(FileExists("C:\\MDFe\\lote.xml"));   // no drive C in this prefix
}

// A Wine prefix whose drive X: is a real folder tree, as Wine lays it out
// (dosdevices/x: a link to the drive's folder), and a share \\srv01\dados.
class LetterCase : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir_.path() / "prefix/dosdevices/unc/srv01/dados/Retorno");
        fs::create_directories(drive_ / "MDFe/11222333000181/Retorno");
        fs::create_directories(drive_ / "MDFe/11222333000181/Ok");
        fs::create_directory_symlink(drive_, dir_.path() / "prefix/dosdevices/x:");
    }

    std::string X(const std::string& below) const { return (dir_.path() / "prefix/dosdevices/x:").string() + below; }
    // The names in a folder of the drive, to see that nothing parallel was made.
    std::vector<std::string> Entries(const fs::path& folder) const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir dir_;
    fs::path drive_ = dir_.path() / "driveX";
    ScopedEnv wine_{"WINEPREFIX", (dir_.path() / "prefix").string()};
};

TEST_F(LetterCase, ARootStoredInAnotherCaseWorksInTheRealTree) {
    const std::string root = "X:\\mdfe\\";   // the ERP's setting; the folder on disk is MDFe
    const std::string company = root + "11222333000181\\";
    EXPECT_TRUE(FolderExists(root));
    EXPECT_TRUE(CreateFolder(company + "Erro\\"));
    EXPECT_TRUE(FolderExists(company + "ERRO"));
    EXPECT_FALSE(CreateFolder(company + "erro\\"));   // the same folder, already there

    dir_.Write("driveX/MDFe/11222333000181/Retorno/a-sit.xml", "situacao");
    dir_.Write("driveX/MDFe/11222333000181/Retorno/Conectado.txt", "OK\r\n");
    EXPECT_EQ(ListFiles(company + "retorno\\", "*-sit.xml*"), std::vector<std::string>{"a-sit.xml"});
    EXPECT_TRUE(FileExists(company + "RETORNO\\CONECTADO.TXT"));
    EXPECT_EQ(ReadFirstLine(company + "Retorno\\CONECTADO.TXT"), "OK");
    EXPECT_TRUE(MoveFileReplace(company + "retorno\\A-SIT.XML", company + "OK\\a-sit.xml"));
    EXPECT_TRUE(dir_.Exists("driveX/MDFe/11222333000181/Ok/a-sit.xml"));

    // Everything happened inside the tree that was there: no "mdfe", no
    // "retorno", no "OK" beside it.
    EXPECT_EQ(Entries(drive_), std::vector<std::string>{"MDFe"});
    EXPECT_EQ(Entries(drive_ / "MDFe/11222333000181"), (std::vector<std::string>{"Erro", "Ok", "Retorno"}));
}

TEST_F(LetterCase, EachNameIsMatchedBelowTheDriveOrShareOnly) {
    fs::create_directories(drive_ / "a");
    fs::create_directories(drive_ / "A");
    fs::create_directories(drive_ / "A\xC3\xA7\xC3\xBA"
                                    "car");   // "Açúcar"
    dir_.Write("driveX/MDFe/11222333000181/Retorno/Conectado.txt", "OK");
    const std::string nativeRoot = drive_.string() + "/";
    struct Case {
        std::string path;
        std::string native;
    } cases[] = {
        {"X:\\mdfe\\11222333000181\\retorno\\CONECTADO.TXT", X("/MDFe/11222333000181/Retorno/Conectado.txt")},
        {"x:/Mdfe/11222333000181/RETORNO/", X("/MDFe/11222333000181/Retorno/")},   // the trailing separator stays
        {"X:\\a\\n.txt", X("/a/n.txt")},                                           // an exact match first
        {"X:\\A\\n.txt", X("/A/n.txt")},
        {"X:\\A\xC3\x87\xC3\x9A"
         "CAR\\",
         X("/A\xC3\xA7\xC3\xBA"
           "car/")},   // accented letters fold too
        // A name with no match (a folder still to be made) and all after it
        // stay as written, even when a later name would match something.
        {"X:\\MDFE\\Novo\\retorno\\x.xml", X("/MDFe/Novo/retorno/x.xml")},
        {"X:\\mdfe\\..\\mdfe\\", X("/MDFe/../mdfe/")},
        {"X:\\mdfe\\\\11222333000181", X("/MDFe//11222333000181")},
        {"X:", X("")},
        {"\\\\srv01\\dados\\RETORNO\\Conectado.txt",
         (dir_.path() / "prefix/dosdevices/unc/srv01/dados/Retorno/Conectado.txt").string()},
        // Native and relative paths keep their exact meaning.
        {nativeRoot + "mdfe\\", nativeRoot + "mdfe/"},
        {"mdfe\\Retorno", "mdfe/Retorno"},
    };
    for (const auto& c : cases) EXPECT_EQ(ToNative(c.path), c.native) << c.path;
}

TEST_F(LetterCase, ARenamedOrRemovedFolderIsNoticedAfterALookUp) {
    // An old modification time lets the drive's listing be kept between
    // look-ups, so what follows checks that the kept one is given up.
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(1);
    fs::last_write_time(drive_, old);
    EXPECT_EQ(ToNative("X:\\mdfe\\11222333000181"), X("/MDFe/11222333000181"));
    EXPECT_EQ(ToNative("X:\\mdfe\\11222333000181"), X("/MDFe/11222333000181"));   // from the kept listing

    fs::rename(drive_ / "MDFe", drive_ / "Mdfe");
    EXPECT_EQ(ToNative("X:\\mdfe\\11222333000181"), X("/Mdfe/11222333000181"));

    // Renamed again with the modification time put back: the change time
    // still tells.
    fs::last_write_time(drive_, old);
    ToNative("X:\\mdfe\\");
    fs::rename(drive_ / "Mdfe", drive_ / "MDFE");
    fs::last_write_time(drive_, old);
    EXPECT_EQ(ToNative("X:\\mdfe\\11222333000181"), X("/MDFE/11222333000181"));

    fs::remove_all(drive_ / "MDFE");
    EXPECT_EQ(ToNative("X:\\mdfe\\11222333000181"), X("/mdfe/11222333000181"));
    EXPECT_TRUE(CreateFolder("X:\\mdfe\\"));
    EXPECT_TRUE(FolderExists("X:\\MDFe\\"));
    EXPECT_EQ(Entries(drive_), std::vector<std::string>{"mdfe"});
}

TEST(PathParts, SplitAtTheLastSeparatorOfEitherKind) {
    struct Case {
        std::string path, name, folder, folderWithSeparator;
    } cases[] = {
        {"C:\\App\\Monitor\\velmoraMonitorMDFe.exe", "velmoraMonitorMDFe.exe", "C:\\App\\Monitor",
         "C:\\App\\Monitor\\"},
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

}   // namespace
}   // namespace velmora::platform
