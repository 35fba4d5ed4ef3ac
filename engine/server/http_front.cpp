// The score server's HTTP side over libmicrohttpd, its event loop run by the caller (Run, Answer).
#include "server/http_front.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/sockios.h>
#include <microhttpd.h>
#include <netdb.h>
#include <poll.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <unordered_set>
#include <utility>

#include "server/score_service.h"

namespace {

constexpr unsigned ConnectionsAtOnce = 8192;  // in all; the process's file limit must allow them
constexpr int SweepEveryMs = 50;               // how often the time limits are checked
constexpr int LoopWaitMs = 100;                // the longest wait of the event loop between its time checks
constexpr int AnswerLimitMs = 30000;           // Answer gives up on a reply after this long

int64_t SteadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string AddressText(const sockaddr* addr) {
  char text[INET6_ADDRSTRLEN] = "";
  if (!addr) return text;
  if (addr->sa_family == AF_INET)
    ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(addr)->sin_addr, text, sizeof text);
  else if (addr->sa_family == AF_INET6)
    ::inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(addr)->sin6_addr, text, sizeof text);
  return text;
}

// The client a trusted proxy names in X-Real-IP, as the address text the service counts; the
// proxy's own address when the header is missing or is not an address.
std::string ProxiedClient(MHD_Connection* c, const std::string& proxy) {
  const char* named = MHD_lookup_connection_value(c, MHD_HEADER_KIND, "X-Real-IP");
  if (!named) return proxy;
  in6_addr v6{};
  in_addr v4{};
  char text[INET6_ADDRSTRLEN] = "";
  if (::inet_pton(AF_INET, named, &v4) == 1) return ::inet_ntop(AF_INET, &v4, text, sizeof text);
  if (::inet_pton(AF_INET6, named, &v6) == 1) return ::inet_ntop(AF_INET6, &v6, text, sizeof text);
  return proxy;
}

// One connection as the front watches it for its time limits.
struct Connection {
  int fd = -1;
  int64_t openedMs = 0;
  bool headDone = false;   // the whole head has arrived
  bool answering = false;  // the request is complete: its reply is queued or being computed
  bool suspended = false;  // a worker is computing its reply
  bool cut = false;        // shut down for its time
};

// One request, from its request line to its reply.
struct Request {
  const char* target = nullptr;  // where the library keeps the target as received
  size_t targetBytes = 0;
  size_t bodyBytes = 0;
  std::string path, address;
  QueryParams params;
  ServiceReply reply;
  bool started = false;  // the head has been seen
  bool replied = false;  // reply holds the answer a worker computed
};

MHD_Result Queue(MHD_Connection* c, int status, const std::string& contentType, const std::string& body,
                 const std::vector<std::pair<std::string, std::string>>& headers = {}) {
  MHD_Response* response =
      MHD_create_response_from_buffer(body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_MUST_COPY);
  if (!response) return MHD_NO;
  MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, contentType.c_str());
  for (const auto& [key, value] : headers) MHD_add_response_header(response, key.c_str(), value.c_str());
  MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
  const MHD_Result queued = MHD_queue_response(c, static_cast<unsigned>(status), response);
  MHD_destroy_response(response);
  return queued;
}

// The front's own refusals are plain text without a charset, unlike every reply of the service.
MHD_Result Refuse(MHD_Connection* c, int status, const std::string& why) {
  return Queue(c, status, "text/plain", "REFUSED: " + why);
}

Connection* ConnectionOf(MHD_Connection* c) {
  const MHD_ConnectionInfo* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
  return info ? static_cast<Connection*>(info->socket_context) : nullptr;
}

}  // namespace

struct ScoreHttpServer::Impl {
  // One libmicrohttpd daemon and the connections it holds, all touched only by the thread that runs
  // its loop; the workers only resume its connections.
  struct Daemon {
    Impl* impl = nullptr;
    MHD_Daemon* mhd = nullptr;
    std::unordered_set<Connection*> connections;
    std::atomic<int> computing{0};  // replies being computed by workers
    // The loop's wait: the library's epoll set and wakeFd, which a worker writes once it has
    // resumed a connection (the library's own wait does not wake for that in this mode, and the
    // reply would wait out the loop's time check).
    int waitFd = -1, wakeFd = -1;
    int64_t sweptMs = 0;  // when Sweep last looked at the connections
  };
  struct Job {
    Daemon* daemon;
    MHD_Connection* connection;
    Request* request;
  };

  Impl(ScoreService& s, FrontOptions o) : service(s), options(std::move(o)) {}

