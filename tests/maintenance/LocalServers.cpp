#include "tests/maintenance/LocalServers.h"

#include <cerrno>
#include <fcntl.h>
#include <chrono>
#include <stdexcept>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace velmora::test {

namespace {

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    return address;
}

int BoundPort(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("getsockname failed");
    return ntohs(address.sin_port);
}

bool WaitReadable(int fd, int milliseconds) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, milliseconds) > 0;
}

void SendAll(int fd, const std::string& data) {
    size_t sent = 0;
    while (sent < data.size()) {
        ssize_t n = send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<size_t>(n);
    }
}

pid_t Spawn(const std::vector<std::string>& argv, const std::filesystem::path& folder) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) throw std::runtime_error("cannot start " + argv[0]);
    return pid;
}

int Wait(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}   // namespace

HttpTestServer::HttpTestServer(Handler handler) : handler_(std::move(handler)) {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, 8) != 0)
        throw std::runtime_error("cannot listen on loopback");
    port_ = BoundPort(listener_);
    thread_ = std::thread([this] { Serve(); });
}

HttpTestServer::~HttpTestServer() {
    stop_ = true;
    thread_.join();
    close(listener_);
}

std::string HttpTestServer::Url() const { return "http://127.0.0.1:" + std::to_string(port_); }

std::vector<std::string> HttpTestServer::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void HttpTestServer::Serve() {
    while (!stop_) {
        if (!WaitReadable(listener_, 50)) continue;
        int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        Answer(client);
        close(client);
    }
}

void HttpTestServer::Answer(int client) {
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos && !stop_) {
        if (!WaitReadable(client, 50)) continue;
        ssize_t n = recv(client, buffer, sizeof buffer, 0);
        if (n <= 0) return;
        head.append(buffer, static_cast<size_t>(n));
    }
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(head);
    }
    HttpAnswer answer = handler_(head.substr(0, head.find("\r\n")));
    if (answer.hang) {
        // Silent until the client gives up (or the test ends).
        while (!stop_) {
            if (WaitReadable(client, 50) && recv(client, buffer, sizeof buffer, 0) <= 0) return;
        }
        return;
    }
    std::string response = "HTTP/1.1 " + std::to_string(answer.status) + " Test\r\n";
    for (const auto& header : answer.headers) response += header + "\r\n";
    response += "Content-Length: " + std::to_string(answer.body.size()) + "\r\nConnection: close\r\n\r\n";
    SendAll(client, response + answer.body);
}

int FreePort() {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("cannot bind on loopback");
    int port = BoundPort(fd);
    close(fd);
    return port;
}

int RunProgram(const std::vector<std::string>& argv, const std::filesystem::path& folder) {
    return Wait(Spawn(argv, folder));
}

HttpsTestServer::HttpsTestServer(const std::filesystem::path& folder) {
    const auto key = (folder / "key.pem").string();
    const auto certificate = (folder / "cert.pem").string();
    if (RunProgram({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", certificate,
                    "-days", "1", "-subj", "/CN=localhost"}) != 0)
        throw std::runtime_error("openssl could not make a certificate");

    port_ = FreePort();
    pid_ = Spawn({"openssl", "s_server", "-accept", "127.0.0.1:" + std::to_string(port_), "-cert", certificate, "-key",
                  key, "-WWW", "-quiet"},
                 folder);

    // Ready once it accepts a connection.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = Loopback(port_);
        bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        close(fd);
        if (connected) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(pid_, SIGTERM);
    Wait(pid_);
    throw std::runtime_error("openssl s_server did not start");
}

HttpsTestServer::~HttpsTestServer() {
    kill(pid_, SIGTERM);
    Wait(pid_);
}

std::string HttpsTestServer::Url() const { return "https://127.0.0.1:" + std::to_string(port_); }

}   // namespace velmora::test
