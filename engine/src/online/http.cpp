// The HTTP/1.0 client: one request over one TCP connection, written byte for byte as the score
// servers expect it, with time limits on every wait and a cap on the reply's size.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "core/core.h"
#include "online/online.h"

namespace {

// ---- Waiting ---------------------------------------------------------------------------------------
// Milliseconds of the steady clock. Socket waits are measured in real time: the server is real even
// when a test fakes the program's clock.
int64_t SteadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Runs the wait callback that keeps the window answering.
void KeepAnswering() {
  if (Online.WhileWaiting) Online.WhileWaiting();
}

// The length of the next slice of a wait that ends at deadline.
int SliceMs(int64_t deadline) {
  const int64_t left = deadline - SteadyMs();
  return static_cast<int>(std::clamp<int64_t>(left, 0, std::max(1, Online.WaitSliceMs)));
}

// Waits until the socket is ready for events, in slices with the window pumped between them.
// 1 ready (or in error, which the next call reports), 0 when the deadline passed.
int WaitFor(int fd, short events, int64_t deadline) {
  for (;;) {
    if (SteadyMs() >= deadline) return 0;
    pollfd p{fd, events, 0};
    const int r = ::poll(&p, 1, SliceMs(deadline));
    if (r > 0) return 1;
    if (r < 0 && errno != EINTR) return 1;
    KeepAnswering();
  }
}

// The score server as the log names it.
std::string ServerName(const std::string& host) { return host + ":" + std::to_string(Online.ServerPort); }

// ---- Resolving ------------------------------------------------------------------------------------
struct Address {
  sockaddr_storage addr{};
  socklen_t length = 0;
  int family = 0;
};

// A name lookup running on a helper thread, shared with it so that a lookup given up on can still
// finish safely: the system's resolver has no time limit of its own.
struct Lookup {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  std::vector<Address> addresses;
};

// The addresses of a getaddrinfo answer, IPv4 first (the servers this client was made for listen there).
std::vector<Address> AddressesOf(const addrinfo* list) {
  std::vector<Address> out;
  for (const addrinfo* a = list; a; a = a->ai_next) {
    if ((a->ai_family != AF_INET && a->ai_family != AF_INET6) || a->ai_addrlen > sizeof(sockaddr_storage)) continue;
    Address address;
    std::memcpy(&address.addr, a->ai_addr, a->ai_addrlen);
    address.length = static_cast<socklen_t>(a->ai_addrlen);
    address.family = a->ai_family;
    out.push_back(address);
  }
  std::stable_partition(out.begin(), out.end(), [](const Address& a) { return a.family == AF_INET; });
  return out;
}

// getaddrinfo for TCP on a port; flags AI_NUMERICHOST answers at once without a lookup. Runs on the
// helper thread too, so it reads nothing of the program's state.
std::vector<Address> GetAddrInfo(const std::string& host, const std::string& port, int flags) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = flags;
  addrinfo* list = nullptr;
  if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &list) != 0) return {};
  std::vector<Address> out = AddressesOf(list);
  ::freeaddrinfo(list);
  return out;
}

// The host's addresses, or none when the name is unknown or the lookup outlasts its time limit.
// A numeric address needs no lookup; a name is looked up on a helper thread that is abandoned
// (it ends by itself later) when the time runs out.
std::vector<Address> Resolve(const std::string& host, int64_t deadline) {
  const std::string port = std::to_string(Online.ServerPort);
  std::vector<Address> numeric = GetAddrInfo(host, port, AI_NUMERICHOST);
  if (!numeric.empty()) return numeric;
  auto lookup = std::make_shared<Lookup>();
  try {
    std::thread([lookup, host, port] {
      std::vector<Address> found = GetAddrInfo(host, port, 0);
      std::lock_guard<std::mutex> lock(lookup->mutex);
      lookup->addresses = std::move(found);
      lookup->finished = true;
      lookup->done.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    DebugLine("\tScore server " + ServerName(host) + ": no thread for the name lookup");
    return {};
  }
  deadline = std::min(deadline, SteadyMs() + Online.ResolveLimitMs);
  std::unique_lock<std::mutex> lock(lookup->mutex);
  while (!lookup->finished) {
    if (SteadyMs() >= deadline) {
      DebugLine("\tScore server " + ServerName(host) + ": name lookup timed out");
      return {};
    }
    lookup->done.wait_for(lock, std::chrono::milliseconds(SliceMs(deadline)));
    if (!lookup->finished) {
      lock.unlock();
      KeepAnswering();
      lock.lock();
    }
  }
  if (lookup->addresses.empty()) DebugLine("\tScore server " + ServerName(host) + ": unknown host");
  return lookup->addresses;
}

// ---- Connecting -----------------------------------------------------------------------------------
// A connected non-blocking socket, or -1 when the address does not answer before the deadline.
int ConnectTo(const Address& address, int64_t deadline) {
  const int fd = ::socket(address.family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address.addr), address.length) == 0) return fd;
  if (errno == EINPROGRESS && WaitFor(fd, POLLOUT, deadline) == 1) {
    int error = 0;
    socklen_t length = sizeof(error);
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0) return fd;
  }
  ::close(fd);
  return -1;
}

