// Benchmarks of the monitor's engine on a real embedded ERP database (forced
// writes on, as Firebird creates databases) and real files.
//
//   bench_monitor            runs every benchmark and prints the table
//   bench_monitor --quick    the same with small numbers (a smoke run)
//
// Each benchmark runs in a child process of its own (this program started
// again with an argument vector), so that one benchmark's caches and memory
// do not colour the next one's figures, and the peak resident memory of the
// drain is that of a monitor that only ever drained. Every figure is set
// against a floor measured in the same run on the same machine: a bare loop
// doing the work that cannot be avoided (the same statements, the same file
// moves, the same folder checks), so the ratios hold from machine to machine.
#include <pwd.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "db/Database.h"
#include "monitor/Monitor.h"
#include "processors/Pastas.h"
#include "platform/FileSystem.h"
#include "platform/Locale.h"
#include "platform/Processes.h"
#include "platform/UniqueFd.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestDatabase.h"
#include "tools/transmissor/Documentos.h"

extern char** environ;

namespace velmora::bench {

namespace fs = std::filesystem;
namespace tx = transmissor;

const std::string kCnpj = "12345678000199";
// The masks of the ten processors of a pass, in their order.
const char* const kMascaras[] = {"MDFe*-num-lot.xml*", "*-pro-rec.xml*", "MDFe*-eve.xml*", "*-sit.xml*",
                                 "*-rec.err*",         "*-sit.err*",     "*-pro-rec.err*", "*mdfe.err*",
                                 "*env-loterps.err*",  "*-eve.err*"};
// The folders CriaPastas checks: the company folder, then kinds 1 to 12.
const char* const kSufixos[] = {"",
                                "\\Envio\\",
                                "\\EnvioEmLote\\",
                                "\\Retorno\\",
                                "\\Enviado\\",
                                "\\Erro\\",
                                "\\Validar\\",
                                "\\Validar\\Validado\\",
                                "\\Enviado\\Autorizados\\",
                                "\\Enviado\\Denegados\\",
                                "\\Enviado\\EmProcessamento\\",
                                "\\Retorno\\OK\\"};

// ------------------------------------------------------------------ helpers

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Noise on a shared machine only ever adds time: the fastest of several
// rounds is the figure.
double Fastest(const std::vector<double>& v) { return v.empty() ? 0 : *std::min_element(v.begin(), v.end()); }

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// VmRSS / VmHWM of this process, in kB.
long StatusKb(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field, 0) == 0) return std::strtol(line.c_str() + std::strlen(field) + 1, nullptr, 10);
    return -1;
}

// Lets the next VmHWM reading start from the current resident size.
void ResetPeakRss() {
    std::ofstream out("/proc/self/clear_refs");
    out << "5";
}

// A window that shows nothing and keeps nothing: what the engine costs, not
// what a recording test double costs. A wait takes its time, as the real
// window's does (it answers messages meanwhile, but the pass stands still).
class NullUi : public UserInterface {
public:
    void MessageBox(const std::string&, const std::string&, Icon) override {}
    bool AskYesNo(const std::string&) override { return false; }
    void ProcessMessages() override {}
    void Sleep(std::chrono::milliseconds duration) override { std::this_thread::sleep_for(duration); }
    void SetTimerEnabled(bool on) override { timer_ = on; }
    bool TimerEnabled() const override { return timer_; }
    void ShowFileName(const std::string&) override {}
    void ShowCounters(const Contadores&) override {}
    void ShowVersion(const std::string&) override {}
    void ShowStatus(const std::string&) override {}
    void MostraMensagem(const std::string&, bool, bool) override {}
    void CloseAndQuit() override {}

private:
    bool timer_ = false;
};

