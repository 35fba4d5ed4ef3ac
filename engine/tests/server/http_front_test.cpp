#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "hashing_hold.h"

#include "core/core.h"
#include "online/online.h"
#include "scores/scores.h"
#include "server/http_front.h"
#include "server/score_service.h"
#include "support/test_support.h"
#include "test_game/test_game.h"

namespace {

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// A connection to the loopback port from the address from (127.0.0.0/8: each a client of its
// own); -1 when it could not connect.
int Connect(int port, const char* from = "127.0.0.1") {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  ::inet_pton(AF_INET, from, &local.sin_addr);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(port));
  if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Everything the server sends on fd until it closes the connection (or a minute passes).
std::string ReadToClose(int fd) {
  std::string reply;
  char buffer[4096];
  const int64_t deadline = NowMs() + 60000;
  while (NowMs() < deadline) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 100) == 0) continue;
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    reply.append(buffer, static_cast<size_t>(n));
  }
  return reply;
}

// Sends bytes on a fresh connection and returns everything the server answers before closing.
std::string Exchange(int port, const std::string& bytes, const char* from = "127.0.0.1") {
  const int fd = Connect(port, from);
  if (fd < 0) return "";
  ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
  const std::string reply = ReadToClose(fd);
  ::close(fd);
  return reply;
}

// The reply without its Date line (which may differ between two replies a second apart).
std::string Dateless(const std::string& reply) {
  const size_t at = reply.find("\r\nDate: ");
  if (at == std::string::npos) return reply;
  return reply.substr(0, at) + reply.substr(reply.find("\r\n", at + 2));
}

const std::string GameTableRequest =
    "GET //enscore/tables/900/1.txt HTTP/1.0\nHost: x\nUser-Agent: KavrelThttp/1.0\n\n\r\n";

// Header lines of 7 kB each, 70 kB in all.
std::string HugeHead() {
  std::string head;
  for (int i = 0; i < 10; ++i) head += "X-Pad-" + std::to_string(i) + ": " + std::string(7000, 'h') + "\n";
  return head;
}

// One GET exactly as the game sends it; the reply's body.
std::string GameGet(const std::string& target) {
  Thttp http;
  std::string reply;
  if (http.Open("127.0.0.1", 0)) reply = http.Get(target);
  http.Close();
  return ReplyBody(reply);
}

}  // namespace

// The service behind the library's HTTP server on a loopback port, served on a thread of the test.
class HttpFrontTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetAllState();
    BuildDefaultKey();
    Serve(HashLimits{});
  }
  // Serves a fresh service with these limits (over the same file) behind a front with these
  // options; loopback tests open more connections than one client would, so the per-address cap
  // is raised unless a test sets its own.
  void Serve(const HashLimits& limits, FrontOptions frontOptions = LoopbackFront()) {
    TearDown();
    front.reset();
    service.reset();
    ServiceOptions options;
    options.DatabasePath = dir.file("scores.db");
    options.Games = {&TestGameIdentity};
    options.LightHashing = true;
    options.Limits = limits;
    options.Log = [](const std::string&) {};
    options.WhileHashing = [this] {
      if (whileHashing) whileHashing();
    };
    service = std::make_unique<ScoreService>(options);
    ASSERT_TRUE(service->Ready());
    frontOptions.Log = [this](const std::string& line) {
      std::lock_guard<std::mutex> lock(logMutex);
      frontLog.push_back(line);
    };
    front = std::make_unique<ScoreHttpServer>(*service, frontOptions);
    port = front->Bind("127.0.0.1", 0);
    ASSERT_GT(port, 0);
    // The event loop on a thread of the given stack size (0: the default).
    serveStack = frontOptions.ThreadStackBytes;
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    if (serveStack > 0) pthread_attr_setstacksize(&attr, serveStack);
    ASSERT_EQ(pthread_create(&serving, &attr, &RunFront, front.get()), 0);
    pthread_attr_destroy(&attr);
    runningFront = true;
    Online.ServerHost = "127.0.0.1";
    Online.ServerPort = port;
    Online.WhileWaiting = nullptr;  // the clients below run on threads of their own
  }
  void TearDown() override {
    if (front) front->Stop();
    if (runningFront) pthread_join(serving, nullptr);
    runningFront = false;
  }
  static FrontOptions LoopbackFront() {
    FrontOptions o;
    o.ConnectionsPerAddress = 2000;
    return o;
  }
  static void* RunFront(void* front) {
    static_cast<ScoreHttpServer*>(front)->Run();
    return nullptr;
  }
  bool Logged(const std::string& part) {
    std::lock_guard<std::mutex> lock(logMutex);
    for (const std::string& line : frontLog)
      if (line.find(part) != std::string::npos) return true;
    return false;
  }

  std::function<void()> whileHashing;  // runs in each hashing slot
  TempDir dir;
  std::unique_ptr<ScoreService> service;
  std::unique_ptr<ScoreHttpServer> front;
  int port = 0;
  pthread_t serving{};
  bool runningFront = false;
  size_t serveStack = 0;
  std::mutex logMutex;
  std::vector<std::string> frontLog;
};