  void Log(const std::string& line) const {
    if (options.Log)
      options.Log(line);
    else
      std::fprintf(stderr, "vq-score-server: %s\n", line.c_str());
  }
  // What the library reports (a connection over a limit, a malformed request, a failed call).
  static void LibraryLog(void* cls, const char* format, va_list args) {
    char line[512];
    std::vsnprintf(line, sizeof line, format, args);
    std::string text = line;
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    static_cast<Impl*>(cls)->Log("http: " + text);
  }

  ScoreService& service;
  const FrontOptions options;
  Daemon listening, answering;  // Bind and Run's; Answer's, without a listening socket
  std::mutex answerMutex;

  std::mutex mutex;  // the flags below
  bool stopping = false, running = false;
  std::condition_variable runEnded;

  std::mutex jobsMutex;
  std::condition_variable jobsChanged;
  std::deque<Job> jobs;
  bool quitting = false;
  std::vector<pthread_t> workers;

  // Starts a daemon: listening on address, or without a socket of its own for Answer's
  // connections (which all come from this process: no cap per address).
  MHD_Daemon* Start(Daemon& d, unsigned flags, const sockaddr* address) {
    d.impl = this;
    const unsigned perAddress = address ? options.ConnectionsPerAddress : 0;
    flags |= MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME | MHD_USE_ERROR_LOG;
    const unsigned timeoutSeconds = static_cast<unsigned>((options.ConnectionLimitMs + 999) / 1000);
    MHD_OptionItem items[] = {
        {MHD_OPTION_EXTERNAL_LOGGER, reinterpret_cast<intptr_t>(&LibraryLog), this},  // first, or unused
        {MHD_OPTION_PER_IP_CONNECTION_LIMIT, perAddress, nullptr},
        {MHD_OPTION_CONNECTION_LIMIT, ConnectionsAtOnce, nullptr},
        {MHD_OPTION_CONNECTION_TIMEOUT, timeoutSeconds, nullptr},
        {MHD_OPTION_CONNECTION_MEMORY_LIMIT, static_cast<intptr_t>(HeadLimitBytes), nullptr},
        {MHD_OPTION_LISTEN_BACKLOG_SIZE, SOMAXCONN, nullptr},
        {MHD_OPTION_URI_LOG_CALLBACK, reinterpret_cast<intptr_t>(&OnRequestLine), &d},
        {MHD_OPTION_NOTIFY_COMPLETED, reinterpret_cast<intptr_t>(&OnCompleted), &d},
        {MHD_OPTION_NOTIFY_CONNECTION, reinterpret_cast<intptr_t>(&OnConnection), &d},
        {address ? MHD_OPTION_SOCK_ADDR : MHD_OPTION_END, 0, const_cast<sockaddr*>(address)},
        {MHD_OPTION_END, 0, nullptr},
    };
    d.mhd = MHD_start_daemon(flags, 0, nullptr, nullptr, &OnRequest, &d, MHD_OPTION_ARRAY, items, MHD_OPTION_END);
    if (!d.mhd) return nullptr;
    const MHD_DaemonInfo* info = MHD_get_daemon_info(d.mhd, MHD_DAEMON_INFO_EPOLL_FD);
    d.waitFd = ::epoll_create1(EPOLL_CLOEXEC);
    d.wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    epoll_event library{}, wake{};
    library.events = wake.events = EPOLLIN;
    library.data.fd = info ? info->epoll_fd : -1;
    wake.data.fd = d.wakeFd;
    if (!info || d.waitFd < 0 || d.wakeFd < 0 || ::epoll_ctl(d.waitFd, EPOLL_CTL_ADD, info->epoll_fd, &library) != 0 ||
        ::epoll_ctl(d.waitFd, EPOLL_CTL_ADD, d.wakeFd, &wake) != 0) {
      Log("http: cannot set up the event loop's wait");
      Close(d);
      return nullptr;
    }
    return d.mhd;
  }

  // Waits up to limitMs (less when the library has a time-out due) for the library's sockets or a
  // worker's wake, then lets the library do what is ready.
  static void RunOnce(Daemon& d, int limitMs) {
    MHD_UNSIGNED_LONG_LONG due = 0;
    int wait = limitMs;
    if (MHD_get_timeout(d.mhd, &due) == MHD_YES && due < static_cast<MHD_UNSIGNED_LONG_LONG>(wait))
      wait = static_cast<int>(due);
    epoll_event events[2];
    const int n = ::epoll_wait(d.waitFd, events, 2, wait);
    for (int i = 0; i < n; ++i)
      if (events[i].data.fd == d.wakeFd) {
        uint64_t count = 0;
        [[maybe_unused]] const ssize_t got = ::read(d.wakeFd, &count, sizeof count);
      }
    MHD_run(d.mhd);
  }

