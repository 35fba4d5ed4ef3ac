// The score server under load, over loopback: table downloads, uploads from logged-in players and
// logins per second with their median and 99th-percentile latency, each alone and with idle
// connections held open to the server; a flood of logins while tables are read; and nginx serving a
// static file of a table's size with the same generator, as the ceiling of this machine.
//   server_load [--quick] [--server FILE] [--db URI] [--nginx FILE] [--seconds S] [--idle N]
//               [--connections N]
//   --quick         a fraction of a second per measurement and 100 idle connections: shows that the
//                   benchmark still runs to its figures (nginx may then be missing)
//   --server FILE   the server program (default: the build's server/vq-test-score-server)
//   --db URI        the server's --db (default: a fresh SQLite file in the temporary folder)
//   --nginx FILE    the nginx program (default: nginx on the PATH, or /usr/sbin/nginx)
//   --seconds S     seconds per measurement (default 5; 0.3 with --quick)
//   --idle N        idle connections held open (default 1000; 100 with --quick)
//   --connections N requests in flight at once for tables and uploads (default 16)
//
// The requests are the game's own, built by its request builders with the test game's week and
// keys, sent as its client sends them: one connection per request, HTTP/1.0, ended when the server
// closes (the server keeps no connection alive). Each connection comes from a loopback address of
// its own range (127.0.x.y for the load, 127.1.x.y for the idle connections, 127.2.x.y for the
// flood), so no limit per address is what is measured.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/core.h"
#include "online/online.h"
#include "scores/scores.h"
#include "test_game/test_game.h"

#ifndef IP_BIND_ADDRESS_NO_PORT
#define IP_BIND_ADDRESS_NO_PORT 24
#endif

namespace {

int64_t NowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

sockaddr_in Loopback(uint8_t net, int index, int port = 0) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  // 127.net.hi.lo with lo in 2..251: index k is the k-th address of the range.
  const uint32_t host = (127u << 24) | (uint32_t{net} << 16) | ((static_cast<uint32_t>(index) / 250) << 8) |
                        (2 + static_cast<uint32_t>(index) % 250);
  a.sin_addr.s_addr = htonl(host);
  return a;
}

// A non-blocking socket bound to source (its port picked at connect) and connecting to server; -1
// when it could not be made or the connection was refused at once.
int ConnectFrom(const sockaddr_in& source, const sockaddr_in& server) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  const int on = 1;
  ::setsockopt(fd, IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &on, sizeof on);
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&source), sizeof source) != 0 ||
      (::connect(fd, reinterpret_cast<const sockaddr*>(&server), sizeof server) != 0 && errno != EINPROGRESS)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// The status of an HTTP reply ("HTTP/1.x NNN ..."), 0 when there is none.
int StatusOf(std::string_view reply) {
  if (reply.size() < 12 || reply.substr(0, 5) != "HTTP/") return 0;
  return std::atoi(std::string(reply.substr(9, 3)).c_str());
}

// What follows the reply's head.
std::string_view BodyOf(std::string_view reply) {
  const size_t end = reply.find("\r\n\r\n");
  return end == std::string_view::npos ? std::string_view() : reply.substr(end + 4);
}

// ---- The generator ----------------------------------------------------------------------------------
struct Outcome {
  int64_t N = 0;        // the stream's n-th request
  int64_t StartUs = 0;  // when its connection was begun
  int64_t Us = 0;       // from then to the reply's end (or the failure)
  int Status = 0;       // the reply's status; 0: none (refused, broken, timed out)
  bool Ok = false;      // the reply was the one expected
  bool QueueFull = false;  // a 503 of a full hashing queue (turned away at once), not of a wait run out
};

// One kind of request kept going: up to Concurrency in flight, a fresh connection each.
struct Stream {
  int Concurrency = 1;
  int64_t Limit = -1;  // requests to send in all; -1: until the run stops
  uint8_t SourceNet = 0;
  int SourceSpan = 64;  // source addresses used in turn
  std::function<std::string(int64_t)> Request;                 // the bytes of the n-th request
  std::function<bool(int status, std::string_view body)> Ok;   // whether a reply is the one expected
  bool KeepReply = false;                                      // keep the last reply in LastReply

  std::vector<Outcome> Outcomes;
  std::string LastReply;
  int64_t Started = 0;
  int InFlight = 0;
};

// Runs streams together on one thread over epoll. Every request has a time limit: the game's own
// limit for a whole request.
class Generator {
 public:
  Generator(const sockaddr_in& server, int timeoutMs) : server_(server), timeoutUs_(int64_t{timeoutMs} * 1000) {
    epoll_ = ::epoll_create1(EPOLL_CLOEXEC);
  }
  ~Generator() { ::close(epoll_); }

