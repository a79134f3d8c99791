#pragma once
// A loopback TCP relay in front of the Firebird server. A client that opens
// "localhost/<Port()>:/path" talks to the server through it; Cut() drops
// every relayed connection and stops listening, which the client cannot tell
// from the server going away, and the server itself (shared by every test
// program running at the same time) is never touched.
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>
#include "platform/UniqueFd.h"

namespace velmora::test {

class TcpRelay {
public:
    explicit TcpRelay(int targetPort = 3050);
    ~TcpRelay();
    TcpRelay(const TcpRelay&) = delete;
    TcpRelay& operator=(const TcpRelay&) = delete;

    int Port() const { return port_; }
    void Cut();      // closes every relayed connection, stops listening
    void Resume();   // listens again on the same port

private:
    struct Link {
        platform::UniqueFd client;
        platform::UniqueFd server;
    };
    void Listen();
    void Run();
    void Command(char command);
    void Accept();

    int targetPort_;
    int port_ = 0;
    platform::UniqueFd listener_;
    platform::UniqueFd wakeRead_;
    platform::UniqueFd wakeWrite_;
    std::vector<Link> links_;
    std::mutex mutex_;
    std::condition_variable done_;
    bool commandDone_ = false;
    bool commandFailed_ = false;
    std::thread thread_;
};

}   // namespace velmora::test
