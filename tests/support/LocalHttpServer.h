#pragma once
// A small HTTP server on 127.0.0.1 for tests of code that downloads: it listens on a free port
// of the loopback address only, answers each path with a prepared response (404 for any other
// path) and records every request it was asked for. One connection at a time, each closed after
// its response, on a thread of its own that stops with the object.

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace testsupport {

struct HttpResponse {
    int status = 200;
    std::string body;
    std::string contentType = "application/octet-stream";
    // Further header lines, such as {"Location", "/elsewhere"}.
    std::vector<std::pair<std::string, std::string>> headers;
    // Announce this many bytes but send only `body` and close: a transfer cut short.
    std::optional<std::size_t> announcedLength;
    // Read the request and never answer, until the client gives up or the server stops.
    bool hang = false;

    static HttpResponse WithStatus(int status, std::string body = {});
    static HttpResponse Redirect(int status, std::string location);
    static HttpResponse CutShort(std::string body, std::size_t announced);
    static HttpResponse Hang();
};

class LocalHttpServer {
  public:
    // Listens at once; throws std::runtime_error when no socket can be had.
    LocalHttpServer();
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    std::uint16_t port() const { return port_; }
    // "http://127.0.0.1:{port}" + path (which starts with "/").
    std::string Url(std::string_view path) const;

    // Answers `path` (with its query, exactly as requested) from now on.
    void Serve(std::string path, HttpResponse response);
    void Serve(std::string path, std::string body, std::string contentType = "text/plain");

    // The paths requested so far, in order.
    std::vector<std::string> Requests() const;

    // A port on 127.0.0.1 where nothing listens (it was free a moment ago).
    static std::uint16_t ClosedPort();

  private:
    void Run();
    void Handle(int client);
    std::optional<HttpResponse> Find(const std::string& path) const;

    int listener_ = -1;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    std::uint16_t port_ = 0;
    mutable std::mutex mutex_;
    std::map<std::string, HttpResponse> responses_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

}  // namespace testsupport
