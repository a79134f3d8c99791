#include "platform/Processes.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/UniqueFd.h"

extern char** environ;

namespace velmora::platform {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

// At most `limit` bytes of a small file such as /proc/N/cmdline; empty when
// it cannot be read (the process may be gone, or belong to someone else).
std::string ReadSmallFile(const std::string& path, size_t limit) {
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) return {};
    std::string content(limit, '\0');
    size_t used = 0;
    while (used < limit) {
        ssize_t got = read(fd.Get(), content.data() + used, limit - used);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        used += static_cast<size_t>(got);
    }
    content.resize(used);
    return content;
}

std::string ReadLink(const std::string& path) {
    char buffer[4096];
    ssize_t length = readlink(path.c_str(), buffer, sizeof buffer);
    if (length <= 0) return {};
    std::string target(buffer, static_cast<size_t>(length));
    // A program file replaced while it runs (an update) still counts.
    constexpr std::string_view deleted = " (deleted)";
    if (target.ends_with(deleted)) target.resize(target.size() - deleted.size());
    return target;
}

bool NameMatches(const std::string& path, const std::string& exeName) {
    return !path.empty() && (EqualsIgnoreCase(FileNameOf(path), exeName) || EqualsIgnoreCase(path, exeName));
}

bool ProcessMatches(const std::string& procEntry, const std::string& exeName) {
    if (NameMatches(ReadLink(procEntry + "/exe"), exeName)) return true;
    // A Windows program under Wine runs as the Wine loader; its first
    // argument carries the Windows path of the program.
    std::string cmdline = ReadSmallFile(procEntry + "/cmdline", 4096);
    std::string argv0 = cmdline.substr(0, cmdline.find('\0'));
    if (NameMatches(argv0, exeName)) return true;
    // The kernel's short name: the first 15 bytes of the program's file name.
    if (exeName.size() <= 15) {
        std::string comm = ReadSmallFile(procEntry + "/comm", 64);
        if (!comm.empty() && comm.back() == '\n') comm.pop_back();
        if (!comm.empty() && EqualsIgnoreCase(comm, exeName)) return true;
    }
    return false;
}

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

// The program as execvp would find it: a name with a "/" is taken as it is,
// a bare name is looked up on PATH. Empty when a bare name is not found.
std::string FindProgram(const std::string& name) {
    if (name.find('/') != std::string::npos) return name;
    const char* env = std::getenv("PATH");
    std::string_view path = env && *env ? env : "/usr/local/bin:/usr/bin:/bin";
    while (true) {
        size_t colon = path.find(':');
        std::string folder(path.substr(0, colon));
        std::string candidate = (folder.empty() ? std::string(".") : folder) + "/" + name;
        if (IsExecutableFile(candidate)) return candidate;
        if (colon == std::string_view::npos) return {};
        path.remove_prefix(colon + 1);
    }
}

bool IsWindowsExecutable(const std::string& nativePath) {
    UniqueFd fd(open(nativePath.c_str(), O_RDONLY | O_CLOEXEC));
    char magic[2] = {};
    return fd && read(fd.Get(), magic, 2) == 2 && magic[0] == 'M' && magic[1] == 'Z';
}

bool ReadExactly(int fd, void* data, size_t size) {
    auto* bytes = static_cast<char*>(data);
    while (size > 0) {
        ssize_t got = read(fd, bytes, size);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        bytes += got;
        size -= static_cast<size_t>(got);
    }
    return true;
}

// Starts args[0] with the argument vector `args` in `folder` (empty: ours),
// detached: an intermediate child starts the program in a session of its own
// and leaves at once, so the program is adopted by init and never becomes
// our zombie, whatever the rest of the program does with SIGCHLD. A
// close-on-exec pipe brings back the program's pid and, if execv fails, its
// errno. Returns the pid, or -1 when the program could not be started.
int Spawn(const std::vector<std::string>& args, const std::string& folder) {
    // Everything the children need is prepared here: between fork and execv
    // only async-signal-safe calls are made.
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const char* workingFolder = folder.empty() ? nullptr : folder.c_str();

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return -1;
    UniqueFd readEnd(fds[0]);
    UniqueFd writeEnd(fds[1]);

    pid_t middle = fork();
    if (middle < 0) return -1;
    if (middle == 0) {
        setsid();
        pid_t child = _Fork();
        if (child < 0) _exit(1);
        if (child == 0) {
            sigset_t none;
            sigemptyset(&none);
            sigprocmask(SIG_SETMASK, &none, nullptr);
            struct sigaction standard {};
            standard.sa_handler = SIG_DFL;
            sigaction(SIGPIPE, &standard, nullptr);
            sigaction(SIGCHLD, &standard, nullptr);
            if (workingFolder) (void)!chdir(workingFolder);
            // Our database sockets and files are none of the program's business.
            close_range(3, ~0u, CLOSE_RANGE_CLOEXEC);
            execv(argv[0], argv.data());
            int error = errno;
            (void)!write(fds[1], &error, sizeof error);
            _exit(127);
        }
        (void)!write(fds[1], &child, sizeof child);
        _exit(0);
    }

    writeEnd.Reset();
    int status = 0;
    while (waitpid(middle, &status, 0) < 0 && errno == EINTR) {}
    pid_t child = -1;
    if (!ReadExactly(readEnd.Get(), &child, sizeof child)) return -1;
    int execError = 0;
    if (ReadExactly(readEnd.Get(), &execError, sizeof execError)) return -1;
    return child;
}

}   // namespace