  static void Close(Daemon& d) {
    if (d.mhd) MHD_stop_daemon(d.mhd);
    d.mhd = nullptr;
    for (int* fd : {&d.waitFd, &d.wakeFd})
      if (*fd >= 0) ::close(*fd), *fd = -1;
  }

  // Closes the connections past their time: no complete head within HeadLimitMs, or open longer
  // than ConnectionLimitMs while no worker computes its reply. A shut-down socket reads as closed
  // by the client, and the library ends the connection.
  // The loop runs it after every wake; it looks at the connections once per SweepEveryMs, so that
  // a busy server does not walk every held connection for each request.
  void Sweep(Daemon& d) {
    const int64_t now = SteadyMs();
    if (now - d.sweptMs < SweepEveryMs) return;
    d.sweptMs = now;
    for (Connection* c : d.connections) {
      if (c->cut || c->suspended) continue;
      const int64_t age = now - c->openedMs;
      if ((!c->headDone && age > options.HeadLimitMs) || age > options.ConnectionLimitMs) {
        Log(c->headDone ? "http: closed a connection open for " + std::to_string(options.ConnectionLimitMs) + " ms"
                        : "http: closed a connection without a complete head after " +
                              std::to_string(options.HeadLimitMs) + " ms");
        ::shutdown(c->fd, SHUT_RDWR);
        c->cut = true;
      }
    }
  }

  // Ends a daemon once its loop no longer runs: waits for the replies being computed, so that no
  // worker resumes a connection of a daemon that is gone.
  void Finish(Daemon& d) {
    if (!d.mhd) return;
    while (d.computing > 0) RunOnce(d, 10);
    Close(d);
  }