TEST_F(HttpFrontTest, EightClientsAtOnce) {
  // Eight players log in at the same moment under one new name (one registers it, the others find
  // it), then each registers a name of its own and uploads a record, all in the game's own requests.
  const std::string shared = Scramble("Racer|secret", ThisIdentity().GameCode);
  const std::string sharedLogin = "/enscore/login.php?week=900&input=" + Scramble("Racer|" + shared, "");
  std::vector<std::string> raceReplies(8), ownReplies(8), uploadReplies(8);
  std::vector<std::thread> clients;
  for (int i = 0; i < 8; ++i) {
    const std::string user = "Player" + std::to_string(i);
    const std::string token = Scramble(user + "|password", ThisIdentity().GameCode);
    Scores record;
    record.Score = 1000 * (i + 1);
    record.Name = user;
    record.Timestamp = i;
    record.GameMode = 1;
    const std::string login = "/enscore/login.php?week=900&input=" + Scramble(user + "|" + token, "");
    const std::string upload =
        "/enscore/scores.php?Week=900&Input=" + Scramble(user + "|" + token + "|" + UploadLine(record), "");
    clients.emplace_back([&, i, login, upload] {
      raceReplies[i] = GameGet(sharedLogin);
      ownReplies[i] = GameGet(login);
      uploadReplies[i] = GameGet(upload);
    });
  }
  for (std::thread& t : clients) t.join();

  EXPECT_EQ(std::count(raceReplies.begin(), raceReplies.end(), "Welcome!|"), 1);
  EXPECT_EQ(std::count(raceReplies.begin(), raceReplies.end(), "Password Correct|"), 7);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(ownReplies[i], "Welcome!|") << i;
    EXPECT_EQ(uploadReplies[i], "OK") << i;
  }
  const std::vector<std::shared_ptr<Scores>> table = ReadOnlineTable(GameGet("/enscore/tables/900/1.txt"));
  ASSERT_EQ(table.size(), 8u);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(table[i]->Score, 1000 * (8 - i));
    EXPECT_EQ(table[i]->Name, "Player" + std::to_string(7 - i));
  }
}

TEST_F(HttpFrontTest, MalformedAndOversizedRequestsAreRefused) {
  struct Case {
    std::string what, request, statusLine;
  };
  const Case cases[] = {
      {"the game's request", "GET //enscore/tables/900/1.txt HTTP/1.0\nHost: x\nUser-Agent: KavrelThttp/1.0\n\n\r\n",
       "HTTP/1.1 404 Not Found"},
      {"an ordinary request", "GET /enscore/tables/900/1.txt HTTP/1.0\r\n\r\n", "HTTP/1.1 404 Not Found"},
      {"any number of slashes", "GET ////enscore/tables/900/1.txt HTTP/1.0\n\n", "HTTP/1.1 404 Not Found"},
      {"garbage", "\x01\x02\x03 nonsense\n\n", "HTTP/1.1 400 Bad Request"},
      {"no version", "GET /enscore/tables/900/1.txt\n\n", "HTTP/1.1 400"},
      {"a NUL byte in the target", std::string("GET /enscore/tables/900/1.txt") + '\0' + "x HTTP/1.0\n\n", "HTTP/1.1 400"},
      {"another method", "DELETE /enscore/tables/900/1.txt HTTP/1.0\n\n", "HTTP/1.1 405"},
      {"a long target", "GET /" + std::string(TargetLimitBytes, 'a') + " HTTP/1.0\n\n", "HTTP/1.1 414"},
      {"a long query", "GET /enscore/login.php?input=" + std::string(TargetLimitBytes, 'a') + " HTTP/1.0\n\n",
       "HTTP/1.1 414"},
      {"a header line too long", "GET / HTTP/1.0\nX: " + std::string(70000, 'h') + "\n\n", "HTTP/1.1 431"},
      {"a head too large", "GET / HTTP/1.0\n" + HugeHead() + "\n", "HTTP/1.1 431"},
      {"a request line too large", "GET /" + std::string(100000, 'a') + " HTTP/1.0\n\n", "HTTP/1.1 414"},
      {"a body too large", "POST /x HTTP/1.0\nContent-Length: 100000\n\n" + std::string(100000, 'b'), "HTTP/1.1 413"},
      {"a body too large without a length",
       "POST /x HTTP/1.1\nHost: x\nTransfer-Encoding: chunked\n\n2000\r\n" + std::string(0x2000, 'b') + "\r\n0\r\n\r\n",
       ""},  // closed without a reply
  };
  for (const Case& c : cases) {
    const std::string reply = Exchange(port, c.request);
    EXPECT_EQ(reply.substr(0, c.statusLine.size()), c.statusLine) << c.what << ": " << reply.substr(0, 200);
    if (c.statusLine.empty()) {
      EXPECT_EQ(reply, "") << c.what;
    }
  }
  // Still serving.
  EXPECT_NE(Upper(GameGet("/enscore/tables/900/1.txt")).find("<HEAD>"), std::string::npos);
}