bool IsProcessRunning(const std::string& exeName) {
    std::unique_ptr<DIR, DirCloser> proc(opendir("/proc"));
    if (!proc) return false;
    while (const dirent* entry = readdir(proc.get())) {
        std::string_view name = entry->d_name;
        if (name.empty() || name.find_first_not_of("0123456789") != std::string_view::npos) continue;
        if (ProcessMatches("/proc/" + std::string(name), exeName)) return true;
    }
    return false;
}

std::vector<std::string> SplitCommandLine(const std::string& parameters) {
    // The rules of the Microsoft C runtime: blanks (space, tab) separate
    // arguments outside quotes; a double quote opens or closes a quoted part
    // and is dropped; inside quotes a doubled quote is one literal quote;
    // backslashes are literal unless a quote follows them, where 2n of them
    // give n and the quote keeps its meaning, and 2n+1 give n and a literal
    // quote.
    std::vector<std::string> args;
    std::string current;
    bool inArgument = false;
    bool quoted = false;
    size_t i = 0;
    while (i < parameters.size()) {
        char c = parameters[i];
        if (!quoted && (c == ' ' || c == '\t')) {
            if (inArgument) args.push_back(std::move(current));
            current.clear();
            inArgument = false;
            ++i;
            continue;
        }
        inArgument = true;
        if (c == '\\') {
            size_t run = parameters.find_first_not_of('\\', i);
            if (run == std::string::npos) run = parameters.size();
            size_t count = run - i;
            if (run < parameters.size() && parameters[run] == '"') {
                current.append(count / 2, '\\');
                if (count % 2 == 1) {
                    current += '"';
                    i = run + 1;
                } else {
                    i = run;   // the quote is handled as a quote
                }
            } else {
                current.append(count, '\\');
                i = run;
            }
            continue;
        }
        if (c == '"') {
            if (quoted && i + 1 < parameters.size() && parameters[i + 1] == '"') {
                current += '"';
                i += 2;
                continue;
            }
            quoted = !quoted;
            ++i;
            continue;
        }
        current += c;
        ++i;
    }
    if (inArgument) args.push_back(std::move(current));
    return args;
}

int StartProgram(const std::string& program, const std::string& parameters, const std::string& workingFolder) {
    std::string resolved = FindProgram(ToNative(program));
    if (resolved.empty()) return -1;

    std::vector<std::string> args;
    if (IsWindowsExecutable(resolved)) {
        if (std::string wine = FindProgram("wine"); !wine.empty()) args.push_back(wine);
    }
    args.push_back(resolved);
    for (std::string& arg : SplitCommandLine(parameters)) args.push_back(std::move(arg));

    // A working folder that does not exist leaves the program in ours, as
    // the Windows shell does.
    std::string folder;
    if (!workingFolder.empty()) {
        folder = ToNative(workingFolder);
        struct stat st {};
        if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) folder.clear();
    }
    return Spawn(args, folder);
}

std::optional<std::string> CaptureProgramOutput(const std::vector<std::string>& arguments) {
    if (arguments.empty()) return std::nullopt;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return std::nullopt;
    UniqueFd readEnd(fds[0]), writeEnd(fds[1]);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.Get(), STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    std::vector<char*> argv;
    for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    writeEnd.Close();   // the child holds the only writer now: EOF comes when it ends
    if (spawned != 0) return std::nullopt;

    std::string output;
    char buffer[4096];
    for (;;) {
        ssize_t got = ::read(readEnd.Get(), buffer, sizeof buffer);
        if (got > 0) output.append(buffer, static_cast<size_t>(got));
        else if (got == 0 || errno != EINTR) break;
    }
    int status = 0;
    pid_t waited;
    do waited = ::waitpid(pid, &status, 0);
    while (waited < 0 && errno == EINTR);
    // With SIGCHLD ignored the child is reaped for us and its status is
    // lost; its output is all there is to judge by then.
    if (waited == pid && !(WIFEXITED(status) && WEXITSTATUS(status) == 0)) return std::nullopt;
    return output;
}

bool OpenWithDefaultApplication(const std::string& path) {
    std::string opener = FindProgram("xdg-open");
    if (opener.empty()) return false;
    return Spawn({opener, ToNative(path)}, "") > 0;
}

std::string ProcessTag() {
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0 || !*host) std::snprintf(host, sizeof host, "host");
    return std::string(host) + "." + std::to_string(getpid());
}

}   // namespace velmora::platform
