#include "platform/Processes.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/platform/Helpers.h"
#include "tests/support/TempDir.h"

namespace velmora::platform {
namespace {

using test::ScopedEnv;
using test::TempDir;
using test::WaitUntil;
namespace fs = std::filesystem;

// A process started for a test and killed and reaped at the end. The
// constructor returns once the child has run execv (or `body`), so that
// /proc already shows what the test wants to see.
class ChildProcess {
public:
    // execv(program, argv).
    ChildProcess(const std::string& program, const std::vector<std::string>& args)
        : ChildProcess([&] {
              std::vector<char*> argv;
              for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
              argv.push_back(nullptr);
              execv(program.c_str(), argv.data());
          }) {}

    // Runs `body` in the child; if it returns, the child reports and waits.
    explicit ChildProcess(const std::function<void()>& body) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            body();
            close(fds[1]);   // not an execv: say we are ready ourselves
            for (;;) pause();
        }
        close(fds[1]);
        char ignored;
        while (read(fds[0], &ignored, 1) < 0 && errno == EINTR) {}
        close(fds[0]);
    }
    ~ChildProcess() {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

private:
    pid_t pid_ = -1;
};

std::string CopyExecutable(const TempDir& dir, const std::string& from, const std::string& name) {
    fs::path to = dir.path() / name;
    fs::copy_file(from, to);
    fs::permissions(to, fs::perms::owner_all);
    return to.string();
}

TEST(IsProcessRunning, FindsAProgramByItsFileName) {
    TempDir dir;
    const std::string name = "velmoraTeste-" + std::to_string(getpid()) + ".exe";
    const std::string program = CopyExecutable(dir, "/bin/sleep", name);
    std::string upper = name;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));

    EXPECT_FALSE(IsProcessRunning(name));
    {
        ChildProcess child(program, {name, "30"});
        EXPECT_TRUE(IsProcessRunning(name));
        EXPECT_TRUE(IsProcessRunning(upper));                                         // letter case is ignored
        EXPECT_TRUE(IsProcessRunning(program));                                       // the whole name counts too
        EXPECT_FALSE(IsProcessRunning("velmoraTeste-" + std::to_string(getpid())));   // no partial names
    }
    EXPECT_FALSE(IsProcessRunning(name));   // ended
}

TEST(IsProcessRunning, FindsAWindowsProgramByItsFirstArgument) {
    // Under Wine the process is the Wine loader; its first argument is the
    // Windows path of the program.
    const std::string name = "velmoraWin" + std::to_string(getpid()) + ".exe";
    EXPECT_FALSE(IsProcessRunning(name));
    ChildProcess child("/bin/sleep", {"C:\\velmora\\" + name, "30"});
    EXPECT_TRUE(IsProcessRunning(name));
    EXPECT_TRUE(IsProcessRunning("VELMORAWIN" + std::to_string(getpid()) + ".EXE"));
}

TEST(IsProcessRunning, FindsAShortNameByTheKernelName) {
    // The kernel keeps up to 15 bytes of a name; a process may set its own.
    const std::string name = "velmC" + std::to_string(getpid() % 100000);
    EXPECT_FALSE(IsProcessRunning(name));
    ChildProcess child([&] { prctl(PR_SET_NAME, name.c_str()); });
    EXPECT_TRUE(IsProcessRunning(name));
}

TEST(SplitCommandLine, WindowsRules) {
    struct Case {
        std::string line;
        std::vector<std::string> args;
    } cases[] = {
        {"", {}},
        {"  \t ", {}},
        {"a b\t c", {"a", "b", "c"}},
        {" ARQUIVO=\"D:\\MDFe\\1\\Enviado\\Autorizados\\201503\\MDFe35-procMDFe.xml\" COPIAS=1 SAIDAERROS=A "
         "CONFIGURACAO=\"12345678000199\"",
         {"ARQUIVO=D:\\MDFe\\1\\Enviado\\Autorizados\\201503\\MDFe35-procMDFe.xml", "COPIAS=1", "SAIDAERROS=A",
          "CONFIGURACAO=12345678000199"}},
        {"ARQUIVO=\"D:\\Meus Documentos\\a b.xml\" x", {"ARQUIVO=D:\\Meus Documentos\\a b.xml", "x"}},
        {"@F1 @MD:\\Atualiza\xC2\xA7Sistema @EC:\\App @AvelmoraMonitorMDFe.exe",
         {"@F1", "@MD:\\Atualiza\xC2\xA7Sistema", "@EC:\\App", "@AvelmoraMonitorMDFe.exe"}},
        {"a\"b c\"d", {"ab cd"}},
        {"\"\"", {""}},
        {"a \"\" b", {"a", "", "b"}},
        {"C:\\dir\\ x", {"C:\\dir\\", "x"}},         // backslashes alone are literal
        {"\"C:\\dir\\\\\" x", {"C:\\dir\\", "x"}},   // 2n backslashes + quote: n, the quote closes
        {"a\\\"b", {"a\"b"}},                        // 2n+1: n and a literal quote
        {"a\\\\\\\"b", {"a\\\"b"}},
        {"\"a\"\"b\"", {"a\"b"}},   // a doubled quote inside quotes
        {"\"open to the end", {"open to the end"}},
    };
    for (const auto& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.args) << c.line;
}

// A script that records where it ran and what it got, one line each, and
// publishes the record in one step so that the test never reads half of it.
std::string WriteRecorder(const TempDir& dir, const std::string& relative, const std::string& record) {
    const std::string script =
        dir.Write(relative, "#!/bin/sh\n"
                            "{ pwd -P; for a in \"$0\" \"$@\"; do printf '%s\\n' \"$a\"; done; } > '" +
                                record +
                                ".tmp'\n"
                                "/bin/mv '" +
                                record + ".tmp' '" + record + "'\n");
    fs::permissions(script, fs::perms::owner_all);
    return script;
}