TEST_F(HttpFrontTest, AnswersRequestsGivenAsBytesLikeSockets) {
  // The game's request one byte at a time, the same with CR LF in one piece, and one too large.
  const std::string game = GameTableRequest;
  std::vector<std::string> bytes;
  for (char c : game) bytes.push_back(std::string(1, c));
  const std::string lf = front->Answer(bytes);
  const std::string crlf = front->Answer({"GET //enscore/tables/900/1.txt HTTP/1.0\r\nHost: x\r\n"
                                          "User-Agent: KavrelThttp/1.0\r\n\r\n\r\n"});
  EXPECT_EQ(lf.substr(0, 22), "HTTP/1.1 404 Not Found");
  EXPECT_NE(Upper(lf).find("<HEAD>"), std::string::npos);
  EXPECT_EQ(Dateless(lf), Dateless(crlf));
  EXPECT_EQ(Dateless(lf), Dateless(Exchange(port, game)));
  const std::string large = front->Answer({"GET / HTTP/1.0\n", HugeHead(), "\n"});
  EXPECT_EQ(large.substr(0, 12), "HTTP/1.1 431");
  // A request that never ends, and no request at all: the connection closes without a reply.
  EXPECT_EQ(front->Answer({"GET //enscore/tables/900/1.txt HTTP/1.0\n"}), "");
  EXPECT_EQ(front->Answer({}), "");
  // A login is answered by a worker while its connection waits.
  const std::string login = front->Answer({"GET /enscore/login.php?week=900&input=x HTTP/1.0\n\n"});
  EXPECT_EQ(login.substr(0, 12), "HTTP/1.1 400") << login;
}

