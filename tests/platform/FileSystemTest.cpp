#include "platform/FileSystem.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "platform/Error.h"
#include "platform/Text.h"
#include "tests/platform/Helpers.h"
#include "tests/support/FileTimes.h"
#include "tests/support/TempDir.h"

namespace velmora::platform {
namespace {

using test::TempDir;
namespace fs = std::filesystem;

TEST(MatchesMask, WildcardsCoverTheWholeNameIgnoringCase) {
    struct Case {
        const char* name;
        const char* mask;
        bool matches;
    } cases[] = {
        {"MDFe35150312345678000199580010000000011000000019-num-lot.xml", "MDFe*-num-lot.xml*", true},
        {"mdfe35150312345678000199580010000000011000000019-NUM-LOT.XML", "MDFe*-num-lot.xml*", true},
        {"MDFe123-num-lot.xml.bak", "MDFe*-num-lot.xml*", true},   // the trailing * takes the rest
        {"xMDFe123-num-lot.xml", "MDFe*-num-lot.xml*", false},     // the mask starts at the name's start
        {"MDFe-num-lot.xml", "MDFe*-num-lot.xml*", true},          // * may be empty
        {"MDFe123-num-lot.xm", "MDFe*-num-lot.xml*", false},
        {"000000000000123-pro-rec.xml", "*-pro-rec.xml*", true},
        {"000000000000123-sit.xml.old", "*-sit.xml*", true},
        {"mdfe123-eve.xml", "MDFe*-eve.xml*", true},
        {"000000000000123-pro-rec.err", "*-rec.err*", true},   // the overlap of the two error masks
        {"000000000000123-pro-rec.err", "*-pro-rec.err*", true},
        {"000000000000123-rec.err", "*-pro-rec.err*", false},
        {"123-MDFE.ERR", "*mdfe.err*", true},
        {"123-env-loterps.err", "*env-loterps.err*", true},
        {"123-eve.err", "*-eve.err*", true},
        {"123-eve.er", "*-eve.err*", false},
        {"a-b-c-eve.err-x", "*-eve.err*", true},   // backtracking over repeated parts
        {"abc", "a?c", true},
        {"ac", "a?c", false},
        {"a\xC3\xA7\xC3\xA3o.xml", "A?\xC3\x83O.XML", true},   // "?" is one character, accents fold
        {"anything", "*", true},
        {"", "*", true},
        {"", "", true},
        {"a", "", false},
        {"velmoraAtualizador.EXE", "*.exe", true},
    };
    for (const auto& c : cases) EXPECT_EQ(MatchesMask(c.name, c.mask), c.matches) << c.name << " ~ " << c.mask;
}

TEST(ListFiles, PlainVisibleMatchingFilesInCaseInsensitiveOrder) {
    TempDir dir;
    for (const char* name :
         {"b-sit.xml", "A-sit.xml", "c-SIT.XML.old", "a-sit.xml", "B-sit.xml", "x.txt", ".h-sit.xml"})
        dir.Write(std::string("Retorno/") + name, "x");
    fs::create_directory(dir.path() / "Retorno/pasta-sit.xml");
    fs::create_symlink(dir.path() / "Retorno/x.txt", dir.path() / "Retorno/link-sit.xml");

    // Windows form with a trailing "\": the folder path as the processors make it.
    std::vector<std::string> expected{"A-sit.xml", "a-sit.xml",     "B-sit.xml",
                                      "b-sit.xml", "c-SIT.XML.old", "link-sit.xml"};
    EXPECT_EQ(ListFiles(dir.str() + "Retorno\\", "*-sit.xml*"), expected);
    EXPECT_EQ(ListFiles(dir.str() + "Retorno", "nothing*"), std::vector<std::string>{});
}

TEST(ListFiles, NamesWindowsCannotHaveAreNeverListed) {
    // On a Linux share a name may hold a "\\"; composed into a path and
    // turned native it would leave the folder: um/dois/tres/a/../../../x is x.
    TempDir dir;
    const std::string folder = dir.str() + "um/dois/tres/";
    fs::create_directories(folder + "a");
    dir.Write("outside-rec.err", "fora");
    struct Case {
        std::string name;
        bool listed;
    } cases[] = {
        {"a\\..\\..\\..\\outside-rec.err", false},
        {"c:x-rec.err", false},
        {"q?-rec.err", false},
        {"s*-rec.err", false},
        {"\"x\"-rec.err", false},
        {"<y>-rec.err", false},
        {"p|q-rec.err", false},
        {"tab\t-rec.err", false},
        {"\x01-rec.err", false},
        {"\x1F-rec.err", false},
        {"ok-rec.err", true},
        {"Emiss\xC3\xA3o #1 (2)-rec.err", true},
        {"del\x7F-rec.err", true},   // only 0x01-0x1F are control characters to Windows
    };
    std::vector<std::string> expected;
    for (const Case& c : cases) {
        std::ofstream(folder + c.name) << "x";
        ASSERT_TRUE(fs::exists(folder + c.name)) << c.name;
        if (c.listed) expected.push_back(c.name);
        EXPECT_EQ(IsWindowsFileName(c.name), c.listed) << c.name;
    }
    std::sort(expected.begin(), expected.end(),
              [](const std::string& a, const std::string& b) { return CompareIgnoreCase(a, b) < 0; });
    EXPECT_EQ(ListFiles(folder, "*-rec.err*"), expected);
    EXPECT_EQ(ListFiles(dir.str() + "um\\dois\\tres\\", "*"), expected);
}

TEST(ListFiles, MissingFolderThrows) {
    TempDir dir;
    try {
        ListFiles(dir.str() + "semRetorno\\", "*-sit.xml*");
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_NE(e.Message().find("semRetorno"), std::string::npos) << e.Message();
    }
    dir.Write("arquivo", "x");
    EXPECT_THROW(ListFiles(dir.str() + "arquivo", "*"), Error);
}

TEST(FolderServices, ExistenceAndSingleLevelCreation) {
    TempDir dir;
    dir.Write("a.txt", "x");
    EXPECT_TRUE(FileExists(dir.str() + "a.txt"));
    EXPECT_FALSE(FolderExists(dir.str() + "a.txt"));
    EXPECT_TRUE(FolderExists(dir.str()));
    EXPECT_FALSE(FileExists(dir.str()));
    EXPECT_FALSE(FileExists(dir.str() + "b.txt"));

    EXPECT_TRUE(CreateFolder(dir.str() + "MDFe\\"));
    EXPECT_TRUE(FolderExists(dir.str() + "MDFe"));
    EXPECT_FALSE(CreateFolder(dir.str() + "MDFe"));     // already there
    EXPECT_FALSE(CreateFolder(dir.str() + "x\\y\\"));   // parents are not made
    EXPECT_FALSE(FolderExists(dir.str() + "x"));
}

TEST(MoveFileReplace, ReplacesTheDestination) {
    TempDir dir;
    const std::string from = dir.Write("Retorno/1-sit.xml", "new");
    dir.Write("Retorno/OK/1-sit.xml", "old");
    EXPECT_TRUE(MoveFileReplace(from, dir.str() + "Retorno\\OK\\1-sit.xml"));
    EXPECT_FALSE(dir.Exists("Retorno/1-sit.xml"));
    EXPECT_EQ(dir.Read("Retorno/OK/1-sit.xml"), "new");
}

TEST(MoveFileReplace, FailureLeavesTheFileWhereItWas) {
    TempDir dir;
    const std::string from = dir.Write("Retorno/1-sit.xml", "data");
    EXPECT_FALSE(MoveFileReplace(from, dir.str() + "Erro\\1-sit.xml"));   // no such folder
    EXPECT_FALSE(MoveFileReplace(dir.str() + "Retorno\\none.xml", dir.str() + "Retorno\\x.xml"));
    fs::create_directory(dir.path() / "Retorno/pasta");
    EXPECT_FALSE(MoveFileReplace(from, dir.str() + "Retorno\\pasta"));   // a folder is not replaced
    EXPECT_EQ(dir.Read("Retorno/1-sit.xml"), "data");
}

TEST(MoveFileReplace, AcrossFileSystemsCopiesThenRemoves) {
    TempDir local;
    struct stat a {
    }, b{};
    if (stat(local.str().c_str(), &a) != 0 || stat("/dev/shm", &b) != 0 || a.st_dev == b.st_dev)
        GTEST_SKIP() << "no second file system at /dev/shm";
    char pattern[] = "/dev/shm/velmora-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string other = pattern;

    const std::string from = local.Write("1-sit.xml", "content");
    test::SetLocalWriteTime(from, 2015, 3, 10, 14, 25, 30);
    { std::ofstream(other + "/1-sit.xml") << "old"; }
    EXPECT_TRUE(MoveFileReplace(from, other + "/1-sit.xml"));
    EXPECT_FALSE(local.Exists("1-sit.xml"));
    std::ifstream in(other + "/1-sit.xml");
    std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(text, "content");
    EXPECT_EQ(LastWriteTime(other + "/1-sit.xml"), (LocalDateTime{2015, 3, 10, 14, 25, 30}));
    // The move leaves no temporary file behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(other), fs::directory_iterator()), 1);

    // Into a missing folder on the other file system: nothing moves.
    const std::string second = local.Write("2-sit.xml", "two");
    EXPECT_FALSE(MoveFileReplace(second, other + "/Erro/2-sit.xml"));
    EXPECT_EQ(local.Read("2-sit.xml"), "two");
    fs::remove_all(other);
}

TEST(RenameFile, NeverReplaces) {
    TempDir dir;
    const std::string a = dir.Write("a.exe", "A");
    const std::string b = dir.Write("b.exe", "B");
    EXPECT_FALSE(RenameFile(a, b));
    EXPECT_EQ(dir.Read("a.exe"), "A");
    EXPECT_EQ(dir.Read("b.exe"), "B");

    EXPECT_TRUE(RenameFile(a, dir.str() + "c.exe"));
    EXPECT_FALSE(dir.Exists("a.exe"));
    EXPECT_EQ(dir.Read("c.exe"), "A");
    EXPECT_FALSE(RenameFile(a, dir.str() + "d.exe"));   // the source is gone
}

TEST(CopyFile, FailIfExistsLeavesTheDestinationAlone) {
    TempDir dir;
    const std::string from = dir.Write("mestre/velmoraEmpresa.exe", "novo");
    dir.Write("atualiza/velmoraEmpresa.exe", "antigo");
    fs::create_directory(dir.path() / "vazia");
    test::SetLocalWriteTime(from, 2020, 1, 2, 3, 4, 6);

    EXPECT_FALSE(CopyFile(from, dir.str() + "atualiza\\velmoraEmpresa.exe", true));
    EXPECT_EQ(dir.Read("atualiza/velmoraEmpresa.exe"), "antigo");

    EXPECT_TRUE(CopyFile(from, dir.str() + "vazia\\velmoraEmpresa.exe", true));
    EXPECT_EQ(dir.Read("vazia/velmoraEmpresa.exe"), "novo");
    // A copy keeps the last-write time, as the update check compares it.
    EXPECT_EQ(LastWriteTime(dir.str() + "vazia\\velmoraEmpresa.exe"), (LocalDateTime{2020, 1, 2, 3, 4, 6}));

    EXPECT_TRUE(CopyFile(from, dir.str() + "atualiza\\velmoraEmpresa.exe", false));
    EXPECT_EQ(dir.Read("atualiza/velmoraEmpresa.exe"), "novo");
    EXPECT_EQ(dir.Read("mestre/velmoraEmpresa.exe"), "novo");

    EXPECT_FALSE(CopyFile(dir.str() + "mestre\\nada.exe", dir.str() + "vazia\\nada.exe", false));
    EXPECT_FALSE(CopyFile(from, dir.str() + "semPasta\\velmoraEmpresa.exe", false));
    EXPECT_FALSE(dir.Exists("vazia/nada.exe"));
    // Only the copied file is left: no temporary file remains after a failure.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path() / "vazia"), fs::directory_iterator()), 1);
}

TEST(DeleteFile, RemovesFilesOnly) {
    TempDir dir;
    const std::string file = dir.Write("Exec-velmoraEmpresa.exe", "x");
    fs::create_directory(dir.path() / "pasta");
    EXPECT_TRUE(DeleteFile(file));
    EXPECT_FALSE(dir.Exists("Exec-velmoraEmpresa.exe"));
    EXPECT_FALSE(DeleteFile(file));
    EXPECT_FALSE(DeleteFile(dir.str() + "pasta"));
    EXPECT_TRUE(dir.Exists("pasta"));
}

TEST(LastWriteTime, LocalTimeRoundedDownToEvenSeconds) {
    TempDir dir;
    const std::string file = dir.Write("a.exe", "x");
    struct Case {
        int second;
        long nanoseconds;
        int expected;
    } cases[] = {{30, 0, 30}, {31, 0, 30}, {31, 999999999, 30}, {59, 500000000, 58}, {0, 1, 0}};
    for (const auto& c : cases) {
        test::SetLocalWriteTime(file, 2015, 3, 10, 14, 25, c.second, c.nanoseconds);
        EXPECT_EQ(LastWriteTime(file), (LocalDateTime{2015, 3, 10, 14, 25, c.expected})) << c.second;
    }
    EXPECT_EQ(LastWriteTime(dir.str() + "nada.exe"), std::nullopt);
}

TEST(ReadFirstLine, RawBytesUpToTheFirstLineEnd) {
    TempDir dir;
    struct Case {
        std::string content;
        std::string line;
    } cases[] = {
        {"DESCONECTAR\r\nresto", "DESCONECTAR"},
        {"DESCONECTAR\nresto", "DESCONECTAR"},
        {"first\rsecond", "first"},
        {"DESCONECTAR", "DESCONECTAR"},   // no line end
        {"\xEF\xBB\xBF"
         "DESCONECTAR\r\n",
         "\xEF\xBB\xBF"
         "DESCONECTAR"},   // the BOM is kept
        {"desconectar \r\n", "desconectar "},
        {"S\xE3o\n", "S\xE3o"},   // bytes, not decoded
        {"", ""},
        {"\r\n", ""},
        {std::string(10000, 'x') + "\nmore", std::string(10000, 'x')},   // longer than one read
    };
    for (const auto& c : cases) {
        const std::string file = dir.Write("Conectado.txt", c.content);
        EXPECT_EQ(ReadFirstLine(file), c.line);
        EXPECT_EQ(ReadFirstLineSharedRead(file), c.line);
    }
    EXPECT_EQ(ReadFirstLine(dir.str() + "nada.txt"), std::nullopt);
    EXPECT_EQ(ReadFirstLineSharedRead(dir.str() + "nada.txt"), std::nullopt);
    EXPECT_EQ(ReadFirstLine(dir.str()), std::nullopt);   // a folder cannot be read
}

// Another program holding "Conectado.txt" with a lock of the given kind. The
// lock is taken in a child process, because POSIX record locks belong to a
// process and never conflict with the process's own.
class LockingProcess {
public:
    LockingProcess(const std::string& path, short lockType) {
        int ready[2], release[2];
        if (pipe(ready) != 0 || pipe(release) != 0) throw std::runtime_error("pipe");
        pid_ = fork();
        if (pid_ == 0) {
            close(ready[0]);
            close(release[1]);
            int fd = open(path.c_str(), O_RDWR);
            struct flock lock {};
            lock.l_type = lockType;
            lock.l_whence = SEEK_SET;
            char ok = fd >= 0 && fcntl(fd, F_SETLKW, &lock) == 0 ? '1' : '0';
            (void)!write(ready[1], &ok, 1);
            char ignored;
            (void)!read(release[0], &ignored, 1);   // until the test closes its end
            _exit(0);
        }
        close(ready[1]);
        close(release[0]);
        releaseFd_ = release[1];
        char ok = '0';
        locked_ = read(ready[0], &ok, 1) == 1 && ok == '1';
        close(ready[0]);
    }
    ~LockingProcess() { Release(); }
    bool Locked() const { return locked_; }
    void Release() {
        if (pid_ <= 0) return;
        close(releaseFd_);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    int releaseFd_ = -1;
    bool locked_ = false;
};

TEST(ReadFirstLineSharedRead, FailsWhileAnotherProgramHoldsAWriteLock) {
    TempDir dir;
    const std::string file = dir.Write("Dados/Conectado.txt", "DESCONECTAR\r\n");
    {
        LockingProcess writer(file, F_WRLCK);
        ASSERT_TRUE(writer.Locked());
        EXPECT_EQ(ReadFirstLineSharedRead(dir.str() + "Dados\\Conectado.txt"), std::nullopt);
        EXPECT_EQ(ReadFirstLine(file), "DESCONECTAR");   // the plain read does not care
    }
    EXPECT_EQ(ReadFirstLineSharedRead(file), "DESCONECTAR");   // released

    LockingProcess reader(file, F_RDLCK);
    ASSERT_TRUE(reader.Locked());
    EXPECT_EQ(ReadFirstLineSharedRead(file), "DESCONECTAR");   // readers share
}

}   // namespace
}   // namespace velmora::platform