  // Sends requests until stop(now) is true (a stream with a limit stops at it), then waits for the
  // requests in flight; the time from the start to the last reply, in microseconds.
  int64_t Run(const std::vector<Stream*>& streams, const std::function<bool(int64_t)>& stop) {
    const int64_t start = NowUs();
    int64_t last = start;
    bool stopped = false;
    std::vector<epoll_event> events(512);
    for (;;) {
      const int64_t now = NowUs();
      if (!stopped && stop(now)) stopped = true;
      if (!stopped)
        for (Stream* s : streams)  // one that fails at once is tried again after the next wait
          while (s->InFlight < s->Concurrency && (s->Limit < 0 || s->Started < s->Limit) && Begin(*s, now)) {
          }
      // Requests past their time.
      for (size_t i = 0; i < open_.size();) {
        if (now - open_[i]->StartUs > timeoutUs_) {
          Finish(i, now, false);
          last = now;
        } else {
          ++i;
        }
      }
      bool busy = false;
      for (Stream* s : streams)
        busy = busy || s->InFlight > 0 || (!stopped && (s->Limit < 0 || s->Started < s->Limit));
      if (!busy) break;
      const int n = ::epoll_wait(epoll_, events.data(), static_cast<int>(events.size()), 10);
      for (int e = 0; e < n; ++e) {
        Connection* c = static_cast<Connection*>(events[e].data.ptr);
        if (Step(*c, events[e].events)) {
          last = NowUs();
          Finish(c->Index, last, true);
        }
      }
    }
    return std::max<int64_t>(last - start, 1);
  }

 private:
  struct Connection {
    Stream* Of = nullptr;
    int Fd = -1;
    size_t Index = 0;  // in open_
    int64_t N = 0;
    int64_t StartUs = 0;
    std::string Request, Reply;
    size_t Sent = 0;
    bool Broken = false;
  };

  // Starts the stream's next request; false when it failed at once.
  bool Begin(Stream& s, int64_t now) {
    auto c = std::make_unique<Connection>();
    c->Of = &s;
    c->StartUs = now;
    c->N = s.Started;
    c->Request = s.Request(s.Started);
    c->Fd = ConnectFrom(Loopback(s.SourceNet, static_cast<int>(s.Started % s.SourceSpan)), server_);
    ++s.Started;
    ++s.InFlight;
    c->Index = open_.size();
    Connection* raw = c.get();
    open_.push_back(std::move(c));
    epoll_event ev{};
    ev.events = EPOLLOUT | EPOLLIN | EPOLLRDHUP;
    ev.data.ptr = raw;
    if (raw->Fd >= 0 && ::epoll_ctl(epoll_, EPOLL_CTL_ADD, raw->Fd, &ev) == 0) return true;
    Finish(raw->Index, now, false);
    return false;
  }

  // Sends and reads what the socket allows; true once the server has closed (or the connection broke).
  bool Step(Connection& c, uint32_t events) {
    if (c.Sent < c.Request.size() && (events & EPOLLOUT)) {
      const ssize_t n = ::send(c.Fd, c.Request.data() + c.Sent, c.Request.size() - c.Sent, MSG_NOSIGNAL);
      if (n > 0) c.Sent += static_cast<size_t>(n);
      else if (n < 0 && errno != EAGAIN && errno != EINTR) c.Broken = true;
      if (c.Sent == c.Request.size()) {
        epoll_event ev{};
        ev.events = EPOLLIN | EPOLLRDHUP;
        ev.data.ptr = &c;
        ::epoll_ctl(epoll_, EPOLL_CTL_MOD, c.Fd, &ev);
      }
    }
    if (c.Broken) return true;
    if (events & (EPOLLIN | EPOLLRDHUP | EPOLLHUP | EPOLLERR)) {
      char buffer[16384];
      for (;;) {
        const ssize_t n = ::recv(c.Fd, buffer, sizeof buffer, 0);
        if (n > 0) {
          c.Reply.append(buffer, static_cast<size_t>(n));
          continue;
        }
        if (n == 0) return true;
        if (errno == EAGAIN || errno == EINTR) return false;
        c.Broken = true;
        return true;
      }
    }
    return false;
  }

  void Finish(size_t index, int64_t now, bool ended) {
    std::unique_ptr<Connection> c = std::move(open_[index]);
    if (index + 1 < open_.size()) {
      open_[index] = std::move(open_.back());
      open_[index]->Index = index;
    }
    open_.pop_back();
    if (c->Fd >= 0) ::close(c->Fd);
    Stream& s = *c->Of;
    --s.InFlight;
    Outcome o;
    o.N = c->N;
    o.StartUs = c->StartUs;
    o.Us = now - c->StartUs;
    if (ended && !c->Broken) o.Status = StatusOf(c->Reply);
    o.Ok = o.Status != 0 && s.Ok(o.Status, BodyOf(c->Reply));
    o.QueueFull = o.Status == 503 && BodyOf(c->Reply).find("queue full") != std::string_view::npos;
    if (s.KeepReply) s.LastReply = c->Reply;
    s.Outcomes.push_back(o);
  }

  sockaddr_in server_;
  int64_t timeoutUs_;
  int epoll_ = -1;
  std::vector<std::unique_ptr<Connection>> open_;
};

