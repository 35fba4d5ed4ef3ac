// The score server's HTTP side over cpp-httplib.
#include "server/http_front.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <httplib.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "server/score_service.h"

namespace {

constexpr int ConnectionLimitMs = 10000;  // one connection as a whole: no client holds a worker longer
constexpr int ReadLimitMs = 5000;         // each wait for the client's next bytes
constexpr int DrainLimitMs = 2000;        // waiting for the client to close after the reply
constexpr size_t WorkerThreads = 24;      // connections served at once

int64_t SteadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Waits until the socket is ready for events or the time is up.
bool WaitFor(int fd, short events, int64_t deadline) {
  for (;;) {
    const int64_t left = deadline - SteadyMs();
    if (left <= 0) return false;
    pollfd p{fd, events, 0};
    const int r = ::poll(&p, 1, static_cast<int>(std::min<int64_t>(left, 1000)));
    if (r > 0) return true;
    if (r < 0 && errno != EINTR) return false;
  }
}

// "ip", port of a socket address.
void AddressText(const sockaddr_storage& addr, std::string& ip, int& port) {
  char text[INET6_ADDRSTRLEN] = "";
  if (addr.ss_family == AF_INET) {
    const auto& a = reinterpret_cast<const sockaddr_in&>(addr);
    ::inet_ntop(AF_INET, &a.sin_addr, text, sizeof text);
    port = ntohs(a.sin_port);
  } else if (addr.ss_family == AF_INET6) {
    const auto& a = reinterpret_cast<const sockaddr_in6&>(addr);
    ::inet_ntop(AF_INET6, &a.sin6_addr, text, sizeof text);
    port = ntohs(a.sin6_port);
  }
  ip = text;
}

// What the front's two streams share: the request read through a RequestReader, and whether any
// reply bytes went out.
class FrontStream : public httplib::Stream {
 public:
  bool TooLarge() const { return reader_.TooLarge(); }
  bool Wrote() const { return wrote_; }

 protected:
  RequestReader reader_;
  bool wrote_ = false;
};

// One connection as the library reads and writes it, with a time limit for the whole connection
// and for each wait.
class RequestStream : public FrontStream {
 public:
  explicit RequestStream(int fd) : fd_(fd), deadline_(SteadyMs() + ConnectionLimitMs) {
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
  }

  bool is_readable() const override { return reader_.Waiting() || WaitFor(fd_, POLLIN, ReadDeadline()); }
  bool is_writable() const override { return WaitFor(fd_, POLLOUT, ReadDeadline()); }

  ssize_t read(char* ptr, size_t size) override {
    while (!reader_.Waiting()) {
      if (!WaitFor(fd_, POLLIN, ReadDeadline())) return -1;
      char buffer[4096];
      const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) continue;
      if (n <= 0) return n;
      if (!reader_.Take(std::string_view(buffer, static_cast<size_t>(n)))) return -1;
    }
    return static_cast<ssize_t>(reader_.Read(ptr, size));
  }

  ssize_t write(const char* ptr, size_t size) override {
    size_t sent = 0;
    while (sent < size) {
      const ssize_t n = ::send(fd_, ptr + sent, size - sent, MSG_NOSIGNAL);
      if (n > 0) {
        sent += static_cast<size_t>(n);
        wrote_ = true;
      } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
        if (!WaitFor(fd_, POLLOUT, ReadDeadline())) return -1;
      } else {
        return -1;
      }
    }
    return static_cast<ssize_t>(size);
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    sockaddr_storage addr{};
    socklen_t length = sizeof addr;
    if (::getpeername(fd_, reinterpret_cast<sockaddr*>(&addr), &length) == 0) AddressText(addr, ip, port);
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    sockaddr_storage addr{};
    socklen_t length = sizeof addr;
    if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &length) == 0) AddressText(addr, ip, port);
  }
  socket_t socket() const override { return fd_; }

 private:
  int64_t ReadDeadline() const { return std::min(deadline_, SteadyMs() + ReadLimitMs); }

  int fd_;
  int64_t deadline_;
};

// A connection whose bytes are given in advance, in the pieces they arrive in; what the front
// writes back is kept.
class MemoryStream : public FrontStream {
 public:
  explicit MemoryStream(const std::vector<std::string>& pieces) : pieces_(pieces) {}

  const std::string& Sent() const { return sent_; }

  bool is_readable() const override { return reader_.Waiting() || next_ < pieces_.size(); }
  bool is_writable() const override { return true; }

  ssize_t read(char* ptr, size_t size) override {
    while (!reader_.Waiting()) {
      if (next_ >= pieces_.size()) return 0;  // the client closed its side
      if (!reader_.Take(pieces_[next_++])) return -1;
    }
    return static_cast<ssize_t>(reader_.Read(ptr, size));
  }

  ssize_t write(const char* ptr, size_t size) override {
    sent_.append(ptr, size);
    wrote_ = wrote_ || size > 0;
    return static_cast<ssize_t>(size);
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    ip = "127.0.0.1";
    port = 0;
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    ip = "127.0.0.1";
    port = 0;
  }
  socket_t socket() const override { return INVALID_SOCKET; }

 private:
  const std::vector<std::string>& pieces_;
  size_t next_ = 0;
  std::string sent_;
};