// Runs a program with an argument vector and returns what it wrote on its
// standard output; its standard error passes through.
std::string Run(const std::vector<std::string>& args) {
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
    platform::UniqueFd readEnd(fds[0]), writeEnd(fds[1]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.Get(), STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, readEnd.Get());
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) throw std::runtime_error("cannot start " + args[0] + ": " + std::strerror(rc));
    writeEnd.Close();
    std::string out;
    char buffer[4096];
    ssize_t got;
    while ((got = read(readEnd.Get(), buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<size_t>(got));
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(args[0] + " " + (args.size() > 1 ? args[1] : "") + " failed");
    return out;
}

// "key=value" lines of a child's output.
std::map<std::string, std::string> Figures(const std::string& output) {
    std::map<std::string, std::string> figures;
    std::istringstream in(output);
    std::string line;
    while (std::getline(in, line)) {
        size_t eq = line.find('=');
        if (eq != std::string::npos) figures[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return figures;
}

double Number(const std::map<std::string, std::string>& f, const std::string& key) {
    auto it = f.find(key);
    if (it == f.end()) throw std::runtime_error("a benchmark did not report " + key);
    return std::stod(it->second);
}

// ------------------------------------------------------------------ fixtures

std::string Chave(int i) { return tx::ChaveAcesso(kCnpj, i, 10000000 + i); }

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

// A database file in `folder`: the ERP schema, the root folder, `companies`
// emitting companies and `mdfes` MDF-e records of the first one. Forced
// writes are switched on at the end, as the ERP's databases have them.
void Prepare(const std::string& folder, int companies, int mdfes) {
    const std::string path = folder + "ERP.FDB";
    {
        test::TestDatabase scratch;   // builds the schema; copied below
        scratch.Close();
        fs::copy_file(scratch.Path(), path, fs::copy_options::overwrite_existing);
    }
    test::Session session(path);
    auto exec = [&](const std::string& sql) {
        db::Query q(session.connection, "qryPrepara");
        q.SetSQL(sql);
        q.ExecSQL();
    };
    exec("update tab_parametro set NM_CAMINHO_RAIZ_MDFE = " + Quoted(folder + "mdfe/"));
    for (int c = 1; c <= companies; ++c) {
        std::string cnpj = c == 1 ? kCnpj : std::to_string(10000000000000LL + c);
        exec("insert into cad_pessoa (id_pessoa, id_empresa, nm_pessoa, no_cnpj_cpf, st_emitente_mdfe) values (" +
             std::to_string(c) + ", " + std::to_string(c) + ", 'Empresa', " + Quoted(cnpj) + ", 'S')");
    }
    for (int i = 1; i <= mdfes; ++i) {
        exec("insert into mov_mdf (id_mdf, id_empresa, NO_DOC_MDF) values (" + std::to_string(i) + ", 1, " +
             std::to_string(i) + ")");
        exec("insert into mov_mdfe (id_mdf, NO_COD_NUMERICO_MDFE, cd_chave_acesso_mdfe) values (" + std::to_string(i) +
             ", " + std::to_string(10000000 + i) + ", " + Quoted("MDFe" + Chave(i)) + ")");
    }
    session.transaction.Commit();
    session.connection.Disconnect();
    fs::create_directories(folder + "mdfe");
    Run({"gfix", "-write", "sync", "-user", test::kDbUser, "-password", test::kDbPassword, path});
}

// The same database for another run, with an exchange tree of its own.
void CopyDatabase(const std::string& from, const std::string& to) {
    fs::copy_file(from + "ERP.FDB", to + "ERP.FDB");
    fs::create_directories(to + "mdfe");
    test::Session session(to + "ERP.FDB");
    db::Query q(session.connection, "qryRaiz");
    q.SetSQL("update tab_parametro set NM_CAMINHO_RAIZ_MDFE = " + Quoted(to + "mdfe/"));
    q.ExecSQL();
    session.transaction.Commit();
    session.connection.Disconnect();
}

// A server running as its own user opens the file only when it may write it.
void HandToServerUser(const std::string& path) {
    const passwd* user = getpwnam("firebird");
    if (!user || chown(path.c_str(), user->pw_uid, user->pw_gid) != 0 || chmod(path.c_str(), 0660) != 0)
        throw std::runtime_error("cannot hand " + path + " to the server's user");
}

// The printing tool the monitor starts for every authorised MDF-e, at its
// fixed Windows path, and its working folder.
const char* const kImpressor = "c:\\unimake\\uninfe\\unidanfe.exe";
const char* const kPastaImpressor = "c:\\unimake\\unidanfe";

// A receipt number and a protocol of its own for result i.
std::string Recibo(int i) { return std::to_string(419000000000000LL + i); }
std::string Protocolo(int i) { return std::to_string(941260000000000LL + i); }

// The month folder of the authorised documents (yyyymm, today).
std::string AnoMes() {
    const auto hoje = platform::Now();
    char texto[16];
    std::snprintf(texto, sizeof texto, "%04d%02d", hoje.year, hoje.month);
    return texto;
}

// A Wine prefix in `folder` whose drive C holds a printing tool that ends at
// once: a shell script, so it is started directly (no wine), detached, as
// the real tool would be through wine.
void PreparaImpressor(const std::string& folder) {
    const fs::path prefixo = fs::path(folder) / "wine";
    fs::create_directories(prefixo / "dosdevices");
    fs::create_directories(prefixo / "drive_c/unimake/uninfe");
    fs::create_directories(prefixo / "drive_c/unimake/unidanfe");
    fs::create_directory_symlink(prefixo / "drive_c", prefixo / "dosdevices/c:");
    const fs::path programa = prefixo / "drive_c/unimake/uninfe/unidanfe.exe";
    std::ofstream(programa) << "#!/bin/sh\nexit 0\n";
    fs::permissions(programa, fs::perms::owner_all);
}

// The monitor of a benchmark: connected, root and company set as a cycle
// sets them.
struct Bancada {
    explicit Bancada(const std::string& folder, const std::string& server = "")
        : raiz(folder + "mdfe/"), local((server.empty() ? "" : server + ":") + folder + "ERP.FDB"), m(ui) {
        m.ConectaBanco(local);
        CriaPastas(raiz, kCnpj);
    }
    std::string Retorno() const { return MontaCaminho(3, raiz, kCnpj); }
    std::string Ok() const { return MontaCaminho(12, raiz, kCnpj); }

    // N closing results, records present, in the return folder.
    void Drop(int n) const {
        for (int i = 1; i <= n; ++i) {
            tx::Evento e;
            e.chMDFe = Chave(i);
            std::ofstream(Nativo(Retorno() + tx::NomeEvento(e.chMDFe)), std::ios::binary) << tx::RetEventoMDFe(e);
        }
    }
    // N processing results (lot processed, MDF-e authorised), records
    // present. With `idade` their last write is set back that far: a
    // backlog the transmitter wrote while nobody was there.
    void DropProcessamento(int n, std::chrono::seconds idade) const {
        const auto escrito = fs::file_time_type::clock::now() - idade;
        for (int i = 1; i <= n; ++i) {
            tx::Processamento p;
            p.chMDFe = Chave(i);
            p.nRec = Recibo(i);
            p.nProt = Protocolo(i);
            const std::string caminho = Nativo(Retorno() + tx::NomeProcessamento(p.nRec));
            std::ofstream(caminho, std::ios::binary) << tx::RetornoProcessamento(p);
            fs::last_write_time(caminho, escrito);
        }
    }
    // The authorised documents of the N MDF-e, where the printing step
    // looks for them (this month's folder).
    void DropAutorizados(int n) const {
        const std::string pasta = Nativo(MontaCaminho(9, raiz, kCnpj) + AnoMes() + "\\");
        fs::create_directories(pasta);
        for (int i = 1; i <= n; ++i)
            std::ofstream(pasta + tx::NomeProcMDFe(Chave(i)), std::ios::binary) << tx::ProcMDFe(Chave(i), Protocolo(i));
    }
    void EmptyOk() const {
        for (const auto& entry : fs::directory_iterator(Nativo(Ok()))) fs::remove(entry.path());
    }
    static std::string Nativo(std::string p) {
        std::replace(p.begin(), p.end(), '\\', '/');
        return p;
    }

    // One company pass over the return folder.
    double Pass() {
        auto start = std::chrono::steady_clock::now();
        m.ProcessaPastaRetorno(raiz, kCnpj);
        return Seconds(std::chrono::steady_clock::now() - start);
    }

    // The floor of a drain: per file the look-up, the update and its
    // " commit retain" the event processor runs, through a session set up
    // as the monitor's, and the same move.
    double Floor(int n) {
        test::Session sessao(local);
        db::Query pesquisa(sessao.connection, "qryPesquisa", &sessao.transaction);
        db::Query update(sessao.connection, "qryUpdate", &sessao.transaction);
        auto start = std::chrono::steady_clock::now();
        for (int i = 1; i <= n; ++i) {
            const std::string chave = Chave(i);
            pesquisa.Close();
            pesquisa.SetSQL(" select mm.id_mdf, md.cd_chave_acesso_mdfe from mov_mdf mm inner join mov_mdfe md on "
                            "(mm.id_mdf = md.id_mdf) where md.cd_chave_acesso_mdfe = 'MDFe" +
                            chave + "'");
            pesquisa.Open();
            const int32_t id = pesquisa.FieldByName("id_mdf").AsInteger();
            update.Close();
            update.SetSQL(" update mov_mdfe set NO_PROTOCOLO_ENC_MDFE = 941260000000060, DH_PROCESSA_ENC_MDFE = "
                          "'10.12.2026 11:00:05', CD_ST_ENC_MDFE = 135 where id_mdf = " +
                          std::to_string(id));
            update.ExecSQL();
            update.Close();
            update.SetSQL(" commit retain");
            update.ExecSQL();
            const std::string nome = tx::NomeEvento(chave);
            platform::MoveFileReplace(Retorno() + nome, Ok() + nome);
        }
        return Seconds(std::chrono::steady_clock::now() - start);
    }

    // The floor of a drain of processing results: per file what the
    // processing result and its printing cannot do without, in the order
    // the monitor does it, through a session set up as the monitor's: the
    // look-up, the protocol update and its " commit retain", the move, the
    // printing step's select, the check that the authorised document is
    // there, and the start of the printing tool.
    double FloorProcessamento(int n) {
        test::Session sessao(local);
        db::Query pesquisa(sessao.connection, "qryPesquisa", &sessao.transaction);
        db::Query update(sessao.connection, "qryUpdate", &sessao.transaction);
        const std::string anoMes = AnoMes();
        const std::string autorizados = MontaCaminho(9, raiz, kCnpj);
        int iniciados = 0;
        auto start = std::chrono::steady_clock::now();
        for (int i = 1; i <= n; ++i) {
            const std::string nome = tx::NomeProcessamento(Recibo(i));
            pesquisa.Close();
            pesquisa.SetSQL(" select mm.id_mdf, md.cd_chave_acesso_mdfe from mov_mdf mm inner join mov_mdfe md on "
                            "(mm.id_mdf = md.id_mdf) where md.cd_chave_acesso_mdfe = 'MDFe" +
                            Chave(i) + "'");
            pesquisa.Open();
            const int32_t id = pesquisa.FieldByName("id_mdf").AsInteger();
            update.Close();
            update.SetSQL(
                " update mov_mdfe set cd_st_lote_mdfe = 104, NO_PROTOCOLO_MDFE = " + Protocolo(i) +
                ", DH_PROCESSA_MDFE = '10.12.2026 10:16:00', CD_ST_MDFE = 100 where id_mdf = " + std::to_string(id));
            update.ExecSQL();
            update.Close();
            update.SetSQL(" commit retain");
            update.ExecSQL();
            platform::MoveFileReplace(Retorno() + nome, Ok() + nome);

            pesquisa.Close();
            pesquisa.SetSQL(" select mm.id_mdf, emp.no_cnpj_cpf, md.cd_chave_acesso_mdfe from mov_mdf mm inner join "
                            "mov_mdfe md on (mm.id_mdf = md.id_mdf) inner join cad_pessoa emp on (emp.id_pessoa = "
                            "mm.id_empresa) where mm.id_mdf = " +
                            std::to_string(id));
            pesquisa.Open();
            const std::string chave = pesquisa.FieldByName("cd_chave_acesso_mdfe").AsString();
            const std::string cnpj = pesquisa.FieldByName("no_cnpj_cpf").AsString();
            const std::string arquivo = autorizados + anoMes + "\\" + chave + "-procMDFe.xml";
            if (!platform::FileExists(arquivo)) throw std::runtime_error(arquivo + " is missing");
            const std::string parametros =
                " ARQUIVO=\"" + arquivo + "\" COPIAS=1 SAIDAERROS=A CONFIGURACAO=\"" + cnpj + "\"";
            if (platform::StartProgram(kImpressor, parametros, kPastaImpressor) > 0) ++iniciados;
        }
        double t = Seconds(std::chrono::steady_clock::now() - start);
        if (iniciados != n) throw std::runtime_error("the printing tool did not start for every file");
        return t;
    }

    std::string raiz;
    std::string local;
    NullUi ui;
    Monitor m;
};

// ------------------------------------------------------------------ children

// Drain of N files, `rounds` times, monitor and floor taking turns in
// alternating order so that neither always meets a warmer disk or a longer
// chain of record versions.
int Drain(const std::string& folder, int n, int rounds) {
    Bancada b(folder);
    std::vector<double> monitor, floor, monitorCpu, floorCpu;
    // A round of each first, not counted: the first drain writes every
    // record for the first time, the later ones rewrite them.
    for (int warm = 0; warm < 2; ++warm) {
        b.Drop(n);
        warm == 0 ? b.Pass() : b.Floor(n);
        b.EmptyOk();
    }
    for (int r = 0; r < rounds; ++r) {
        for (int turn = 0; turn < 2; ++turn) {
            bool monitorTurn = (turn == 0) == (r % 2 == 0);
            b.Drop(n);
            double cpu = ProcessCpuSeconds();
            double t = monitorTurn ? b.Pass() : b.Floor(n);
            cpu = ProcessCpuSeconds() - cpu;
            if (!platform::ListFiles(b.Retorno(), "*").empty()) throw std::runtime_error("the drain left files behind");
            if (platform::ListFiles(b.Ok(), "*").size() != static_cast<size_t>(n))
                throw std::runtime_error("the drain did not file every result");
            b.EmptyOk();
            (monitorTurn ? monitor : floor).push_back(t);
            (monitorTurn ? monitorCpu : floorCpu).push_back(cpu);
            if (std::getenv("VELMORA_BENCH_VERBOSE"))
                std::fprintf(stderr, "round %d %s %.4f s (CPU %.4f s)\n", r, monitorTurn ? "monitor" : "floor", t, cpu);
        }
    }
    std::printf("monitor_s=%.4f\nfloor_s=%.4f\nmonitor_cpu_s=%.4f\nfloor_cpu_s=%.4f\n", Fastest(monitor),
                Fastest(floor), Fastest(monitorCpu), Fastest(floorCpu));
    return 0;
}

// One drain of N files by a monitor that was idle before: its time, and the
// peak resident memory over the idle program's. With `floor` the drain is
// the bare loop instead, so the database engine's share of the growth (its
// page cache and lock table, in this process with an embedded engine) can be
// told from the monitor's own.
int Backlog(const std::string& folder, int n, bool floor, const std::string& server) {
    Bancada b(folder, server);
    b.Pass();   // an idle pass: the program as it stands between ticks
    b.Drop(n);
    ResetPeakRss();
    long idle = StatusKb("VmRSS:");
    double cpu = ProcessCpuSeconds();
    double t = floor ? b.Floor(n) : b.Pass();
    cpu = ProcessCpuSeconds() - cpu;
    long peak = StatusKb("VmHWM:");
    if (platform::ListFiles(b.Ok(), "*").size() != static_cast<size_t>(n))
        throw std::runtime_error("the drain did not file every result");
    std::printf("drain_s=%.4f\ncpu_s=%.4f\nidle_kb=%ld\npeak_kb=%ld\n", t, cpu, idle, peak);
    return 0;
}

// `ticks` cycles over the emitting companies, whose return folders are
// empty, against the floor: the same folder checks and listings.
int Idle(const std::string& folder, int ticks) {
    Bancada b(folder);
    b.m.ProcessaEmpresas();   // makes the trees; not measured
    std::vector<std::string> cnpjs;
    for (const auto& entry : fs::directory_iterator(folder + "mdfe")) cnpjs.push_back(entry.path().filename());
    std::sort(cnpjs.begin(), cnpjs.end());

    std::vector<double> cycle, cycleCpu, floor;
    for (int k = 0; k < ticks; ++k) {
        double cpu = ProcessCpuSeconds();
        auto start = std::chrono::steady_clock::now();
        b.m.ProcessaEmpresas();
        cycle.push_back(Seconds(std::chrono::steady_clock::now() - start));
        cycleCpu.push_back(ProcessCpuSeconds() - cpu);

        start = std::chrono::steady_clock::now();
        size_t listed = 0;
        for (const auto& cnpj : cnpjs) {
            for (const char* sufixo : kSufixos) {
                std::string pasta = b.raiz + cnpj + sufixo;
                if (!platform::FolderExists(pasta)) platform::CreateFolder(pasta);
            }
            for (const char* mascara : kMascaras)
                listed += platform::ListFiles(b.raiz + cnpj + "\\Retorno\\", mascara).size();
        }
        floor.push_back(Seconds(std::chrono::steady_clock::now() - start));
        if (listed != 0) throw std::runtime_error("the return folders are not empty");
    }
    std::printf("companies=%zu\ncycle_s=%.6f\ncycle_cpu_s=%.6f\nfloor_s=%.6f\n", cnpjs.size(), Median(cycle),
                Median(cycleCpu), Median(floor));
    return 0;
}

// Drain of N processing results of authorised MDF-e (each printed), aged
// `idade` seconds, `rounds` times, monitor and floor taking turns as in
// Drain. Every round gets its files written (and aged) anew.
int Processing(const std::string& folder, int n, int rounds, int idade) {
    PreparaImpressor(folder);
    test::ScopedEnv prefixo("WINEPREFIX", folder + "wine");
    Bancada b(folder);
    b.DropAutorizados(n);
    std::vector<double> monitor, floor, monitorCpu, floorCpu;
    auto round = [&](bool monitorTurn) {
        b.DropProcessamento(n, std::chrono::seconds(idade));
        const int32_t autorizadas = b.m.contadores().iMDFeAutorizada;
        double cpu = ProcessCpuSeconds();
        double t = monitorTurn ? b.Pass() : b.FloorProcessamento(n);
        cpu = ProcessCpuSeconds() - cpu;
        if (!platform::ListFiles(b.Retorno(), "*").empty()) throw std::runtime_error("the drain left files behind");
        if (platform::ListFiles(b.Ok(), "*").size() != static_cast<size_t>(n))
            throw std::runtime_error("the drain did not file every result");
        b.EmptyOk();
        if (b.m.contadores().iMDFeAutorizada - autorizadas != (monitorTurn ? n : 0))
            throw std::runtime_error("the monitor did not count every authorisation");
        return std::make_pair(t, cpu);
    };
    round(true);   // not counted: the first drain writes every record for the first time
    round(false);
    for (int r = 0; r < rounds; ++r) {
        for (int turn = 0; turn < 2; ++turn) {
            bool monitorTurn = (turn == 0) == (r % 2 == 0);
            auto [t, cpu] = round(monitorTurn);
            (monitorTurn ? monitor : floor).push_back(t);
            (monitorTurn ? monitorCpu : floorCpu).push_back(cpu);
            if (std::getenv("VELMORA_BENCH_VERBOSE"))
                std::fprintf(stderr, "processing round %d %s %.4f s (CPU %.4f s)\n", r,
                             monitorTurn ? "monitor" : "floor", t, cpu);
        }
    }
    std::printf("monitor_s=%.4f\nfloor_s=%.4f\nmonitor_cpu_s=%.4f\nfloor_cpu_s=%.4f\n", Fastest(monitor),
                Fastest(floor), Fastest(monitorCpu), Fastest(floorCpu));
    return 0;
}

// ------------------------------------------------------------------ driver

std::string Machine() {
    std::string cpu = "?";
    std::ifstream info("/proc/cpuinfo");
    for (std::string line; std::getline(info, line);)
        if (line.rfind("model name", 0) == 0) {
            cpu = line.substr(line.find(':') + 2);
            break;
        }
    utsname u{};
    uname(&u);
    struct statfs tmp {};
    statfs(fs::temp_directory_path().c_str(), &tmp);
    char text[512];
    std::snprintf(text, sizeof text, "%s, %ld cores, %ld MB RAM, %s %s, temp folder on fs type 0x%lx", cpu.c_str(),
                  sysconf(_SC_NPROCESSORS_ONLN),
                  static_cast<long>(sysconf(_SC_PHYS_PAGES) / 1024 * sysconf(_SC_PAGE_SIZE) / 1024), u.sysname,
                  u.release, static_cast<unsigned long>(tmp.f_type));
    return text;
}

int Driver(const std::string& self, bool quick) {
    const int small = quick ? 100 : 1000;
    const int processing = quick ? 100 : 500;
    const int large = quick ? 1000 : 10000;
    const int rounds = quick ? 1 : 7;
    const int companies = quick ? 20 : 200;
    const int ticks = quick ? 3 : 15;

    std::printf("Machine: %s\n\n", Machine().c_str());
    std::fflush(stdout);

    test::TempDir work;
    auto sub = [&](const std::string& name) {
        fs::create_directories(work.path() / name);
        return (work.path() / name).string() + "/";
    };
    const std::string dSmall = sub("small"), dLarge = sub("large"), dIdle = sub("idle"), dProc = sub("processing");
    Run({self, "prepare", dSmall, "1", std::to_string(small)});
    Run({self, "prepare", dLarge, "1", std::to_string(large)});
    int copies = 0;
    // Every drain below but the first starts from a fresh copy of its
    // database, as an idle monitor meets a backlog.
    auto fresh = [&](const std::string& from) {
        const std::string to = sub("copy" + std::to_string(++copies));
        CopyDatabase(from, to);
        return to;
    };
    auto drain = Figures(Run({self, "drain", fresh(dSmall), std::to_string(small), std::to_string(rounds)}));
    // Backlog growth: first drains of a fresh backlog, the fastest of a few.
    std::vector<double> firstSmall, firstLarge;
    for (int i = 0; i < 3; ++i)
        firstSmall.push_back(Number(Figures(Run({self, "backlog", fresh(dSmall), std::to_string(small)})), "drain_s"));
    std::map<std::string, std::string> backlog;
    for (int i = 0; i < (quick ? 1 : 2); ++i) {
        auto figures = Figures(Run({self, "backlog", fresh(dLarge), std::to_string(large)}));
        firstLarge.push_back(Number(figures, "drain_s"));
        if (backlog.empty() || Number(figures, "peak_kb") - Number(figures, "idle_kb") >
                                   Number(backlog, "peak_kb") - Number(backlog, "idle_kb"))
            backlog = figures;   // the larger growth of the two counts
    }
    auto backlogFloor = Figures(Run({self, "backlog", fresh(dLarge), std::to_string(large), "floor"}));
    // The ERP's usual setting, the database on a server: the engine's cache
    // is then the server's, and what grows here is the monitor's own.
    std::map<std::string, std::string> backlogServer;
    if (const char* server = std::getenv("VELMORA_FB_SERVER")) {
        const std::string copy = fresh(dLarge);
        HandToServerUser(copy + "ERP.FDB");
        backlogServer = Figures(Run({self, "backlog", copy, std::to_string(large), "server", server}));
    }
    Run({self, "prepare", dIdle, std::to_string(companies), "0"});
    auto idle = Figures(Run({self, "idle", dIdle, std::to_string(ticks)}));
    // A backlog of authorisations, written two minutes before the monitor
    // meets it (the files of a weekend, or of a monitor that was closed).
    Run({self, "prepare", dProc, "1", std::to_string(processing)});
    auto proc = Figures(Run({self, "processing", dProc, std::to_string(processing), std::to_string(rounds), "120"}));

    const double tSmall = Number(drain, "monitor_s"), fSmall = Number(drain, "floor_s");
    const double tFirstSmall = Fastest(firstSmall), tLarge = Fastest(firstLarge);
    const double growthMb = (Number(backlog, "peak_kb") - Number(backlog, "idle_kb")) / 1024.0;
    const double floorGrowthMb = (Number(backlogFloor, "peak_kb") - Number(backlogFloor, "idle_kb")) / 1024.0;
    const double tick = Number(idle, "cycle_s"), tickFloor = Number(idle, "floor_s");

    auto verdict = [](bool ok) { return ok ? "met" : "MISSED"; };
    std::printf("| # | Benchmark | Measured | Floor / reference | Ratio | Target | |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    std::printf("| 1 | Drain, %d closing results, one pass | %.2f s (%.2f ms/file, CPU %.2f s) | %.2f s bare "
                "statements + moves (CPU %.2f s) | %.3f (CPU %.3f) | <= 1.25 | %s |\n",
                small, tSmall, tSmall * 1000 / small, Number(drain, "monitor_cpu_s"), fSmall,
                Number(drain, "floor_cpu_s"), tSmall / fSmall,
                Number(drain, "monitor_cpu_s") / Number(drain, "floor_cpu_s"), verdict(tSmall / fSmall <= 1.25));
    std::printf("| 2 | Backlog growth, first drain of %d | %.2f s (%.2f ms/file, CPU %.2f s) | first drain of %d: "
                "%.2f s | %.2f | <= 11 | %s |\n",
                large, tLarge, tLarge * 1000 / large, Number(backlog, "cpu_s"), small, tFirstSmall,
                tLarge / tFirstSmall, verdict(tLarge / tFirstSmall <= 11));
    std::printf("| 3 | Idle tick, %s companies, empty return folders | %.2f ms (CPU %.2f ms) | %.2f ms bare checks + "
                "listings | %.3f | <= 1.5 | %s |\n",
                idle["companies"].c_str(), tick * 1000, Number(idle, "cycle_cpu_s") * 1000, tickFloor * 1000,
                tick / tickFloor, verdict(tick / tickFloor <= 1.5));
    std::printf("| 4 | Peak RSS, drain of %d over the idle program | +%.2f MB (idle %.1f MB, peak %.1f MB) | bare "
                "statements + moves: +%.2f MB (the embedded engine's cache) | monitor's own +%.2f MB | < 5 MB | %s |\n",
                large, growthMb, Number(backlog, "idle_kb") / 1024, Number(backlog, "peak_kb") / 1024, floorGrowthMb,
                growthMb - floorGrowthMb, verdict(growthMb < 5));
    if (!backlogServer.empty()) {
        const double serverGrowthMb = (Number(backlogServer, "peak_kb") - Number(backlogServer, "idle_kb")) / 1024.0;
        std::printf("| 4b | The same with the database on the loopback server | +%.2f MB (idle %.1f MB, peak %.1f MB; "
                    "drain %.2f s) | | | < 5 MB | %s |\n",
                    serverGrowthMb, Number(backlogServer, "idle_kb") / 1024, Number(backlogServer, "peak_kb") / 1024,
                    Number(backlogServer, "drain_s"), verdict(serverGrowthMb < 5));
    }
    const double tProc = Number(proc, "monitor_s"), fProc = Number(proc, "floor_s");
    std::printf(
        "| 5 | Drain, %d processing results (authorised, printed), written 2 min before | %.2f s (%.2f ms/file, "
        "CPU %.2f s) | %.2f s bare statements + moves + tool starts (CPU %.2f s) | %.3f (CPU %.3f) | <= 1.5 "
        "| %s |\n",
        processing, tProc, tProc * 1000 / processing, Number(proc, "monitor_cpu_s"), fProc, Number(proc, "floor_cpu_s"),
        tProc / fProc, Number(proc, "monitor_cpu_s") / Number(proc, "floor_cpu_s"), verdict(tProc / fProc <= 1.5));
    return 0;
}

}   // namespace velmora::bench

int main(int argc, char** argv) {
    using namespace velmora::bench;
    try {
        std::vector<std::string> a(argv, argv + argc);
        if (argc == 1 || (argc == 2 && a[1] == "--quick")) return Driver(a[0], argc == 2);
        if (a[1] == "prepare" && argc == 5) {
            Prepare(a[2], std::stoi(a[3]), std::stoi(a[4]));
            return 0;
        }
        if (a[1] == "drain" && argc == 5) return Drain(a[2], std::stoi(a[3]), std::stoi(a[4]));
        if (a[1] == "backlog" && argc == 4) return Backlog(a[2], std::stoi(a[3]), false, "");
        if (a[1] == "backlog" && argc == 5 && a[4] == "floor") return Backlog(a[2], std::stoi(a[3]), true, "");
        if (a[1] == "backlog" && argc == 6 && a[4] == "server") return Backlog(a[2], std::stoi(a[3]), false, a[5]);
        if (a[1] == "idle" && argc == 4) return Idle(a[2], std::stoi(a[3]));
        if (a[1] == "processing" && argc == 6)
            return Processing(a[2], std::stoi(a[3]), std::stoi(a[4]), std::stoi(a[5]));
        std::fprintf(stderr, "usage: %s [--quick]\n", argv[0]);
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
        return 1;
    }
}