// ---- Idle connections -------------------------------------------------------------------------------
// Connections that send nothing, held open from a thread of their own: each one the server closes is
// opened again a tenth of a second later, so that the count stays up while the load runs.
class IdleConnections {
 public:
  IdleConnections(const sockaddr_in& server, int count) : server_(server), fds_(static_cast<size_t>(count), -1) {
    epoll_ = ::epoll_create1(EPOLL_CLOEXEC);
    thread_ = std::thread([this] { Hold(); });
  }
  ~IdleConnections() {
    stop_ = true;
    thread_.join();
    for (int fd : fds_)
      if (fd >= 0) ::close(fd);
    ::close(epoll_);
  }
  // Waits until all are connected, up to limitMs; how many are.
  int WaitConnected(int limitMs) const {
    const int64_t end = NowUs() + int64_t{limitMs} * 1000;
    while (connected_ < static_cast<int>(fds_.size()) && NowUs() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return connected_;
  }
  int Connected() const { return connected_; }
  int64_t Reopened() const { return reopened_; }

 private:
  void Open(size_t i) {
    fds_[i] = ConnectFrom(Loopback(1, static_cast<int>(i)), server_);
    if (fds_[i] < 0) {
      retry_.push_back({i, NowUs() + 100000});
      return;
    }
    epoll_event ev{};
    ev.events = EPOLLOUT | EPOLLIN | EPOLLRDHUP;
    ev.data.u64 = i;
    ::epoll_ctl(epoll_, EPOLL_CTL_ADD, fds_[i], &ev);
  }

  void Hold() {
    std::vector<bool> up(fds_.size(), false);
    for (size_t i = 0; i < fds_.size(); ++i) Open(i);
    std::vector<epoll_event> events(256);
    while (!stop_) {
      const int n = ::epoll_wait(epoll_, events.data(), static_cast<int>(events.size()), 20);
      for (int e = 0; e < n; ++e) {
        const size_t i = events[e].data.u64;
        const uint32_t what = events[e].events;
        if (what & (EPOLLIN | EPOLLRDHUP | EPOLLHUP | EPOLLERR)) {  // closed by the server (or refused)
          ::close(fds_[i]);
          fds_[i] = -1;
          if (up[i]) --connected_;
          up[i] = false;
          retry_.push_back({i, NowUs() + 100000});
        } else if ((what & EPOLLOUT) && !up[i]) {
          up[i] = true;
          ++connected_;
          epoll_event ev{};
          ev.events = EPOLLIN | EPOLLRDHUP;
          ev.data.u64 = i;
          ::epoll_ctl(epoll_, EPOLL_CTL_MOD, fds_[i], &ev);
        }
      }
      const int64_t now = NowUs();
      std::vector<std::pair<size_t, int64_t>> due;
      due.swap(retry_);
      for (const auto& [i, at] : due) {
        if (at > now) {
          retry_.push_back({i, at});
        } else {
          ++reopened_;
          Open(i);  // a failure goes back into retry_
        }
      }
    }
  }

  sockaddr_in server_;
  std::vector<int> fds_;
  std::vector<std::pair<size_t, int64_t>> retry_;  // closed ones and when to open them again
  int epoll_ = -1;
  std::atomic<bool> stop_{false};
  std::atomic<int> connected_{0};
  std::atomic<int64_t> reopened_{0};
  std::thread thread_;
};

// ---- Processes --------------------------------------------------------------------------------------
// A child program, its output to a file; stopped with SIGTERM by its process id (SIGKILL after 15 s),
// or by the system when the benchmark ends first.
class Child {
 public:
  // Starts program; when firstLine is given, the child's standard output comes through a pipe and
  // its first line (up to 10 s) is put there.
  Child(const std::vector<std::string>& args, const std::string& logFile, std::string* firstLine = nullptr) {
    int out[2] = {-1, -1};
    if (firstLine && ::pipe(out) != 0) return;
    std::vector<std::string> copy = args;
    std::vector<char*> argv;
    for (std::string& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int log = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::prctl(PR_SET_PDEATHSIG, SIGTERM);  // it ends with the benchmark, however that ends
      if (firstLine) ::close(out[0]);
      ::dup2(log, 2);
      ::dup2(firstLine ? out[1] : log, 1);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(log);
    if (!firstLine) return;
    ::close(out[1]);
    char c;
    pollfd p{out[0], POLLIN, 0};
    while (firstLine->find('\n') == std::string::npos && ::poll(&p, 1, 10000) > 0 && ::read(out[0], &c, 1) == 1)
      firstLine->push_back(c);
    ::close(out[0]);
  }
  ~Child() { Stop(); }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool Running() {
    if (pid_ <= 0) return false;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) != pid_) return true;
    pid_ = -1;
    return false;
  }
  void Stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    for (int i = 0; i < 1500 && ::waitpid(pid_, &status, WNOHANG) == 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (::waitpid(pid_, &status, WNOHANG) == 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
    }
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
};

int FreeLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a = Loopback(0, 0);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof a;
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) == 0)
    port = ntohs(a.sin_port);
  ::close(fd);
  return port;
}

