#include "tests/support/ErpEnvironment.h"

#include <csignal>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/Paths.h"
#include "platform/Processes.h"

extern char** environ;

namespace velmora::test {

namespace fs = std::filesystem;

ErpEnvironment::ErpEnvironment(const std::string& databaseLocation) {
    fs::create_directories(ProgramFolder());
    fs::create_directories(DataFolder());
    dir_.Write("Sistema/velmoraMonitorMDFe", "#!/bin/sh\nexit 0\n");
    dir_.Write("Sistema/velmoraempresa.ini", "[IniServidor]\r\nnomearquivo=" + ServerIni() + "\r\n");
    std::string folder = databaseLocation.substr(0, databaseLocation.find_last_of('/') + 1);
    std::string name = databaseLocation.substr(folder.size());
    dir_.Write("Dados/velmoraempresa.ini", "[Database]\r\nServidor=\r\npath=" + folder + "\r\nname=" + name + "\r\n");
    platform::OverrideExecutablePath(Program());
}

ErpEnvironment::~ErpEnvironment() {
    StopErp();
    platform::OverrideExecutablePath("");
}

void ErpEnvironment::WriteMarker(const std::string& content) const { dir_.Write("Dados/Conectado.txt", content); }

void ErpEnvironment::StartErp(const std::string& name) {
    StopErp();
    std::string exe = dir_.str() + "erp/" + name;
    fs::create_directories(dir_.path() / "erp");
    fs::copy_file("/bin/sleep", exe, fs::copy_options::overwrite_existing);
    char* argv[] = {const_cast<char*>(exe.c_str()), const_cast<char*>("600"), nullptr};
    if (posix_spawn(&erp_, exe.c_str(), nullptr, nullptr, argv, environ) != 0) erp_ = -1;
    for (int i = 0; i < 100 && !platform::IsProcessRunning(name); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

void ErpEnvironment::StopErp() {
    if (erp_ <= 0) return;
    kill(erp_, SIGKILL);
    waitpid(erp_, nullptr, 0);
    erp_ = -1;
}

void ErpEnvironment::PrepareCurrentUpdateFolder() const {
    fs::create_directories(UpdateFolder());
    dir_.Write("Update/velmoraAtualizador.exe", "#!/bin/sh\nexit 0\n");
    fs::copy_file(Program(), UpdateFolder() + "velmoraMonitorMDFe", fs::copy_options::overwrite_existing);
    fs::last_write_time(UpdateFolder() + "velmoraMonitorMDFe", fs::last_write_time(Program()));
}

}   // namespace velmora::test