  // ---- The library's callbacks ----
  static void OnConnection(void* cls, MHD_Connection* c, void** context, MHD_ConnectionNotificationCode code) {
    Daemon& d = *static_cast<Daemon*>(cls);
    if (code == MHD_CONNECTION_NOTIFY_STARTED) {
      auto* connection = new Connection;
      const MHD_ConnectionInfo* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CONNECTION_FD);
      connection->fd = info ? info->connect_fd : -1;
      connection->openedMs = SteadyMs();
      d.connections.insert(connection);
      *context = connection;
    } else if (code == MHD_CONNECTION_NOTIFY_CLOSED) {
      auto* connection = static_cast<Connection*>(*context);
      d.connections.erase(connection);
      delete connection;
      *context = nullptr;
    }
  }

  static void* OnRequestLine(void*, const char* uri, MHD_Connection*) {
    auto* request = new Request;
    request->target = uri;
    request->targetBytes = uri ? std::strlen(uri) : 0;
    return request;
  }

  static void OnCompleted(void*, MHD_Connection*, void** context, MHD_RequestTerminationCode) {
    delete static_cast<Request*>(*context);
    *context = nullptr;
  }

  static MHD_Result CollectParam(void* cls, MHD_ValueKind, const char* key, const char* value) {
    static_cast<Request*>(cls)->params.emplace_back(key ? key : "", value ? value : "");
    return MHD_YES;
  }

  static MHD_Result OnRequest(void* cls, MHD_Connection* c, const char* url, const char* method, const char* version,
                              const char*, size_t* uploadBytes, void** context) {
    Daemon& d = *static_cast<Daemon*>(cls);
    Impl& impl = *d.impl;
    auto* request = static_cast<Request*>(*context);
    Connection* connection = ConnectionOf(c);
    if (!request) return MHD_NO;
    if (!request->started) {
      // The head has arrived: the limits that need only the head.
      request->started = true;
      if (connection) connection->headDone = true;
      // The library keeps the request line in its read buffer, the target just before the version:
      // a target that reads shorter than that gap held a NUL byte, which would cut it short.
      if (request->target && version && version > request->target &&
          static_cast<size_t>(version - request->target) <= HeadLimitBytes &&
          static_cast<size_t>(version - request->target) != request->targetBytes + 1) {
        impl.Log("http: refused a request target with a NUL byte");
        return impl.Answered(c, Refuse(c, 400, "malformed request line"));
      }
      if (request->targetBytes > TargetLimitBytes) {
        impl.Log("http: refused a request target of " + std::to_string(request->targetBytes) + " bytes");
        return impl.Answered(c, Refuse(c, 414, "request target too long"));
      }
      const char* length = MHD_lookup_connection_value(c, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
      if (length && std::strtoull(length, nullptr, 10) > BodyLimitBytes) {
        impl.Log("http: refused a body of " + std::string(length).substr(0, 20) + " bytes");
        return impl.Answered(c, Refuse(c, 413, "request too large"));
      }
      return MHD_YES;
    }
    if (*uploadBytes > 0) {
      // A body without a length (chunked) that passes the limit: the library takes a reply only
      // before the body or after all of it, so the connection is closed with none.
      request->bodyBytes += *uploadBytes;
      *uploadBytes = 0;
      if (request->bodyBytes <= BodyLimitBytes) return MHD_YES;
      impl.Log("http: closed a connection whose body passed " + std::to_string(BodyLimitBytes) + " bytes");
      return MHD_NO;
    }
    if (request->replied) {
      if (connection) connection->suspended = false;
      const ServiceReply& r = request->reply;
      return Queue(c, r.Status, r.ContentType, r.Body, r.Headers);
    }
    if (std::strcmp(method, MHD_HTTP_METHOD_GET) != 0 && std::strcmp(method, MHD_HTTP_METHOD_HEAD) != 0) {
      impl.Log("http: refused the method " + std::string(method).substr(0, 20));
      return impl.Answered(c, Refuse(c, 405, "method not allowed"));
    }

    request->path = url ? url : "";
    MHD_get_connection_values(c, MHD_GET_ARGUMENT_KIND, &CollectParam, request);
    const MHD_ConnectionInfo* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    request->address = AddressText(info ? info->client_addr : nullptr);
    if (!impl.options.TrustedProxy.empty() && request->address == impl.options.TrustedProxy)
      request->address = ProxiedClient(c, request->address);
    if (!ScoreService::MayWaitForHashing(request->path)) {
      const ServiceReply r = impl.service.Handle(request->path, request->params, request->address);
      return impl.Answered(c, Queue(c, r.Status, r.ContentType, r.Body, r.Headers));
    }
    // A login or an upload: a worker computes its reply while the connection waits, suspended.
    {
      std::lock_guard<std::mutex> lock(impl.jobsMutex);
      if (impl.jobs.size() >= impl.options.QueuedLimit) {
        impl.Log("http: " + std::to_string(impl.jobs.size()) + " requests wait for a worker; refused one more");
        return impl.Answered(c, Refuse(c, 503, "server busy"));
      }
      if (connection) connection->answering = connection->suspended = true;
      ++d.computing;
      MHD_suspend_connection(c);
      impl.jobs.push_back(Job{&d, c, request});
    }
    impl.jobsChanged.notify_one();
    return MHD_YES;
  }

  MHD_Result Answered(MHD_Connection* c, MHD_Result queued) {
    if (Connection* connection = ConnectionOf(c)) connection->answering = true;
    return queued;
  }

  // ---- Workers ----
  static void* WorkerMain(void* arg) {
    Impl& impl = *static_cast<Impl*>(arg);
    for (;;) {
      Job job{};
      {
        std::unique_lock<std::mutex> lock(impl.jobsMutex);
        impl.jobsChanged.wait(lock, [&] { return impl.quitting || !impl.jobs.empty(); });
        if (impl.jobs.empty()) return nullptr;
        job = impl.jobs.front();
        impl.jobs.pop_front();
      }
      Request& r = *job.request;
      r.reply = impl.service.Handle(r.path, r.params, r.address);
      r.replied = true;
      // Back to the event loop, which queues the reply; only the loop's thread touches the
      // connection's record, so it is marked resumed there (OnRequest sees replied).
      MHD_resume_connection(job.connection);
      const uint64_t one = 1;
      [[maybe_unused]] const ssize_t put = ::write(job.daemon->wakeFd, &one, sizeof one);
      --job.daemon->computing;
    }
  }

  void StartWorkers() {
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    if (options.ThreadStackBytes > 0) pthread_attr_setstacksize(&attr, options.ThreadStackBytes);
    for (size_t i = 0; i < std::max<size_t>(options.Workers, 1); ++i) {
      pthread_t thread;
      if (pthread_create(&thread, &attr, &WorkerMain, this) == 0) workers.push_back(thread);
    }
    pthread_attr_destroy(&attr);
  }

  void StopWorkers() {
    {
      std::lock_guard<std::mutex> lock(jobsMutex);
      quitting = true;
    }
    jobsChanged.notify_all();
    for (pthread_t thread : workers) pthread_join(thread, nullptr);
    workers.clear();
  }
};

ScoreHttpServer::ScoreHttpServer(ScoreService& service, FrontOptions options)
    : impl_(std::make_unique<Impl>(service, options)) {
  impl_->StartWorkers();
}

