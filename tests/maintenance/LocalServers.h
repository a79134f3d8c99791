#pragma once
// Real servers on loopback for the download tests: a small HTTP server run
// by a thread of the test, and `openssl s_server` for https.
#include <atomic>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>
#include <sys/types.h>

namespace velmora::test {

struct HttpAnswer {
    int status = 200;
    std::string body;
    std::vector<std::string> headers;   // extra "Name: value" lines
    bool hang = false;                  // accept, read the request, never answer
};

class HttpTestServer {
public:
    using Handler = std::function<HttpAnswer(const std::string& requestLine)>;
    explicit HttpTestServer(Handler handler);
    ~HttpTestServer();
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    std::string Url() const;                     // "http://127.0.0.1:<port>"
    std::vector<std::string> Requests() const;   // request heads seen so far

private:
    void Serve();
    void Answer(int client);
    Handler handler_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

// A loopback port nothing listens on (it was free a moment ago).
int FreePort();

// Runs a program to its end with an argument vector; its exit code.
int RunProgram(const std::vector<std::string>& argv, const std::filesystem::path& folder = {});

// `openssl s_server -WWW` serving the files of `folder` over TLS with a
// self-signed certificate made for the occasion. Stopped when destroyed.
class HttpsTestServer {
public:
    explicit HttpsTestServer(const std::filesystem::path& folder);
    ~HttpsTestServer();
    HttpsTestServer(const HttpsTestServer&) = delete;
    HttpsTestServer& operator=(const HttpsTestServer&) = delete;
    std::string Url() const;   // "https://127.0.0.1:<port>"

private:
    int port_ = 0;
    pid_t pid_ = -1;
};

}   // namespace velmora::test
