#include "tests/support/LocalHttpServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace testsupport {
namespace {

constexpr std::size_t kMaxRequestHead = 64 * 1024;

int ListenOnLoopback(std::uint16_t& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        throw std::runtime_error(std::string("socket: ") + std::strerror(errno));
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 16) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        const int error = errno;
        ::close(fd);
        throw std::runtime_error(std::string("listen on 127.0.0.1: ") + std::strerror(error));
    }
    port = ntohs(address.sin_port);
    return fd;
}

void SendAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t sent = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (sent <= 0) {
            return;  // the client went away; nothing more to tell it
        }
        data.remove_prefix(static_cast<std::size_t>(sent));
    }
}

const char* Reason(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 301:
            return "Moved Permanently";
        case 302:
            return "Found";
        case 404:
            return "Not Found";
        case 500:
            return "Internal Server Error";
        default:
            return "Status";
    }
}

// Waits until the client closes (or the server is stopping).
void WaitForHangUp(int client, int wake) {
    pollfd fds[2] = {{client, POLLIN, 0}, {wake, POLLIN, 0}};
    char buffer[512];
    for (;;) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (fds[1].revents != 0) {
            return;
        }
        if (fds[0].revents != 0 && ::recv(client, buffer, sizeof buffer, 0) <= 0) {
            return;
        }
    }
}

}  // namespace

HttpResponse HttpResponse::WithStatus(int status, std::string body) {
    HttpResponse response;
    response.status = status;
    response.body = std::move(body);
    return response;
}

HttpResponse HttpResponse::Redirect(int status, std::string location) {
    HttpResponse response = WithStatus(status);
    response.headers.emplace_back("Location", std::move(location));
    return response;
}

HttpResponse HttpResponse::CutShort(std::string body, std::size_t announced) {
    HttpResponse response = WithStatus(200, std::move(body));
    response.announcedLength = announced;
    return response;
}

HttpResponse HttpResponse::Hang() {
    HttpResponse response;
    response.hang = true;
    return response;
}

LocalHttpServer::LocalHttpServer() {
    listener_ = ListenOnLoopback(port_);
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        ::close(listener_);
        throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    }
    wakeRead_ = pipeFds[0];
    wakeWrite_ = pipeFds[1];
    thread_ = std::thread([this] { Run(); });
}

LocalHttpServer::~LocalHttpServer() {
    const char stop = 's';
    [[maybe_unused]] const ssize_t written = ::write(wakeWrite_, &stop, 1);
    thread_.join();
    ::close(listener_);
    ::close(wakeRead_);
    ::close(wakeWrite_);
}

std::string LocalHttpServer::Url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

void LocalHttpServer::Serve(std::string path, HttpResponse response) {
    const std::lock_guard lock(mutex_);
    responses_[std::move(path)] = std::move(response);
}

void LocalHttpServer::Serve(std::string path, std::string body, std::string contentType) {
    HttpResponse response;
    response.body = std::move(body);
    response.contentType = std::move(contentType);
    Serve(std::move(path), std::move(response));
}

std::vector<std::string> LocalHttpServer::Requests() const {
    const std::lock_guard lock(mutex_);
    return requests_;
}

std::uint16_t LocalHttpServer::ClosedPort() {
    std::uint16_t port = 0;
    ::close(ListenOnLoopback(port));
    return port;
}

std::optional<HttpResponse> LocalHttpServer::Find(const std::string& path) const {
    const std::lock_guard lock(mutex_);
    const auto found = responses_.find(path);
    if (found == responses_.end()) {
        return std::nullopt;
    }
    return found->second;
}

void LocalHttpServer::Run() {
    pollfd fds[2] = {{listener_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
    for (;;) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (fds[1].revents != 0) {
            return;
        }
        if (fds[0].revents != 0) {
            const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0) {
                Handle(client);
                ::close(client);
            }
        }
    }
}

void LocalHttpServer::Handle(int client) {
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < kMaxRequestHead) {
        const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
        if (got <= 0) {
            return;
        }
        head.append(buffer, static_cast<std::size_t>(got));
    }
    // "GET /path HTTP/1.1"
    const std::size_t firstBlank = head.find(' ');
    const std::size_t secondBlank =
        firstBlank == std::string::npos ? std::string::npos : head.find(' ', firstBlank + 1);
    if (secondBlank == std::string::npos) {
        return;
    }
    const std::string path = head.substr(firstBlank + 1, secondBlank - firstBlank - 1);
    {
        const std::lock_guard lock(mutex_);
        requests_.push_back(path);
    }
    HttpResponse response;
    if (const auto found = Find(path)) {
        response = *found;
    } else {
        response.status = 404;
        response.body = "<HTML><BODY>Not found: " + path + "</BODY></HTML>";
        response.contentType = "text/html";
    }
    if (response.hang) {
        WaitForHangUp(client, wakeRead_);
        return;
    }
    std::string reply = "HTTP/1.1 " + std::to_string(response.status) + " " +
                        Reason(response.status) + "\r\nContent-Type: " + response.contentType +
                        "\r\nContent-Length: " +
                        std::to_string(response.announcedLength.value_or(response.body.size())) +
                        "\r\nConnection: close\r\n";
    for (const auto& [name, value] : response.headers) {
        reply += name + ": " + value + "\r\n";
    }
    reply += "\r\n" + response.body;
    SendAll(client, reply);
}

}  // namespace testsupport
