// One monitor per user session: the marker itself, and real processes of the
// program meeting it.
#include <filesystem>
#include <optional>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>
#include "app/SingleInstance.h"
#include "monitor/Monitor.h"
#include "tests/app/QtTestSupport.h"
#include "tests/support/TempDir.h"

namespace velmora::app {
namespace {

namespace fs = std::filesystem;

// Points the runtime folder, for this process and the programs it starts, at
// a private folder, so no real monitor of the user is met or disturbed.
class PrivateRuntimeFolder {
public:
    PrivateRuntimeFolder() : saved_(qgetenv("XDG_RUNTIME_DIR")), had_(qEnvironmentVariableIsSet("XDG_RUNTIME_DIR")) {
        path_ = folder_.path() / "runtime";
        fs::create_directory(path_);
        fs::permissions(path_, fs::perms::owner_all);   // what a runtime folder must be
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(path_.string()));
    }
    ~PrivateRuntimeFolder() {
        if (had_) qputenv("XDG_RUNTIME_DIR", saved_);
        else qunsetenv("XDG_RUNTIME_DIR");
    }
    const test::TempDir& folder() const { return folder_; }

private:
    test::TempDir folder_;
    fs::path path_;
    QByteArray saved_;
    bool had_;
};

TEST(SingleInstance, OnlyOneHolderAtATimeAndTheMarkerIsFreedWithIt) {
    PrivateRuntimeFolder runtime;
    auto first = std::make_unique<SingleInstance>(kTitulo);
    ASSERT_TRUE(first->Acquire());
    EXPECT_TRUE(first->LockFilePath().startsWith(qEnvironmentVariable("XDG_RUNTIME_DIR")));
    EXPECT_TRUE(first->LockFilePath().contains(kTitulo));

    SingleInstance second(kTitulo);
    EXPECT_FALSE(second.Acquire());
    EXPECT_FALSE(second.Acquire());
    // Another title is another program.
    SingleInstance other("outro programa");
    EXPECT_TRUE(other.Acquire());

    first.reset();
    EXPECT_TRUE(second.Acquire());
}

// The program, started the way a user starts it, from a folder of its own
// with no configuration beside it: an instance that gets past the marker
// opens the message that no configuration was found and waits there.
class RealProcesses : public ::testing::Test {
protected:
    void SetUp() override {
        const fs::path built = fs::path(VELMORA_BINARY_DIR) / "velmoraMonitorMDFe";
        if (!fs::exists(built)) GTEST_SKIP() << "build velmoraMonitorMDFe first";
        program_ = runtime_.folder().path() / "programa" / "velmoraMonitorMDFe";
        fs::create_directories(program_.parent_path());
        fs::copy_file(built, program_);
        lockFile_ = SingleInstance::LockFilePathFor(kTitulo);
    }

    std::unique_ptr<QProcess> Start() {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        process->setProcessEnvironment(environment);
        process->setProgram(QString::fromStdString(program_.string()));
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start();
        EXPECT_TRUE(process->waitForStarted(5000));
        return process;
    }

    // The process the marker names, if any.
    std::optional<qint64> Holder() const {
        QFile file(lockFile_);
        if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
        bool ok = false;
        qint64 pid = file.readLine().trimmed().toLongLong(&ok);
        return ok ? std::optional(pid) : std::nullopt;
    }

    bool HoldsTheMarker(const QProcess& process, int timeoutMs = 10000) const {
        return test::WaitUntil([&] { return Holder() == process.processId(); }, timeoutMs);
    }

    PrivateRuntimeFolder runtime_;
    fs::path program_;
    QString lockFile_;
};

TEST_F(RealProcesses, ASecondStartMeetsTheWarningAndLeavesTheFirstAlone) {
    auto first = Start();
    ASSERT_TRUE(HoldsTheMarker(*first));

    auto second = Start();
    // Blocked in its warning box, without taking the marker over.
    EXPECT_FALSE(second->waitForFinished(1500));
    EXPECT_EQ(second->state(), QProcess::Running);
    EXPECT_EQ(Holder(), first->processId());

    second->kill();
    second->waitForFinished(5000);
    EXPECT_EQ(first->state(), QProcess::Running);
    EXPECT_EQ(Holder(), first->processId());
    first->kill();
    first->waitForFinished(5000);
}

TEST_F(RealProcesses, ACrashedMonitorDoesNotKeepTheNextOneOut) {
    auto crashed = Start();
    ASSERT_TRUE(HoldsTheMarker(*crashed));
    crashed->kill();   // no chance to clean up
    crashed->waitForFinished(5000);
    ASSERT_TRUE(QFile::exists(lockFile_));

    auto next = Start();
    EXPECT_TRUE(HoldsTheMarker(*next));
    next->kill();
    next->waitForFinished(5000);
}

}   // namespace
}   // namespace velmora::app