ScoreHttpServer::~ScoreHttpServer() {
  Stop();
  {
    std::unique_lock<std::mutex> lock(impl_->mutex);
    impl_->runEnded.wait(lock, [this] { return !impl_->running; });
  }
  impl_->Finish(impl_->listening);
  impl_->Finish(impl_->answering);
  impl_->StopWorkers();
}

int ScoreHttpServer::Bind(const std::string& address, int port) {
  if (impl_->listening.mhd || port < 0 || port > 65535) return -1;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  if (::getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 || !found) return -1;
  const bool v6 = found->ai_family == AF_INET6;
  MHD_Daemon* d = impl_->Start(impl_->listening, v6 ? MHD_USE_IPv6 : 0, found->ai_addr);
  ::freeaddrinfo(found);
  if (!d) return -1;
  const MHD_DaemonInfo* info = MHD_get_daemon_info(d, MHD_DAEMON_INFO_BIND_PORT);
  return info ? info->port : port;
}

bool ScoreHttpServer::Run() {
  Impl& impl = *impl_;
  Impl::Daemon& d = impl.listening;
  {
    std::lock_guard<std::mutex> lock(impl.mutex);
    if (impl.stopping) return true;
    if (!d.mhd || impl.running) return false;
    impl.running = true;
  }
  auto stopping = [&impl] {
    std::lock_guard<std::mutex> lock(impl.mutex);
    return impl.stopping;
  };
  while (!stopping()) {
    Impl::RunOnce(d, LoopWaitMs);
    impl.Sweep(d);
  }
  // No new connections; those under way end within their time limit.
  const MHD_socket listener = MHD_quiesce_daemon(d.mhd);
  if (listener != MHD_INVALID_SOCKET) ::close(listener);
  while (!d.connections.empty()) {
    Impl::RunOnce(d, LoopWaitMs);
    impl.Sweep(d);
  }
  impl.Finish(d);
  {
    std::lock_guard<std::mutex> lock(impl.mutex);
    impl.running = false;
  }
  impl.runEnded.notify_all();
  return true;
}

void ScoreHttpServer::Stop() {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->stopping = true;  // Run sees it within LoopWaitMs, or returns at once when it comes
}

std::string ScoreHttpServer::Answer(const std::vector<std::string>& pieces) {
  Impl& impl = *impl_;
  std::lock_guard<std::mutex> answerLock(impl.answerMutex);
  Impl::Daemon& d = impl.answering;
  if (!d.mhd && !impl.Start(d, MHD_USE_NO_LISTEN_SOCKET, nullptr)) return "";
  int pair[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, pair) != 0) return "";
  const int client = pair[0], server = pair[1];
  sockaddr_in from{};
  from.sin_family = AF_INET;
  from.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (MHD_add_connection(d.mhd, server, reinterpret_cast<sockaddr*>(&from), sizeof from) != MHD_YES) {
    ::close(client);
    return "";
  }
  // The pieces go out one at a time, the loop run after each; once the library has read them all
  // and still waits for the rest of the request, the client closes its side, as a client that has
  // nothing more to send would.
  std::string reply;
  size_t piece = 0, at = 0;
  bool closedSide = false;
  const int64_t deadline = SteadyMs() + AnswerLimitMs;
  while (SteadyMs() < deadline) {
    if (piece < pieces.size()) {
      const std::string& p = pieces[piece];
      const ssize_t n = at < p.size() ? ::send(client, p.data() + at, p.size() - at, MSG_NOSIGNAL) : 0;
      if (n > 0) at += static_cast<size_t>(n);
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) piece = pieces.size();  // the server has closed
      if (at >= p.size()) ++piece, at = 0;
    }
    MHD_run_wait(d.mhd, piece < pieces.size() ? 0 : 1);
    char buffer[4096];
    ssize_t n;
    while ((n = ::recv(client, buffer, sizeof buffer, 0)) > 0) reply.append(buffer, static_cast<size_t>(n));
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) break;  // the server closed the connection
    if (piece >= pieces.size() && !closedSide) {
      int unread = 0;
      bool answering = false;
      for (const Connection* c : d.connections)
        if (c->fd == server) answering = c->answering;
      if (::ioctl(client, SIOCOUTQ, &unread) == 0 && unread == 0 && !answering) {
        ::shutdown(client, SHUT_WR);
        closedSide = true;
      }
    }
  }
  ::close(client);
  MHD_run_wait(d.mhd, 0);  // the library notices the close
  return reply;
}