// ---- Sending and receiving ------------------------------------------------------------------------
// Sends all bytes; false when the connection breaks or the server stops taking them in time.
bool SendAll(int fd, std::string_view bytes, int64_t deadline) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) &&
        WaitFor(fd, POLLOUT, std::min(deadline, SteadyMs() + Online.ReadLimitMs)) == 1)
      continue;
    return false;
  }
  return true;
}

// Reads until the server closes the connection, the connection breaks, the server falls silent
// for ReadLimitMs, the request's deadline passes, or the reader refuses a reply that outgrew its limit.
ReplyEnd ReceiveAll(int fd, ReplyReader& reader, int64_t deadline) {
  char buffer[16384];
  for (;;) {
    if (WaitFor(fd, POLLIN, std::min(deadline, SteadyMs() + Online.ReadLimitMs)) == 0) return ReplyEnd::TimedOut;
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n == 0) return ReplyEnd::Closed;
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
      return ReplyEnd::Broken;
    }
    // A refused reply stays refused whatever follows: no need to read on.
    if (!reader.Take(std::string_view(buffer, static_cast<size_t>(n)))) return ReplyEnd::Closed;
  }
}

// ---- Reply checks ---------------------------------------------------------------------------------
// The reply's lines as the reply text splits them: a line ends at LF or at a zero byte; CR does
// not count. Calls line(text, end) for each, end being the offset just past its line end, until
// line returns false. A last line without an ending is passed too, with end = bytes.size().
template <typename LineFn>
void ForEachLine(std::string_view bytes, LineFn line) {
  std::string text;
  for (size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '\n' || c == '\0') {
      if (!line(text, i + 1)) return;
      text.clear();
    } else if (c != '\r') {
      text.push_back(c);
    }
  }
  if (!text.empty()) line(text, bytes.size());
}

// The status code of a status line "HTTP/<version> <code> <text>", or 0 when the line is none.
int StatusCode(std::string_view line) {
  if (line.substr(0, 5) != "HTTP/") return 0;
  size_t at = line.find(' ');
  if (at == std::string_view::npos) return 0;
  while (at < line.size() && line[at] == ' ') ++at;
  int code = 0;
  for (int k = 0; k < 3; ++k, ++at) {
    if (at >= line.size() || line[at] < '0' || line[at] > '9') return 0;
    code = code * 10 + (line[at] - '0');
  }
  return at < line.size() && line[at] != ' ' ? 0 : code;
}

// The value of a "Content-Length:" header line, or -1 when the line is another header or the value
// is not a plain decimal number. Large values saturate (no reply reaches them).
int64_t ContentLength(std::string_view line) {
  constexpr std::string_view name = "Content-Length:";
  if (!StartsWithNoCase(line, name)) return -1;
  const std::string value = Trim(line.substr(name.size()));
  if (value.empty()) return -1;
  int64_t length = 0;
  for (char c : value) {
    if (c < '0' || c > '9') return -1;
    length = std::min<int64_t>(length * 10 + (c - '0'), int64_t{1} << 40);
  }
  return length;
}

// The hex digit's value, or -1.
int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

// ---- Thttp ----------------------------------------------------------------------------------------
Thttp::~Thttp() { Close(); }

int Thttp::Open(const std::string& hostName, int autoCloseAfter) {
  Close();
  const int64_t start = SteadyMs();
  deadline_ = start + Online.RequestLimitMs;
  if (hostName.empty()) return 0;
  const std::vector<Address> addresses = Resolve(hostName, deadline_);
  if (addresses.empty()) return 0;
  const int64_t connectDeadline = std::min(deadline_, SteadyMs() + Online.ConnectLimitMs);
  for (const Address& address : addresses) {
    sock = ConnectTo(address, connectDeadline);
    if (sock >= 0) break;
    if (SteadyMs() >= connectDeadline) break;
  }
  if (sock < 0) {
    DebugLine("\tScore server " + ServerName(hostName) + ": could not connect");
    return 0;
  }
  host = hostName;
  autoClose = autoCloseAfter;
  return 1;
}

