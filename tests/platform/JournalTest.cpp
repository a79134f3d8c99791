// The journal on a real folder: lines with their local time, rotation to four
// files, folders it cannot write to, and where it goes by default.
#include "platform/Journal.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <vector>

#include "tests/platform/Helpers.h"
#include "tests/support/TempDir.h"

namespace velmora::platform {
namespace {

using test::ScopedEnv;
using test::TempDir;
namespace fs = std::filesystem;

std::vector<std::string> Lines(const fs::path& file) {
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::set<std::string> FilesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

std::string LocalMinute(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    return text;
}

// The journal is one per process: every test leaves it closed.
class Journal : public ::testing::Test {
protected:
    void TearDown() override { journal::Close(); }
};

TEST_F(Journal, EachLineLandsAtOnceWithItsLocalTimeToTheMillisecond) {
    // A zone far from UTC, so that a journal in UTC shows.
    ScopedEnv zone("TZ", "BRT3");
    tzset();
    TempDir dir;
    const fs::path folder = dir.path() / "state" / "velmoraMonitorMDFe";

    journal::Write("before it is open");   // dropped, and harmless
    const std::time_t before = std::time(nullptr);
    journal::OpenAt(folder.string());
    EXPECT_EQ(journal::Folder(), folder.string());
    journal::Write("Parado: Não foi possível ler o arquivo — 123-pro-rec.xml");
    journal::Write("Erro de banco:\r\nUnable to complete network request\n-Error reading data\n");
    const std::time_t after = std::time(nullptr);

    // Read while still open: nothing may wait in a buffer for a crash to lose.
    std::vector<std::string> lines = Lines(folder / "monitor.log");
    ASSERT_EQ(lines.size(), 2u);
    const std::regex timed(R"((\d{4}-\d\d-\d\d \d\d:\d\d):\d\d\.\d{3} (.*))");
    std::smatch parts;
    ASSERT_TRUE(std::regex_match(lines[0], parts, timed)) << lines[0];
    EXPECT_TRUE(parts[1] == LocalMinute(before) || parts[1] == LocalMinute(after)) << lines[0];
    EXPECT_EQ(parts[2], "Parado: Não foi possível ler o arquivo — 123-pro-rec.xml");
    ASSERT_TRUE(std::regex_match(lines[1], parts, timed)) << lines[1];
    EXPECT_EQ(parts[2], "Erro de banco: Unable to complete network request -Error reading data");

    journal::Close();
    EXPECT_EQ(journal::Folder(), "");
    journal::Write("after it closed");
    EXPECT_EQ(Lines(folder / "monitor.log").size(), 2u);

    // Opened again, it carries on in the same file.
    journal::OpenAt(folder.string());
    journal::Write("again");
    EXPECT_EQ(Lines(folder / "monitor.log").size(), 3u);
    tzset();
}

TEST_F(Journal, KeepsTheNewestLinesInFourFilesAtMost) {
    TempDir dir;
    const fs::path folder = dir.path() / "j";
    journal::detail::OpenAt(folder.string(), 4096);
    const int count = 2000;   // about 200 kB: dozens of rotations
    for (int i = 0; i < count; ++i) journal::Write("linha " + std::to_string(i) + " " + std::string(80, '.'));

    EXPECT_EQ(FilesIn(folder),
              (std::set<std::string>{"monitor.log", "monitor.1.log", "monitor.2.log", "monitor.3.log"}));
    // Oldest to newest, without a gap, ending with the last line written.
    std::vector<std::string> kept;
    for (const char* name : {"monitor.3.log", "monitor.2.log", "monitor.1.log", "monitor.log"}) {
        EXPECT_LE(fs::file_size(folder / name), 4096u) << name;
        for (std::string& line : Lines(folder / name)) kept.push_back(std::move(line));
    }
    ASSERT_GT(kept.size(), 100u);
    const std::regex numbered(R"(.* linha (\d+) \.+)");
    for (size_t i = 0; i < kept.size(); ++i) {
        std::smatch parts;
        ASSERT_TRUE(std::regex_match(kept[i], parts, numbered)) << kept[i];
        EXPECT_EQ(std::stoi(parts[1]), count - static_cast<int>(kept.size() - i)) << kept[i];
    }
}

TEST_F(Journal, RotatesAtAboutOneMegabyteByDefault) {
    TempDir dir;
    journal::OpenAt(dir.str());
    const std::string line(1000, 'x');
    for (int i = 0; i < 4500; ++i) journal::Write(line);   // about 4.5 MB

    EXPECT_EQ(FilesIn(dir.path()),
              (std::set<std::string>{"monitor.log", "monitor.1.log", "monitor.2.log", "monitor.3.log"}));
    for (const char* name : {"monitor.1.log", "monitor.2.log", "monitor.3.log"}) {
        EXPECT_GT(fs::file_size(dir.path() / name), 1000u * 1000u) << name;
        EXPECT_LE(fs::file_size(dir.path() / name), 1024u * 1024u) << name;
    }
}

TEST_F(Journal, AFolderItCannotWriteToLeavesItClosedAndSilent) {
    // Tests run as root, for whom permissions are no obstacle: a regular
    // file stands where the folder (or the journal file) should be.
    TempDir dir;
    dir.Write("bloqueio", "a file, not a folder");
    dir.Write("pasta/monitor.log/x", "a folder where the journal file goes");
    for (const std::string& folder : {dir.str() + "bloqueio", dir.str() + "bloqueio/sub", dir.str() + "pasta"}) {
        SCOPED_TRACE(folder);
        EXPECT_NO_THROW(journal::OpenAt(folder));
        EXPECT_EQ(journal::Folder(), "");
        EXPECT_NO_THROW(journal::Write("dropped"));
    }
    EXPECT_EQ(dir.Read("bloqueio"), "a file, not a folder");
}

TEST_F(Journal, AFolderThatGoesAwayWhileOpenDropsLinesQuietly) {
    TempDir dir;
    const fs::path folder = dir.path() / "some";
    journal::detail::OpenAt(folder.string(), 1024);
    journal::Write("first");
    fs::remove_all(folder);
    dir.Write("some", "a file now");   // rotation cannot make its files either
    for (int i = 0; i < 100; ++i) EXPECT_NO_THROW(journal::Write(std::string(100, 'y')));
    EXPECT_NO_THROW(journal::Close());
    EXPECT_EQ(dir.Read("some"), "a file now");
}

TEST_F(Journal, DefaultFolderFollowsXdgStateHomeElseHome) {
    struct Case {
        std::optional<std::string> xdg;
        const char* expected;
    } cases[] = {
        {"/var/estado", "/var/estado/velmoraMonitorMDFe"},
        {std::nullopt, "/home/operador/.local/state/velmoraMonitorMDFe"},
        {"", "/home/operador/.local/state/velmoraMonitorMDFe"},
        {"relativo/estado", "/home/operador/.local/state/velmoraMonitorMDFe"},   // not absolute: ignored
    };
    ScopedEnv home("HOME", "/home/operador");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.xdg.value_or("(unset)"));
        ScopedEnv xdg("XDG_STATE_HOME", c.xdg);
        EXPECT_EQ(journal::DefaultFolder(), c.expected);
    }

    // Open() makes the whole path and writes there.
    TempDir dir;
    {
        ScopedEnv xdg("XDG_STATE_HOME", std::nullopt);
        ScopedEnv realHome("HOME", dir.str() + "casa");
        journal::Open();
        EXPECT_EQ(journal::Folder(), dir.str() + "casa/.local/state/velmoraMonitorMDFe");
    }
    {
        ScopedEnv xdg("XDG_STATE_HOME", dir.str() + "estado");
        journal::Open();   // opening again moves the journal
        EXPECT_EQ(journal::Folder(), dir.str() + "estado/velmoraMonitorMDFe");
        journal::Write("aqui");
    }
    EXPECT_EQ(Lines(dir.path() / "estado/velmoraMonitorMDFe/monitor.log").size(), 1u);
    EXPECT_EQ(Lines(dir.path() / "casa/.local/state/velmoraMonitorMDFe/monitor.log").size(), 0u);
}

}   // namespace
}   // namespace velmora::platform