// A burst of new names at once, more than the hashing queue holds: with the hashes held, those past
// the queue are answered 503 straight away and a table download is answered meanwhile; once hashing
// goes on, every queued login is welcomed.
TEST_F(HttpFrontTest, ABurstOfLoginsLeavesTablesAnsweredAndTurnsAwayWhatTheQueueCannotHold) {
  HashLimits limits;
  limits.HashesAtOnce = 2;
  limits.Queue = 6;
  limits.WaitMs = 600000;  // the queued ones wait for the test to let hashing go on
  limits.PerAddress = 1000;
  limits.NewNamesPerHour = 1000;
  Serve(limits);
  HashingHold hold;
  whileHashing = [&hold] { hold.Enter(); };

  constexpr int Logins = 20, Queued = 2 + 6;
  std::mutex mutex;
  std::condition_variable answered;
  std::vector<std::string> replies(Logins);
  int busy = 0;
  std::vector<std::thread> clients;
  for (int i = 0; i < Logins; ++i) {
    const std::string user = "Burst" + std::to_string(i);
    const std::string token = Scramble(user + "|password", ThisIdentity().GameCode);
    const std::string request = "GET //enscore/login.php?week=900&input=" + Scramble(user + "|" + token, "") +
                                " HTTP/1.0\nHost: x\nUser-Agent: KavrelThttp/1.0\n\n\r\n";
    clients.emplace_back([&, i, request] {
      const std::string reply = Exchange(port, request);
      std::lock_guard<std::mutex> lock(mutex);
      replies[i] = reply;
      if (reply.rfind("HTTP/1.1 503", 0) == 0) ++busy;
      answered.notify_all();
    });
  }
  ASSERT_TRUE(hold.WaitInside(2));
  {
    std::unique_lock<std::mutex> lock(mutex);
    const bool turnedAway = answered.wait_for(lock, std::chrono::seconds(60), [&] { return busy == Logins - Queued; });
    EXPECT_TRUE(turnedAway) << busy << " answered 503";
  }
  // A table download, sent while both hashes are still held.
  const std::string table = GameGet("/enscore/tables/900/1.txt");
  EXPECT_NE(Upper(table).find("<HEAD>"), std::string::npos) << table;
  EXPECT_EQ(hold.Inside(), 2) << "the table was answered while hashing was busy";
  hold.Open();
  for (std::thread& t : clients) t.join();

  int welcomed = 0;
  std::string known;  // a name the burst registered
  for (int i = 0; i < Logins; ++i) {
    const std::string& reply = replies[i];
    if (reply.rfind("HTTP/1.1 200", 0) == 0) {
      EXPECT_EQ(reply.substr(reply.find("\r\n\r\n") + 4), "Welcome!|");
      ++welcomed;
      known = "Burst" + std::to_string(i);
    } else {
      EXPECT_EQ(reply.rfind("HTTP/1.1 503", 0), 0u) << reply;
      EXPECT_NE(reply.find("REFUSED: server busy"), std::string::npos) << reply;
    }
  }
  EXPECT_EQ(welcomed, Queued);
  EXPECT_EQ(GameGet("/enscore/login.php?week=900&input=" +
                    Scramble(known + "|" + Scramble(known + "|password", ThisIdentity().GameCode), "")),
            "Password Correct|");
}