// Whether something accepts connections on the port, within limitMs.
bool Accepting(int port, int limitMs) {
  const int64_t end = NowUs() + int64_t{limitMs} * 1000;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<uint16_t>(port));
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  while (NowUs() < end) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
    ::close(fd);
    if (ok) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

std::string FindNginx(const std::string& given) {
  if (!given.empty()) return ::access(given.c_str(), X_OK) == 0 ? given : "";
  std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
  path += ":/usr/sbin:/usr/local/sbin";
  size_t from = 0;
  while (from <= path.size()) {
    const size_t to = std::min(path.find(':', from), path.size());
    const std::string file = path.substr(from, to - from) + "/nginx";
    if (to > from && ::access(file.c_str(), X_OK) == 0) return file;
    from = to + 1;
  }
  return "";
}

// nginx as a process of its own over folder (its configuration, pid, logs and the static files
// under folder/www), on port: as many workers as cores, no access log, sendfile. Run as root, its
// workers run as nobody, so the folder must be readable by all.
std::unique_ptr<Child> StartNginx(const std::string& program, const std::string& folder, int port) {
  std::ofstream conf(folder + "/nginx.conf");
  if (::geteuid() == 0) conf << "user nobody nogroup;\n";
  conf << "worker_processes auto;\nworker_rlimit_nofile 8192;\npid " << folder << "/nginx.pid;\nerror_log " << folder
       << "/nginx-error.log;\nevents { worker_connections 4096; }\nhttp {\n  access_log off;\n  default_type text/plain;\n"
       << "  sendfile on;\n";
  for (const char* temp : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"})
    conf << "  " << temp << "_temp_path " << folder << "/temp-" << temp << ";\n";
  conf << "  server {\n    listen 127.0.0.1:" << port << " backlog=4096;\n    root " << folder << "/www;\n  }\n}\n";
  conf.close();
  auto nginx = std::make_unique<Child>(std::vector<std::string>{program, "-p", folder + "/", "-c", folder + "/nginx.conf",
                                                                "-e", folder + "/nginx-error.log", "-g", "daemon off;"},
                                       folder + "/nginx-output.log");
  if (!Accepting(port, 10000) || !nginx->Running()) return nullptr;
  return nginx;
}

// ---- Figures ----------------------------------------------------------------------------------------
struct Figures {
  double PerSecond = 0, P50Ms = 0, P99Ms = 0;
  int64_t Requests = 0, Errors = 0;
  double GeneratorCpu = -1;  // this program's processor time over the elapsed time, % of one core
};

// This program's processor time so far (all its threads), in microseconds.
int64_t CpuUs() {
  rusage u{};
  ::getrusage(RUSAGE_SELF, &u);
  return (int64_t{u.ru_utime.tv_sec} + u.ru_stime.tv_sec) * 1000000 + u.ru_utime.tv_usec + u.ru_stime.tv_usec;
}

double Percentile(std::vector<int64_t> us, double p) {
  if (us.empty()) return 0;
  std::sort(us.begin(), us.end());
  const size_t rank = static_cast<size_t>(std::ceil(p * static_cast<double>(us.size())));
  return static_cast<double>(us[std::clamp<size_t>(rank, 1, us.size()) - 1]) / 1000.0;
}

// The figures of the outcomes that pass keep (all when empty), over elapsedUs: replies of the kind
// expected per second, and the latency of every request, failed ones at the time they failed.
Figures Summarize(const std::vector<Outcome>& outcomes, int64_t elapsedUs,
                  const std::function<bool(const Outcome&)>& keep = nullptr) {
  Figures f;
  std::vector<int64_t> us;
  int64_t ok = 0;
  for (const Outcome& o : outcomes) {
    if (keep && !keep(o)) continue;
    us.push_back(o.Us);
    ++f.Requests;
    if (o.Ok) ++ok;
    else ++f.Errors;
  }
  f.PerSecond = static_cast<double>(ok) * 1e6 / static_cast<double>(std::max<int64_t>(elapsedUs, 1));
  f.P50Ms = Percentile(us, 0.50);
  f.P99Ms = Percentile(us, 0.99);
  return f;
}

void PrintFigures(const std::string& name, const Figures& f) {
  std::printf("%-44s %12.1f %10.2f %10.2f %8lld", name.c_str(), f.PerSecond, f.P50Ms, f.P99Ms,
              static_cast<long long>(f.Errors));
  if (f.GeneratorCpu >= 0) std::printf(" %8.0f", f.GeneratorCpu);
  std::printf("\n");
  std::fflush(stdout);
}

std::string Verdict(bool met) { return met ? "met" : "missed"; }

// ---- The game's requests ------------------------------------------------------------------------------
// The credentials as the game's login page leaves them.
void SetPlayer(const std::string& user, const std::string& password) {
  ScoreLists.OnlineUser = user;
  ScoreLists.OnlinePassword = password;
  CleanCredentials();
}

struct Requests {
  Thttp Http;          // only its request text is used: the connections are the generator's
  std::string Prefix;  // of every name this run registers, so runs can share a database

  std::string Login(const std::string& user) {
    SetPlayer(user, "pw_" + user);
    return Http.GetRequest(LoginTarget(LoginParameter()));
  }
  // The n-th record of user in the table of the game variant mode (the test game's level 0).
  std::string Upload(const std::string& user, int mode, int64_t n) {
    SetPlayer(user, "pw_" + user);
    Scores record;
    record.Score = 1000 + n;
    record.Name = "Player";
    record.Timestamp = 64667939696 + n;
    record.GameMode = mode;
    for (int level = 1; level <= 30; ++level) record.Best[static_cast<size_t>(level)] = static_cast<int32_t>(n % 97);
    return Http.GetRequest(ScoreTarget(UploadParameter(record)));
  }
  std::string Table(const std::string& id) { return Http.GetRequest(TableTarget(id)); }
};

bool LoginOk(int status, std::string_view body) { return status == 200 && LoginSucceeded(body); }
bool UploadOk(int status, std::string_view body) { return status == 200 && body == "OK"; }

struct Options {
  bool Quick = false;
  std::string Server, Db, Nginx;
  double Seconds = 5;
  int Idle = 1000, Connections = 16;
};

int Usage(const char* program) {
  std::fprintf(stderr,
               "usage: %s [--quick] [--server FILE] [--db URI] [--nginx FILE] [--seconds S] [--idle N]"
               " [--connections N]\n",
               program);
  return 2;
}

// Raises the limit of open files as far as allowed (children started later inherit it); the limit.
rlim_t RaiseFileLimit(rlim_t wanted) {
  rlimit limit{};
  ::getrlimit(RLIMIT_NOFILE, &limit);
  if (limit.rlim_max < wanted && ::geteuid() == 0) limit.rlim_max = wanted;
  limit.rlim_cur = std::min(wanted, limit.rlim_max);
  if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) ::getrlimit(RLIMIT_NOFILE, &limit);
  return limit.rlim_cur;
}