// The library's server with each connection read through a RequestStream, one request per
// connection (HTTP/1.0).
class LineTolerantServer : public httplib::Server {
 public:
  // Reads and answers the one request of a connection; a request refused as too large before any
  // reply went out is answered with 413.
  bool Serve(FrontStream& stream) {
    bool closed = false;
    const bool ok = process_request(stream, true, closed, [](httplib::Request&) {});
    if (stream.TooLarge() && !stream.Wrote()) {
      const std::string refusal =
          "HTTP/1.0 413 Request Entity Too Large\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n"
          "REFUSED: request too large";
      stream.write(refusal.data(), refusal.size());
    }
    return ok;
  }

  // The library listens with a queue of 5 connections; more clients at once would wait for a SYN
  // to be sent again (a second). Listening again on the bound socket widens the queue.
  void WidenBacklog() {
    if (svr_sock_ != INVALID_SOCKET) ::listen(svr_sock_, SOMAXCONN);
  }

 private:
  bool process_and_close_socket(socket_t sock) override {
    bool ok = false;
    {
      RequestStream stream(sock);
      ok = Serve(stream);
    }
    // The reply is complete: say so, then let the client close first, reading what it still sends
    // (the game's request ends with a CR LF after its empty line). Closing with bytes unread would
    // reset the connection and could cost the client the end of the reply.
    ::shutdown(sock, SHUT_WR);
    const int64_t deadline = SteadyMs() + DrainLimitMs;
    char buffer[4096];
    size_t drained = 0;
    while (drained < RequestLimitBytes && WaitFor(sock, POLLIN, deadline)) {
      const ssize_t n = ::recv(sock, buffer, sizeof buffer, 0);
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      if (n <= 0) break;
      drained += static_cast<size_t>(n);
    }
    ::close(sock);
    return ok;
  }
};

}  // namespace

struct ScoreHttpServer::Impl {
  explicit Impl(ScoreService& s) : service(s) {}
  ScoreService& service;
  LineTolerantServer server;
  // A Stop that comes before Run has begun to listen must still end it: the library's own stop
  // does nothing to a server that is not running yet.
  std::mutex mutex;
  bool stopping = false, runStarted = false;
  std::atomic<bool> runEnded{false};
};

ScoreHttpServer::ScoreHttpServer(ScoreService& service) : impl_(std::make_unique<Impl>(service)) {
  httplib::Server& server = impl_->server;
  ScoreService* svc = &service;
  server.Get(".*", [svc](const httplib::Request& req, httplib::Response& res) {
    const QueryParams params(req.params.begin(), req.params.end());
    ServiceReply reply = svc->Handle(req.path, params, req.remote_addr);
    res.status = reply.Status;
    res.set_content(reply.Body, reply.ContentType.c_str());
  });
  // What the library itself refuses (other methods, overlong lines, malformed requests).
  server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
    if (res.body.empty()) res.set_content("REFUSED: HTTP status " + std::to_string(res.status), "text/plain");
  });
  server.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
    res.status = 500;
    res.set_content("REFUSED: internal error", "text/plain");
  });
  server.set_payload_max_length(BodyLimitBytes);
  // More workers than requests may wait for password hashes (the service turns away the rest at
  // once), so table downloads always find a free worker.
  server.new_task_queue = [] { return new httplib::ThreadPool(WorkerThreads); };
}

ScoreHttpServer::~ScoreHttpServer() { Stop(); }

int ScoreHttpServer::Bind(const std::string& address, int port) {
  const int bound = port == 0 ? impl_->server.bind_to_any_port(address)
                              : (impl_->server.bind_to_port(address, port) ? port : -1);
  if (bound > 0) impl_->server.WidenBacklog();
  return bound;
}

bool ScoreHttpServer::Run() {
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    if (impl_->stopping) return true;
    impl_->runStarted = true;
  }
  const bool ok = impl_->server.listen_after_bind();
  impl_->runEnded = true;
  return ok;
}

void ScoreHttpServer::Stop() {
  bool started = false;
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->stopping = true;
    started = impl_->runStarted;
  }
  if (!started) return;  // Run returns at once when it comes
  // Run is on its way into the library's loop: wait until it listens, then end it.
  while (!impl_->server.is_running() && !impl_->runEnded) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  impl_->server.stop();
}

std::string ScoreHttpServer::Answer(const std::vector<std::string>& pieces) {
  MemoryStream stream(pieces);
  impl_->server.Serve(stream);
  return stream.Sent();
}

// ---- Reading a request ------------------------------------------------------------------------------
bool RequestReader::Take(std::string_view bytes) {
  if (tooLarge_ || bytes.size() > RequestLimitBytes - received_) {
    tooLarge_ = true;
    return false;
  }
  received_ += bytes.size();
  for (const char c : bytes) {
    if (!headEnded_ && c == '\n' && previous_ != '\r') Emit('\r');
    previous_ = c;
    Emit(c);
  }
  return true;
}

size_t RequestReader::Read(char* out, size_t size) {
  const size_t n = std::min(size, pending_.size() - pos_);
  std::memcpy(out, pending_.data() + pos_, n);
  pos_ += n;
  if (pos_ == pending_.size()) {
    pending_.clear();
    pos_ = 0;
  }
  return n;
}

void RequestReader::Emit(char c) {
  pending_.push_back(c);
  if (headEnded_) return;
  ++headBytes_;
  tail_ = (tail_ << 8) | static_cast<unsigned char>(c);
  if (tail_ == 0x0D0A0D0Au) headEnded_ = true;  // CR LF CR LF
}
