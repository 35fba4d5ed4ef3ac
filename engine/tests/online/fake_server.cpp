#include "fake_server.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

FakeServer::FakeServer(Handler handler) : handler_(std::move(handler)) {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof addr;
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&addr), length) == 0 && ::listen(listener_, 16) == 0 &&
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &length) == 0)
    port_ = ntohs(addr.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

FakeServer::~FakeServer() {
  stop_ = true;
  thread_.join();
  ::close(listener_);
}

std::vector<std::string> FakeServer::requests() {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

FakeServer::Handler FakeServer::Answer(std::string bytes) {
  return [bytes](int fd, const std::string&) { WriteAll(fd, bytes); };
}

FakeServer::Handler FakeServer::Stall(std::string bytes) {
  return [bytes](int fd, const std::string&) {
    if (!WriteAll(fd, bytes)) return;
    // Until the client closes its end (a guard of 10 s in case it never does).
    timeval limit{10, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    char c;
    while (::recv(fd, &c, 1, 0) > 0) {
    }
  };
}

FakeServer::Handler FakeServer::Reset(std::string bytes) {
  return [bytes](int fd, const std::string&) {
    WriteAll(fd, bytes);
    // A zero linger time makes the close that follows a reset.
    linger abort{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
  };
}

std::string FakeServer::Ok(const std::string& body) {
  return "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n" + body;
}

bool FakeServer::WriteAll(int fd, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

void FakeServer::Serve() {
  while (!stop_) {
    pollfd p{listener_, POLLIN, 0};
    if (::poll(&p, 1, 20) <= 0) continue;
    const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    // The client's request is one text line: it ends at the first CR LF.
    std::string request;
    char c;
    for (int waited = 0; request.find("\r\n") == std::string::npos && waited < 100 && !stop_;) {
      pollfd q{fd, POLLIN, 0};
      if (::poll(&q, 1, 20) <= 0) {
        ++waited;
        continue;
      }
      if (::recv(fd, &c, 1, 0) != 1) break;
      request.push_back(c);
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(request);
    }
    handler_(fd, request);
    ::close(fd);
  }
}
