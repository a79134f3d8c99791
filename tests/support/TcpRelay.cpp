#include "tests/support/TcpRelay.h"
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace velmora::test {

namespace {

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

void Fail(const std::string& what) { throw std::runtime_error("TcpRelay: " + what); }

// Passes what one side sent to the other; false when the link is over.
bool Forward(int from, int to) {
    char buffer[16 * 1024];
    const ssize_t received = recv(from, buffer, sizeof buffer, 0);
    if (received <= 0) return false;
    for (ssize_t sent = 0; sent < received;) {
        const ssize_t n = send(to, buffer + sent, received - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += n;
    }
    return true;
}

}   // namespace

TcpRelay::TcpRelay(int targetPort) : targetPort_(targetPort) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) Fail("pipe");
    wakeRead_ = platform::UniqueFd(pipeEnds[0]);
    wakeWrite_ = platform::UniqueFd(pipeEnds[1]);
    Listen();
    thread_ = std::thread([this] { Run(); });
}

TcpRelay::~TcpRelay() {
    Command('x');
    thread_.join();
}

void TcpRelay::Cut() { Command('c'); }

void TcpRelay::Resume() { Command('r'); }

void TcpRelay::Listen() {
    platform::UniqueFd listener(socket(AF_INET, SOCK_STREAM, 0));
    if (!listener) Fail("socket");
    const int yes = 1;
    setsockopt(listener.Get(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address = Loopback(port_);
    if (bind(listener.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        Fail("bind to port " + std::to_string(port_));
    if (listen(listener.Get(), 8) != 0) Fail("listen");
    socklen_t length = sizeof address;
    getsockname(listener.Get(), reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    listener_ = std::move(listener);
}

void TcpRelay::Command(char command) {
    std::unique_lock lock(mutex_);
    commandDone_ = false;
    if (write(wakeWrite_.Get(), &command, 1) != 1) Fail("wake the relay");
    done_.wait(lock, [this] { return commandDone_; });
    if (commandFailed_) Fail("could not listen on port " + std::to_string(port_) + " again");
}

void TcpRelay::Accept() {
    platform::UniqueFd client(accept(listener_.Get(), nullptr, nullptr));
    if (!client) return;
    platform::UniqueFd server(socket(AF_INET, SOCK_STREAM, 0));
    const sockaddr_in target = Loopback(targetPort_);
    if (!server || connect(server.Get(), reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0)
        return;   // the client sees the connection closed
    links_.push_back({std::move(client), std::move(server)});
}

void TcpRelay::Run() {
    for (;;) {
        std::vector<pollfd> watched{{wakeRead_.Get(), POLLIN, 0}};
        if (listener_) watched.push_back({listener_.Get(), POLLIN, 0});
        const size_t firstLink = watched.size();
        for (const Link& link : links_) {
            watched.push_back({link.client.Get(), POLLIN, 0});
            watched.push_back({link.server.Get(), POLLIN, 0});
        }
        if (poll(watched.data(), watched.size(), -1) < 0) continue;

        // Links first: their positions in `watched` are only valid until
        // the list changes.
        std::vector<Link> alive;
        for (size_t i = 0; i < links_.size(); ++i) {
            const pollfd& client = watched[firstLink + 2 * i];
            const pollfd& server = watched[firstLink + 2 * i + 1];
            bool open = true;
            if (client.revents) open = Forward(links_[i].client.Get(), links_[i].server.Get());
            if (open && server.revents) open = Forward(links_[i].server.Get(), links_[i].client.Get());
            if (open) alive.push_back(std::move(links_[i]));
        }
        links_ = std::move(alive);
        if (listener_ && watched[1].revents) Accept();

        if (watched[0].revents) {
            char command = 0;
            if (read(wakeRead_.Get(), &command, 1) != 1) continue;
            if (command == 'c' || command == 'x') {
                links_.clear();
                listener_.Reset();
            }
            bool failed = false;
            if (command == 'r' && !listener_) {
                try {
                    Listen();
                } catch (const std::runtime_error&) {
                    failed = true;   // reported by Command() on the test's thread
                }
            }
            {
                std::lock_guard lock(mutex_);
                commandDone_ = true;
                commandFailed_ = failed;
            }
            done_.notify_all();
            if (command == 'x') return;
        }
    }
}

}   // namespace velmora::test
