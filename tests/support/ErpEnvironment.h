#pragma once
// The surroundings the monitor finds on a workstation: its program folder
// with the ERP's local INI file, the server's data folder with the server
// configuration file and the connection marker, and a running ERP program.
// The monitor is made to believe it runs from the program folder.
#include <string>
#include <sys/types.h>

#include "tests/support/TempDir.h"

namespace velmora::test {

class ErpEnvironment {
public:
    // `databaseLocation` goes into the server configuration file as its path
    // and name (no server part).
    explicit ErpEnvironment(const std::string& databaseLocation = "");
    ~ErpEnvironment();
    ErpEnvironment(const ErpEnvironment&) = delete;
    ErpEnvironment& operator=(const ErpEnvironment&) = delete;

    const TempDir& Dir() const { return dir_; }
    std::string ProgramFolder() const { return dir_.str() + "Sistema/"; }
    std::string Program() const { return ProgramFolder() + "velmoraMonitorMDFe"; }
    std::string DataFolder() const { return dir_.str() + "Dados/"; }
    std::string ServerIni() const { return DataFolder() + "velmoraempresa.ini"; }
    std::string UpdateFolder() const { return dir_.str() + "Update/"; }

    void WriteMarker(const std::string& content) const;
    // Starts a process whose executable is named `name` (a copy of sleep);
    // it is ended by StopErp or at the end.
    void StartErp(const std::string& name = "velmoraEmpresa.exe");
    void StopErp();
    // What the update check needs to find the program current: the updater
    // and a copy of the program with the same last-write time.
    void PrepareCurrentUpdateFolder() const;

private:
    TempDir dir_;
    pid_t erp_ = -1;
};

}   // namespace velmora::test