std::string Thttp::Exchange(const std::string& request) {
  if (sock < 0) return "";
  // A server may answer and close before it has taken the whole request: what it sent still counts.
  if (!SendAll(sock, request, deadline_))
    DebugLine("\tScore server " + ServerName(host) + ": the request could not be sent whole");
  ReplyReader reader(Online.ReplyLimitBytes);
  const ReplyEnd end = ReceiveAll(sock, reader, deadline_);
  if (autoClose != 0) Close();
  std::string failure;
  std::string reply = reader.Finish(end, failure);
  if (!failure.empty()) DebugLine("\tScore server " + ServerName(host) + ": " + failure);
  return reply;
}

// The request is one text line: its own line breaks are lone LFs, and the line ends with CR LF.
std::string Thttp::GetRequest(const std::string& url) const {
  return "GET /" + url + " HTTP/1.0\nHost: " + host + "\nUser-Agent: " + agent + "\n\n\r\n";
}

std::string Thttp::Get(const std::string& url) { return Exchange(GetRequest(url)); }

std::string Thttp::Post(const std::string& url, const std::vector<std::string>& keys,
                        const std::vector<std::string>& values) {
  std::string body;
  const size_t pairs = std::min(keys.size(), values.size());
  for (size_t i = 0; i < pairs; ++i) {
    if (i > 0) body += "&";
    body += UrlEncode(keys[i]) + "=" + UrlEncode(values[i]);
  }
  // The CR LF that ends the text line follows the body and is not counted in its length.
  return Exchange("POST /" + url + " HTTP/1.0\nHost: " + host + "\nUser-Agent: " + agent +
                  "\nContent-Length: " + std::to_string(body.size()) +
                  "\nContent-Type: application/x-www-form-urlencoded\n\n" + body + "\r\n");
}

void Thttp::Close() {
  if (sock >= 0) ::close(sock);
  sock = -1;
}

std::string Thttp::UrlEncode(std::string_view text) {
  static constexpr char digits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    const bool keep = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '+' ||
                      c == '-' || c == '.' || c == '_';
    if (keep) {
      out.push_back(ch);
    } else {
      out.push_back('%');
      out.push_back(digits[c >> 4]);
      out.push_back(digits[c & 15]);
    }
  }
  return out;
}

std::string Thttp::UrlDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
      out.push_back(static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
      i += 2;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

std::string ReplyText(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    if (c == '\r') continue;
    out.push_back(c == '\0' ? '\n' : c);
  }
  // Every line read gets an LF; the last one is taken off again.
  if (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

// ---- ReplyReader ----------------------------------------------------------------------------------
bool ReplyReader::Take(std::string_view piece) {
  if (tooLarge_) return false;
  if (bytes_.size() + piece.size() > limit_) {
    tooLarge_ = true;
    std::string().swap(bytes_);
    return false;
  }
  bytes_.append(piece);
  return true;
}

std::string ReplyReader::Finish(ReplyEnd end, std::string& failure) const {
  failure.clear();
  if (tooLarge_) {
    failure = "reply over " + std::to_string(limit_) + " bytes refused";
    return "";
  }
  if (end == ReplyEnd::TimedOut) {
    failure = bytes_.empty() ? "no reply in time" : "reply cut off, no more bytes in time";
    return "";
  }
  if (end == ReplyEnd::Broken) {
    failure = "the connection broke before the reply was complete";
    return "";
  }
  // The status line, the headers up to the first empty line, and where the body starts.
  int status = 0;
  int64_t promised = -1;
  size_t bodyStart = bytes_.size();
  bool first = true;
  ForEachLine(bytes_, [&](const std::string& line, size_t next) {
    if (first) {
      first = false;
      status = StatusCode(line);
      if (line.empty()) bodyStart = next;
      return !line.empty();
    }
    if (line.empty()) {
      bodyStart = next;
      return false;
    }
    if (promised < 0) promised = ContentLength(line);
    return true;
  });
  if (status >= 500 && status <= 599) {
    failure = "server error " + std::to_string(status);
    return "";
  }
  const int64_t body = static_cast<int64_t>(bytes_.size() - bodyStart);
  if (promised > body) {
    failure = "reply cut short, " + std::to_string(body) + " of " + std::to_string(promised) + " body bytes";
    return "";
  }
  return ReplyText(bytes_);
}