std::vector<std::string> ReadRecord(const std::string& path) {
    EXPECT_TRUE(WaitUntil([&] { return fs::exists(path); })) << "nothing recorded at " << path;
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Neither the program nor the helper that detached it is left as our child.
void ExpectNoChildren() {
    errno = 0;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST(StartProgram, RunsWithTheSplitArgumentsInTheWorkingFolder) {
    TempDir dir;
    const std::string record = dir.str() + "record.txt";
    const std::string script = WriteRecorder(dir, "bin/recorder", record);
    fs::create_directory(dir.path() / "work dir");

    int pid = StartProgram(script, "ARQUIVO=\"D:\\Meus Documentos\\a.xml\" COPIAS=1 \"\"", dir.str() + "work dir\\");
    EXPECT_GT(pid, 0);
    EXPECT_EQ(ReadRecord(record), (std::vector<std::string>{fs::canonical(dir.path() / "work dir").string(), script,
                                                            "ARQUIVO=D:\\Meus Documentos\\a.xml", "COPIAS=1", ""}));
    ExpectNoChildren();
}

TEST(StartProgram, ProgramPathGoesThroughTheDriveMapAndAMissingFolderIsIgnored) {
    TempDir dir;
    fs::create_directories(dir.path() / "prefix/dosdevices");
    fs::create_directories(dir.path() / "driveC/unimake");
    fs::create_directory_symlink(dir.path() / "driveC", dir.path() / "prefix/dosdevices/c:");
    ScopedEnv wine("WINEPREFIX", (dir.path() / "prefix").string());
    const std::string record = dir.str() + "record.txt";
    WriteRecorder(dir, "driveC/unimake/unidanfe", record);

    EXPECT_GT(StartProgram("C:\\unimake\\unidanfe", "", "c:\\unimake\\semPasta"), 0);
    auto lines = ReadRecord(record);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], fs::canonical(fs::current_path()).string());
    EXPECT_EQ(lines[1], dir.str() + "prefix/dosdevices/c:/unimake/unidanfe");
}

TEST(StartProgram, WindowsExecutableRunsThroughWine) {
    TempDir dir;
    const std::string record = dir.str() + "record.txt";
    // A stand-in for wine on PATH records how it was called.
    const std::string wine = WriteRecorder(dir, "bin/wine", record);
    ScopedEnv path("PATH", dir.str() + "bin");
    const std::string program = dir.Write("velmoraAtualizador.exe", std::string("MZ\x90\0\3", 5));

    EXPECT_GT(StartProgram(program, "@F1 @MD:\\Atualiza @A\"x y.exe\"", ""), 0);
    EXPECT_EQ(ReadRecord(record), (std::vector<std::string>{fs::canonical(fs::current_path()).string(), wine, program,
                                                            "@F1", "@MD:\\Atualiza", "@Ax y.exe"}));
    ExpectNoChildren();
}

TEST(StartProgram, ProgramThatCannotRunGivesMinusOne) {
    TempDir dir;
    ScopedEnv path("PATH", dir.str() + "bin");   // no wine here
    const std::string data = dir.Write("leiame.txt", "text");
    fs::permissions(data, fs::perms::owner_all);
    const std::string windows = dir.Write("x.exe", "MZ");
    fs::permissions(windows, fs::perms::owner_all);

    EXPECT_EQ(StartProgram(dir.str() + "nada.exe", "", ""), -1);
    EXPECT_EQ(StartProgram(dir.str() + "leiame.txt", "", ""), -1);   // executable bit, no format
    EXPECT_EQ(StartProgram(windows, "", ""), -1);                    // a Windows program without wine
    EXPECT_EQ(StartProgram("velmora-no-such-program", "", ""), -1);
    ExpectNoChildren();
}

TEST(OpenWithDefaultApplication, HandsTheNativePathToXdgOpenAsOneArgument) {
    TempDir dir;
    const std::string record = dir.str() + "record.txt";
    const std::string opener = WriteRecorder(dir, "bin/xdg-open", record);
    ScopedEnv path("PATH", dir.str() + "bin");
    ScopedEnv wine("WINEPREFIX", "/opt/prefix");

    EXPECT_TRUE(OpenWithDefaultApplication("D:\\MDFe\\1\\Erro\\lote 1-rec.err"));
    EXPECT_EQ(ReadRecord(record), (std::vector<std::string>{fs::canonical(fs::current_path()).string(), opener,
                                                            "/opt/prefix/dosdevices/d:/MDFe/1/Erro/lote 1-rec.err"}));
    ExpectNoChildren();
}

TEST(OpenWithDefaultApplication, SaysSoWhenNoOpenerCanBeStarted) {
    TempDir dir;
    ScopedEnv path("PATH", dir.str() + "bin");
    EXPECT_FALSE(OpenWithDefaultApplication("/tmp/x.err"));   // none on PATH

    dir.Write("bin/xdg-open", "#!/bin/sh\n");   // there, but not executable
    fs::permissions(dir.path() / "bin/xdg-open", fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_FALSE(OpenWithDefaultApplication("/tmp/x.err"));

    dir.Write("bin/xdg-open", "not a program");   // executable, but the start fails
    fs::permissions(dir.path() / "bin/xdg-open", fs::perms::owner_all);
    EXPECT_FALSE(OpenWithDefaultApplication("/tmp/x.err"));
    ExpectNoChildren();
}

}   // namespace
}   // namespace velmora::platform