// Connections that send nothing, or one byte now and then, hold no one up: while they are open the
// game's table request and a login are each answered within a second (a front with a thread per
// connection answers them only once those close, many seconds later).
TEST_F(HttpFrontTest, IdleAndTricklingConnectionsDelayNoOne) {
  struct Case {
    const char* what;
    int idle, trickling;
  };
  const Case cases[] = {{"8 idle", 8, 0}, {"8 trickling", 0, 8}, {"200 idle and 8 trickling", 200, 8}};
  const std::string login = "/enscore/login.php?week=900&input=" +
                            Scramble("Patient|" + Scramble("Patient|password", ThisIdentity().GameCode), "");
  for (const Case& c : cases) {
    std::vector<int> idle, trickling;
    for (int i = 0; i < c.idle; ++i) idle.push_back(Connect(port));
    for (int i = 0; i < c.trickling; ++i) trickling.push_back(Connect(port));
    std::atomic<bool> done{false};
    std::thread trickle([&] {
      const std::string head = "GET /enscore/tables/900/1.txt HTTP/1.0\nX: " + std::string(100, 'a');
      for (size_t at = 0; !done && at < head.size(); ++at) {
        for (int fd : trickling) ::send(fd, &head[at], 1, MSG_NOSIGNAL);
        for (int i = 0; i < 10 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the slow clients are in
    for (const std::string& target : {std::string("/enscore/tables/900/1.txt"), login}) {
      const int64_t start = NowMs();
      const std::string reply = GameGet(target);
      const int64_t took = NowMs() - start;
      EXPECT_FALSE(reply.empty()) << c.what << ": " << target.substr(0, 30);
      EXPECT_LT(took, 1000) << c.what << ": " << target.substr(0, 30);
    }
    done = true;
    trickle.join();
    for (int fd : idle) EXPECT_GE(fd, 0) << c.what;
    for (int fd : idle) ::close(fd);
    for (int fd : trickling) ::close(fd);
  }
}

// A connection that has not sent its whole head within the head limit is closed, whether it sends
// nothing, part of a head, or one byte after another; a complete head is answered.
TEST_F(HttpFrontTest, ConnectionsWithoutACompleteHeadAreClosedAfterTheHeadLimit) {
  FrontOptions options = LoopbackFront();
  options.HeadLimitMs = 1000;
  Serve(HashLimits{}, options);
  struct Case {
    const char* what;
    std::string first;
    bool trickles;
  };
  const Case cases[] = {
      {"nothing", "", false},
      {"part of a head", "GET /enscore/tables/900/1.txt HTTP/1.0\nHost: x\n", false},
      {"a byte every 100 ms", "GET /enscore/tables/900/1.txt HTTP/1.0\nX: ", true},
  };
  std::vector<int> fds;
  std::vector<int64_t> closedAfter(std::size(cases), -1);
  const int64_t start = NowMs();
  for (const Case& c : cases) {
    fds.push_back(Connect(port));
    ::send(fds.back(), c.first.data(), c.first.size(), MSG_NOSIGNAL);
  }
  const std::string answered = Exchange(port, GameTableRequest);  // meanwhile, a whole request
  EXPECT_EQ(answered.substr(0, 12), "HTTP/1.1 404") << answered.substr(0, 100);
  while (NowMs() - start < 8000 && std::count(closedAfter.begin(), closedAfter.end(), -1) > 0) {
    for (size_t i = 0; i < fds.size(); ++i) {
      if (closedAfter[i] >= 0) continue;
      if (cases[i].trickles) ::send(fds[i], "a", 1, MSG_NOSIGNAL);
      pollfd p{fds[i], POLLIN, 0};
      char byte;
      if (::poll(&p, 1, 0) > 0 && ::recv(fds[i], &byte, 1, MSG_DONTWAIT) <= 0) closedAfter[i] = NowMs() - start;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  for (size_t i = 0; i < fds.size(); ++i) {
    // Closed by the head limit: not before it, and well before the 10 s limit of a connection.
    EXPECT_GE(closedAfter[i], 900) << cases[i].what;
    EXPECT_LE(closedAfter[i], 5000) << cases[i].what;
    ::close(fds[i]);
  }
  EXPECT_TRUE(Logged("without a complete head"));
}

// One address holds at most its cap of connections at once: one more is closed as it comes, while
// other addresses are answered; once one of its connections ends, it is answered again.
TEST_F(HttpFrontTest, OneAddressHoldsNoMoreConnectionsThanItsCap) {
  FrontOptions options = LoopbackFront();
  options.ConnectionsPerAddress = 4;
  Serve(HashLimits{}, options);
  std::vector<int> held;
  for (int i = 0; i < 4; ++i) {
    held.push_back(Connect(port, "127.0.0.2"));
    ASSERT_GE(held.back(), 0);
    ::send(held.back(), "GET /", 5, MSG_NOSIGNAL);
  }
  EXPECT_EQ(Exchange(port, GameTableRequest, "127.0.0.2"), "") << "one over the cap";
  for (const char* other : {"127.0.0.3", "127.0.0.1"})
    EXPECT_EQ(Exchange(port, GameTableRequest, other).substr(0, 12), "HTTP/1.1 404") << other;
  ::close(held.back());
  held.pop_back();
  std::string again;
  for (int tries = 0; tries < 100 && again.empty(); ++tries) {
    again = Exchange(port, GameTableRequest, "127.0.0.2");
    if (again.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_EQ(again.substr(0, 12), "HTTP/1.1 404") << "below the cap again";
  EXPECT_TRUE(Logged("connection limit"));
  for (int fd : held) ::close(fd);
}

// Range headers are not honoured: a thousand ranges, or one, get the whole table with status 200,
// exactly the reply without the header.
TEST_F(HttpFrontTest, RangeHeadersGetTheWholeReply) {
  const std::string token = Scramble("Ranger|password", ThisIdentity().GameCode);
  Scores record;
  record.Score = 5000;
  record.Name = "Ranger";
  record.GameMode = 1;
  ASSERT_EQ(GameGet("/enscore/login.php?week=900&input=" + Scramble("Ranger|" + token, "")), "Welcome!|");
  ASSERT_EQ(GameGet("/enscore/scores.php?week=900&input=" + Scramble("Ranger|" + token + "|" + UploadLine(record), "")),
            "OK");
  const std::string plain = Exchange(port, GameTableRequest);
  ASSERT_EQ(plain.substr(0, 15), "HTTP/1.1 200 OK") << plain.substr(0, 100);
  std::string flood = "bytes=0-";
  for (int i = 1; i < 1000; ++i) flood += ",0-";
  for (const std::string& range : {flood, std::string("bytes=0-9"), std::string("bytes=-1")}) {
    const std::string ranged =
        Exchange(port, "GET //enscore/tables/900/1.txt HTTP/1.0\nHost: x\nRange: " + range + "\n\n\r\n");
    EXPECT_EQ(Dateless(ranged), Dateless(plain)) << range.substr(0, 20);
    EXPECT_EQ(ranged.size(), plain.size()) << range.substr(0, 20);
  }
}

// A path of 4 000 characters, or a query of as many, with 256 kB stacks for the event loop and the
// workers: each answered with a refusal, and the server goes on.
TEST_F(HttpFrontTest, LongPathsAreAnsweredWithSmallThreadStacks) {
  FrontOptions options = LoopbackFront();
  options.ThreadStackBytes = 256 * 1024;
  Serve(HashLimits{}, options);
  ASSERT_EQ(serveStack, 256u * 1024);
  struct Case {
    std::string what, target, statusLine;
  };
  const Case cases[] = {
      {"a long path", "/" + std::string(4000, 'a'), "HTTP/1.1 404"},
      {"a long table path", "/enscore/tables/900/" + std::string(4000, '1') + ".txt", "HTTP/1.1 400"},
      {"many slashes", std::string(4000, '/') + "enscore/tables/900/1.txt", "HTTP/1.1 404"},
      {"a long login", "/enscore/login.php?week=900&input=" + std::string(4000, 'A'), "HTTP/1.1 400"},
      {"a long upload", "/enscore/scores.php?week=900&input=" + std::string(4000, '%'), "HTTP/1.1 400"},
  };
  for (const Case& c : cases) {
    const std::string reply = Exchange(port, "GET " + c.target + " HTTP/1.0\nHost: x\n\n\r\n");
    EXPECT_EQ(reply.substr(0, c.statusLine.size()), c.statusLine) << c.what << ": " << reply.substr(0, 100);
  }
  EXPECT_EQ(Exchange(port, GameTableRequest).substr(0, 12), "HTTP/1.1 404");
}

// Behind a trusted proxy the limits per address count the client it names in X-Real-IP; from any
// other peer the header is ignored, so a client cannot name itself someone else. One hash a
// minute per address: a second login counted under the same address gets 429.
TEST_F(HttpFrontTest, AProxyNamesItsClientsAndNoOtherPeerCan) {
  HashLimits oneHash;
  oneHash.PerAddress = 1;
  struct Case {
    const char* proxy;  // the front's trusted proxy ("" none)
    const char* from;   // the peer the requests come from
    const char* first;  // the X-Real-IP of the first login and of the second
    const char* second;
    int secondStatus;
  } cases[] = {
      {"127.0.0.1", "127.0.0.1", "203.0.113.9", "203.0.113.10", 200},   // two clients of the proxy
      {"127.0.0.1", "127.0.0.1", "203.0.113.9", "203.0.113.9", 429},    // one client twice
      {"127.0.0.1", "127.0.0.1", "2001:db8::1", "2001:db8:0:1::1", 200},  // IPv6 clients in two /64s
      {"127.0.0.1", "127.0.0.2", "203.0.113.9", "203.0.113.10", 429},   // not the proxy: the peer counts
      {"", "127.0.0.1", "203.0.113.9", "203.0.113.10", 429},            // no proxy trusted
      {"127.0.0.1", "127.0.0.1", "not an address", "", 429},            // the proxy's own address
  };
  for (const Case& c : cases) {
    FrontOptions options = LoopbackFront();
    options.TrustedProxy = c.proxy;
    Serve(oneHash, options);
    int statuses[2] = {0, 0};
    for (int n = 0; n < 2; ++n) {
      ScoreLists.OnlineUser = "Proxied" + std::to_string(n);
      ScoreLists.OnlinePassword = "password";
      const std::string request = "GET /" + LoginTarget(LoginParameter()) + " HTTP/1.0\nHost: x\nX-Real-IP: " +
                                  (n == 0 ? c.first : c.second) + "\n\n\r\n";
      const std::string reply = Exchange(port, request, c.from);
      statuses[n] = reply.size() > 12 ? std::atoi(reply.substr(9, 3).c_str()) : 0;
    }
    EXPECT_EQ(statuses[0], 200) << c.proxy << " " << c.from << " " << c.first;
    EXPECT_EQ(statuses[1], c.secondStatus) << "proxy '" << c.proxy << "', from " << c.from << ", " << c.first
                                           << " then " << c.second;
  }
}