std::string FileSystemOf(const std::string& folder) {
  struct statfs s{};
  if (::statfs(folder.c_str(), &s) != 0) return "unknown file system";
  if (s.f_type == 0x01021994) return "tmpfs: writes never reach a disk";
  if (s.f_type == 0x794c7630) return "overlayfs";
  if (s.f_type == 0xEF53) return "ext4";
  if (s.f_type == 0x58465342) return "xfs";
  if (s.f_type == 0x9123683E) return "btrfs";
  return "file system type 0x" + [&] {
    char hex[32];
    std::snprintf(hex, sizeof hex, "%lx", static_cast<unsigned long>(s.f_type));
    return std::string(hex);
  }();
}

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  bool secondsGiven = false, idleGiven = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool valued = a == "--server" || a == "--db" || a == "--nginx" || a == "--seconds" || a == "--idle" ||
                        a == "--connections";
    if (a == "--quick") {
      opt.Quick = true;
    } else if (valued && i + 1 < argc) {
      const std::string v = argv[++i];
      if (a == "--server") opt.Server = v;
      else if (a == "--db") opt.Db = v;
      else if (a == "--nginx") opt.Nginx = v;
      else if (a == "--seconds") opt.Seconds = std::atof(v.c_str()), secondsGiven = true;
      else if (a == "--idle") opt.Idle = std::atoi(v.c_str()), idleGiven = true;
      else opt.Connections = std::atoi(v.c_str());
    } else {
      return Usage(argv[0]);
    }
  }
  if (opt.Quick && !secondsGiven) opt.Seconds = 0.3;
  if (opt.Quick && !idleGiven) opt.Idle = 100;
  if (opt.Seconds <= 0 || opt.Idle < 0 || opt.Connections < 1 || opt.Connections > 1000) return Usage(argv[0]);
  if (opt.Server.empty()) opt.Server = ExecutableFolder() + "/../server/vq-test-score-server";
  if (::access(opt.Server.c_str(), X_OK) != 0) {
    std::fprintf(stderr, "server_load: no server program at %s (--server FILE)\n", opt.Server.c_str());
    return 1;
  }
  const std::string nginxProgram = FindNginx(opt.Nginx);
  if (nginxProgram.empty() && !opt.Quick) {
    std::fprintf(stderr, "server_load: nginx not found (Debian's nginx package, or --nginx FILE)\n");
    return 1;
  }
  ::signal(SIGPIPE, SIG_IGN);

  // Every idle connection, the load's and the flood's at once, twice (both ends are on this machine
  // when the server inherits the limit), and some spare.
  const rlim_t files = RaiseFileLimit(static_cast<rlim_t>(opt.Idle + opt.Connections + 200) * 2 + 256);
  const rlim_t others = static_cast<rlim_t>(opt.Connections + 200) + 128;
  const int idle = static_cast<int>(std::min<rlim_t>(opt.Idle, files / 2 > others ? files / 2 - others : 0));

  UseGame(TestGame);
  BuildDefaultKey();
  Core.Difficulty = 1;  // the table read: the test game's Easy, level 0
  Core.Level = 0;
  Core.GameFlags = 0;
  const std::string tableId = TableId();

  std::string folder = (std::filesystem::temp_directory_path() / "vq-bench-load-XXXXXX").string();
  if (!mkdtemp(folder.data())) return 1;
  ::chmod(folder.c_str(), 0755);  // nginx's workers may run as another user
  const std::string db = opt.Db.empty() ? folder + "/scores.db" : opt.Db;
  const int64_t seconds_us = static_cast<int64_t>(opt.Seconds * 1e6);

  std::string first;
  auto server = std::make_unique<Child>(
      std::vector<std::string>{opt.Server, "--port", "0", "--bind", "127.0.0.1", "--db", db, "--hashes-per-minute",
                               "1000000", "--new-names-per-hour", "1000000"},
      folder + "/server.log", &first);
  const size_t at = first.find(" port ");
  const int port = at == std::string::npos ? 0 : std::atoi(first.c_str() + at + 6);
  if (port <= 0) {
    std::fprintf(stderr, "server_load: %s did not start (its log: %s/server.log)\n", opt.Server.c_str(),
                 folder.c_str());
    return 1;
  }
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(static_cast<uint16_t>(port));
  target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);

  std::printf("server_load: %s on port %d over %s", opt.Server.c_str(), port,
              opt.Db.empty() ? ("a fresh SQLite file in " + folder + " (" + FileSystemOf(folder) + ")").c_str()
                             : opt.Db.c_str());
  std::printf("\n  %.1f s per measurement; %d requests in flight for tables and uploads, 4 for logins (the\n"
              "  server hashes 2 at once); one connection per request, as the game makes them; a request\n"
              "  not answered in %d ms counts as an error\n",
              opt.Seconds, opt.Connections, Online.RequestLimitMs);
  double load[3] = {0, 0, 0};
  if (::getloadavg(load, 3) == 3)
    std::printf("  this machine: %u cores, load average %.2f %.2f %.2f at the start\n",
                std::thread::hardware_concurrency(), load[0], load[1], load[2]);
  if (idle < opt.Idle)
    std::printf("  only %d idle connections: the limit of open files is %llu\n", idle,
                static_cast<unsigned long long>(files));
  std::fflush(stdout);

  Requests requests;
  requests.Http.host = "127.0.0.1";
  requests.Prefix = "ld" + std::to_string(::getpid() % 100000) + "x" + std::to_string(std::time(nullptr) % 100000);
  const std::string& prefix = requests.Prefix;
  Generator generator(target, Online.RequestLimitMs);
  const auto forever = [](int64_t) { return false; };

  // The table read: 30 records of one player, each logged in once.
  const std::string owner = prefix + "_table";
  {
    Stream login;
    login.Limit = 1;
    login.Request = [&](int64_t) { return requests.Login(owner); };
    login.Ok = LoginOk;
    generator.Run({&login}, forever);
    Stream fill;
    fill.Concurrency = 4;
    fill.Limit = 30;
    fill.Request = [&](int64_t n) { return requests.Upload(owner, 1, n); };
    fill.Ok = UploadOk;
    generator.Run({&fill}, forever);
    if (!login.Outcomes[0].Ok || std::count_if(fill.Outcomes.begin(), fill.Outcomes.end(),
                                               [](const Outcome& o) { return o.Ok; }) != 30) {
      std::fprintf(stderr, "server_load: the table could not be filled (the server's log: %s/server.log)\n",
                   folder.c_str());
      return 1;
    }
  }
  Stream probe;
  probe.Limit = 1;
  probe.KeepReply = true;
  probe.Request = [&](int64_t) { return requests.Table(tableId); };
  probe.Ok = [](int status, std::string_view) { return status == 200; };
  generator.Run({&probe}, forever);
  const std::string tableBody(BodyOf(probe.LastReply));
  const size_t records = ReadOnlineTable(ReplyBody(ReplyText(probe.LastReply))).size();
  if (records != OnlineTableEntries) {
    std::fprintf(stderr, "server_load: the table read back holds %zu records, not 30\n", records);
    return 1;
  }
  std::printf("  the table read: %s, %zu records, %zu bytes\n\n", TableTarget(tableId).c_str(), records,
              tableBody.size());
  std::printf("%-44s %12s %10s %10s %8s %8s\n", "measurement", "requests/s", "p50 ms", "p99 ms", "errors",
              "gen cpu%");

  const auto tableOk = [size = tableBody.size()](int status, std::string_view body) {
    return status == 200 && body.size() == size;
  };
  // A measurement: one stream run for a number of slices of time, its figures over them all.
  struct Load {
    Generator* On = nullptr;
    Stream S;
    int64_t ElapsedUs = 0, CpuUs = 0;
  };
  const auto MakeLoad = [](Generator& on, int concurrency, std::function<std::string(int64_t)> request,
                           std::function<bool(int, std::string_view)> ok) {
    Load l;
    l.On = &on;
    l.S.Concurrency = concurrency;
    l.S.Request = std::move(request);
    l.S.Ok = std::move(ok);
    return l;
  };
  const auto RunSlice = [](Load& l, int64_t us) {
    const int64_t cpu = CpuUs();
    const int64_t end = NowUs() + us;
    l.ElapsedUs += l.On->Run({&l.S}, [end](int64_t now) { return now >= end; });
    l.CpuUs += CpuUs() - cpu;
  };
  const auto Report = [](const std::string& name, const Load& l) {
    Figures f = Summarize(l.S.Outcomes, l.ElapsedUs);
    f.GeneratorCpu = 100.0 * static_cast<double>(l.CpuUs) / static_cast<double>(l.ElapsedUs);
    PrintFigures(name, f);
    return f;
  };
  const auto Measure = [&](const std::string& name, Generator& on, int concurrency,
                           std::function<std::string(int64_t)> request,
                           std::function<bool(int, std::string_view)> ok) {
    Load l = MakeLoad(on, concurrency, std::move(request), std::move(ok));
    RunSlice(l, seconds_us);
    return Report(name, l);
  };
  const auto table = [&](int64_t) { return requests.Table(tableId); };

  // The ceiling: nginx serving the same bytes at the same path, measured in turns with the table
  // downloads (five slices of each, one after the other), so that the other work of a shared
  // machine weighs on both alike.
  std::optional<Figures> nginx;
  Load tableLoad = MakeLoad(generator, opt.Connections, table, tableOk);
  std::unique_ptr<Child> nginxProcess;
  std::unique_ptr<Generator> toNginx;
  if (nginxProgram.empty()) {
    std::printf("nginx: not installed\n");
  } else {
    const std::string www = folder + "/www" + TableTarget(tableId);
    std::filesystem::create_directories(std::filesystem::path(www).parent_path());
    std::ofstream(www, std::ios::binary) << tableBody;
    for (auto p = std::filesystem::path(www); p != folder; p = p.parent_path())
      std::filesystem::permissions(p, std::filesystem::perms::others_read | std::filesystem::perms::others_exec |
                                          std::filesystem::perms::group_read | std::filesystem::perms::group_exec,
                                   std::filesystem::perm_options::add);
    const int nginxPort = FreeLoopbackPort();
    nginxProcess = StartNginx(nginxProgram, folder, nginxPort);
    if (!nginxProcess) {
      std::printf("nginx: did not start (its log: %s/nginx-error.log)\n", folder.c_str());
      if (!opt.Quick) return 1;
    } else {
      sockaddr_in at = target;
      at.sin_port = htons(static_cast<uint16_t>(nginxPort));
      toNginx = std::make_unique<Generator>(at, Online.RequestLimitMs);
    }
  }
  if (toNginx) {
    Load nginxLoad = MakeLoad(*toNginx, opt.Connections, table, tableOk);
    for (int slice = 0; slice < 5; ++slice) {
      RunSlice(nginxLoad, seconds_us / 5);
      RunSlice(tableLoad, seconds_us / 5);
    }
    nginx = Report("nginx, static file of the table's bytes", nginxLoad);
    nginxProcess->Stop();
  } else {
    RunSlice(tableLoad, seconds_us);
  }
  const Figures tables = Report("table GET", tableLoad);

  // Players who log in once, then upload: the uploads are checked against the verified names.
  const int players = opt.Quick ? 8 : 32;
  const auto player = [&](int64_t i) { return prefix + "_player" + std::to_string(i); };
  // Two at a time, as many as are hashed at once; one turned away (a busy machine can make a hash
  // outlast the server's wait) is sent again, up to five rounds.
  const auto logInPlayers = [&] {
    std::vector<int64_t> left;
    for (int64_t i = 0; i < players; ++i) left.push_back(i);
    for (int round = 0; round < 5 && !left.empty(); ++round) {
      Stream s;
      s.Concurrency = 2;
      s.Limit = static_cast<int64_t>(left.size());
      s.Request = [&](int64_t k) { return requests.Login(player(left[static_cast<size_t>(k)])); };
      s.Ok = LoginOk;
      generator.Run({&s}, forever);
      std::vector<int64_t> failed;
      for (const Outcome& o : s.Outcomes)
        if (!o.Ok) failed.push_back(left[static_cast<size_t>(o.N)]);
      left = failed;
    }
    return players - static_cast<int64_t>(left.size());
  };
  int64_t uploads = 0, logins = 0;
  const auto upload = [&](int64_t) {
    const int64_t n = uploads++;
    return requests.Upload(player(n % players), 2, n);
  };
  const auto login = [&](int64_t) { return requests.Login(prefix + "_new" + std::to_string(logins++)); };

  const int64_t loggedIn = logInPlayers();
  if (loggedIn != players) std::printf("  only %lld of %d players logged in\n", static_cast<long long>(loggedIn), players);
  const Figures uploaded = Measure("upload, logged-in player", generator, opt.Connections, upload, UploadOk);
  Measure("login, new name (one hash each)", generator, 4, login, LoginOk);

  // The flood: 200 new names at once, a quarter of the way into a run of table requests that goes on
  // until every login has its answer.
  Stream reads, flood;
  reads.Concurrency = opt.Connections;
  reads.Request = table;
  reads.Ok = tableOk;
  flood.Concurrency = 200;
  flood.SourceNet = 2;
  flood.SourceSpan = 200;
  flood.Request = login;
  flood.Ok = LoginOk;
  const int64_t floodAt = NowUs() + seconds_us / 4;
  int64_t floodStart = 0, floodEnd = 0;
  flood.Limit = 0;  // until its moment
  generator.Run({&reads, &flood}, [&](int64_t now) {
    if (!floodStart && now >= floodAt) {
      floodStart = now;
      flood.Limit = 200;
    }
    if (floodStart && flood.Started == 200 && flood.InFlight == 0) {
      floodEnd = now;
      return true;
    }
    return false;
  });
  const Figures during = Summarize(reads.Outcomes, floodEnd - floodStart, [&](const Outcome& o) {
    return o.StartUs >= floodStart && o.StartUs < floodEnd;
  });
  PrintFigures("table GET during a flood of 200 logins", during);
  // The 503s: those beyond the queue, turned away at once, and those that waited in the queue for
  // a hash until their wait ran out (2 s).
  std::vector<int64_t> busyUs, welcomedUs;
  int64_t other = 0, lastBusyUs = 0, waitedOut = 0;
  for (const Outcome& o : flood.Outcomes) {
    if (o.QueueFull) {
      busyUs.push_back(o.Us);
      lastBusyUs = std::max(lastBusyUs, o.Us);
    } else if (o.Status == 503) {
      ++waitedOut;
    } else if (o.Ok) {
      welcomedUs.push_back(o.Us);
    } else {
      ++other;
    }
  }
  std::printf("  the flood: %zu logins welcomed (p99 %.0f ms), %zu turned away with 503 as the queue was full\n"
              "  (p50 %.2f ms, p99 %.2f ms, the last %.2f ms after it was sent), %lld got 503 after waiting\n"
              "  in the queue, %lld other or none; all answered %.0f ms after the flood began\n",
              welcomedUs.size(), Percentile(welcomedUs, 0.99), busyUs.size(), Percentile(busyUs, 0.5),
              Percentile(busyUs, 0.99), static_cast<double>(lastBusyUs) / 1000.0, static_cast<long long>(waitedOut),
              static_cast<long long>(other), static_cast<double>(floodEnd - floodStart) / 1000.0);

  // The same with idle connections held open. The players log in again first (without the idle
  // connections), so that their uploads are still known without a hash.
  logInPlayers();
  std::optional<Figures> idleTables;
  {
    IdleConnections held(target, idle);
    const int connected = held.WaitConnected(10000);
    const std::string suffix = ", " + std::to_string(idle) + " idle held";
    idleTables = Measure("table GET" + suffix, generator, opt.Connections, table, tableOk);
    Measure("upload, logged-in player" + suffix, generator, opt.Connections, upload, UploadOk);
    Measure("login, new name (one hash each)" + suffix, generator, 4, login, LoginOk);
    std::printf("  idle connections: %d of %d connected before the first measurement, %d at the end; the server\n"
                "  closed %lld of them meanwhile (each opened again)\n",
                connected, idle, held.Connected(), static_cast<long long>(held.Reopened()));
  }

  std::printf("\n");
  if (nginx) {
    const double share = nginx->PerSecond > 0 ? 100.0 * tables.PerSecond / nginx->PerSecond : 0;
    std::printf("table GETs: %.0f %% of nginx's static rate (target at least 40 %%): %s\n", share,
                Verdict(share >= 40).c_str());
  } else {
    std::printf("table GETs against nginx's static rate: no nginx\n");
  }
  std::printf("table GETs with %d idle connections held: p99 %.2f ms, %lld errors (target within 20 ms): %s\n", idle,
              idleTables->P99Ms, static_cast<long long>(idleTables->Errors),
              Verdict(idleTables->P99Ms <= 20 && idleTables->Errors == 0).c_str());
  std::printf("uploads from logged-in players: %.0f per second (target at least 2000 on SQLite): %s%s\n",
              uploaded.PerSecond, Verdict(uploaded.PerSecond >= 2000).c_str(),
              opt.Db.empty() ? "" : " (this run's store is not SQLite)");
  std::printf("table GETs during the flood of 200 logins: p99 %.2f ms, %lld errors (target within 50 ms): %s\n",
              during.P99Ms, static_cast<long long>(during.Errors), Verdict(during.P99Ms <= 50 && during.Errors == 0).c_str());
  const bool atOnce = !busyUs.empty() && Percentile(busyUs, 0.99) <= 50;
  std::printf("logins beyond the queue: %zu got 503, p99 %.2f ms after being sent (target: at once, here within "
              "50 ms): %s\n",
              busyUs.size(), Percentile(busyUs, 0.99), Verdict(atOnce).c_str());

  server->Stop();
  server.reset();
  std::filesystem::remove_all(folder);
  return 0;
}
