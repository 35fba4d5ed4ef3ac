#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

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

// Sends bytes on a fresh connection and returns everything the server answers before closing.
std::string Exchange(int port, const std::string& bytes) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(port));
  std::string reply;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
    ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    char buffer[4096];
    for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) reply.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return reply;
}

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
  // Serves a fresh service with these limits (over the same file).
  void Serve(const HashLimits& limits) {
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
    front = std::make_unique<ScoreHttpServer>(*service);
    port = front->Bind("127.0.0.1", 0);
    ASSERT_GT(port, 0);
    serving = std::thread([this] { front->Run(); });
    Online.ServerHost = "127.0.0.1";
    Online.ServerPort = port;
    Online.WhileWaiting = nullptr;  // the clients below run on threads of their own
  }
  void TearDown() override {
    if (front) front->Stop();
    if (serving.joinable()) serving.join();
  }

  std::function<void()> whileHashing;  // runs in each hashing slot
  TempDir dir;
  std::unique_ptr<ScoreService> service;
  std::unique_ptr<ScoreHttpServer> front;
  int port = 0;
  std::thread serving;
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
      {"garbage", "\x01\x02\x03 nonsense\n\n", "HTTP/1.1 400 Bad Request"},
      {"another method", "DELETE /enscore/tables/900/1.txt HTTP/1.0\n\n", "HTTP/1.1 404"},
      {"a long target", "GET /" + std::string(20000, 'a') + " HTTP/1.0\n\n", "HTTP/1.1 414"},
      {"a header line too long", "GET / HTTP/1.0\nX: " + std::string(70000, 'h') + "\n\n", "HTTP/1.1 400"},
      {"a head too large", "GET / HTTP/1.0\n" + HugeHead() + "\n", "HTTP/1.1 400"},
      {"a request line too large", "GET /" + std::string(100000, 'a') + " HTTP/1.0\n\n", "HTTP/1.0 413"},
      {"a body too large", "POST /x HTTP/1.0\nContent-Length: 100000\n\n" + std::string(100000, 'b'), "HTTP/1.1 413"},
  };
  for (const Case& c : cases) {
    const std::string reply = Exchange(port, c.request);
    EXPECT_EQ(reply.substr(0, c.statusLine.size()), c.statusLine) << c.what << ": " << reply.substr(0, 200);
  }
  // Still serving.
  EXPECT_NE(Upper(GameGet("/enscore/tables/900/1.txt")).find("<HEAD>"), std::string::npos);
}

// What the library parses from pieces of a request: a lone LF of the head reads as CR LF wherever
// the pieces are cut, the head ends at its first empty line, the bytes after it pass unchanged, and
// the request is refused once more than RequestLimitBytes arrive.
TEST(RequestReaderTest, ReadsLineEndsAcrossPiecesAndKeepsTheLimit) {
  struct Case {
    std::string what;
    std::vector<std::string> pieces;
    std::string parsed;
    size_t headBytes;  // 0: the head has not ended
    bool tooLarge;
  };
  const std::string limit(RequestLimitBytes, 'a');
  const Case cases[] = {
      {"the game's request", {"GET / HTTP/1.0\nHost: x\n\n\r\n"}, "GET / HTTP/1.0\r\nHost: x\r\n\r\n\r\n", 27, false},
      {"CR and LF in two pieces", {"GET / HTTP/1.0\r", "\nHost: x\r", "\n\r", "\n"}, "GET / HTTP/1.0\r\nHost: x\r\n\r\n", 27,
       false},
      {"the empty line in two pieces", {"GET / HTTP/1.0\n", "\n", "a\nb"}, "GET / HTTP/1.0\r\n\r\na\nb", 18, false},
      {"a lone CR is no line end", {"GET / HTTP/1.0\r\r\n\n"}, "GET / HTTP/1.0\r\r\n\r\n", 19, false},
      {"no empty line yet", {"GET / HTTP/1.0\nHost: x\n"}, "GET / HTTP/1.0\r\nHost: x\r\n", 0, false},
      {"exactly the limit", {limit}, limit, 0, false},
      {"one byte past the limit", {limit, "b"}, limit, 0, true},
  };
  for (const Case& c : cases) {
    RequestReader reader;
    std::string parsed;
    for (const std::string& piece : c.pieces) {
      if (!reader.Take(piece)) break;
      char buffer[7];  // small, so that reading takes several calls
      while (reader.Waiting()) parsed.append(buffer, reader.Read(buffer, sizeof buffer));
    }
    EXPECT_EQ(parsed, c.parsed) << c.what;
    EXPECT_EQ(reader.HeadBytes(), c.headBytes) << c.what;
    EXPECT_EQ(reader.HeadEnded(), c.headBytes > 0) << c.what;
    EXPECT_EQ(reader.TooLarge(), c.tooLarge) << c.what;
    EXPECT_LE(reader.Received(), RequestLimitBytes) << c.what;
  }
}

TEST_F(HttpFrontTest, AnswersRequestsGivenAsBytesLikeSockets) {
  // The game's request one byte at a time, the same with CR LF in one piece, and one too large.
  const std::string game = "GET //enscore/tables/900/1.txt HTTP/1.0\nHost: x\nUser-Agent: KavrelThttp/1.0\n\n\r\n";
  std::vector<std::string> bytes;
  for (char c : game) bytes.push_back(std::string(1, c));
  const std::string lf = front->Answer(bytes);
  const std::string crlf = front->Answer({"GET //enscore/tables/900/1.txt HTTP/1.0\r\nHost: x\r\n"
                                          "User-Agent: KavrelThttp/1.0\r\n\r\n\r\n"});
  EXPECT_EQ(lf.substr(0, 22), "HTTP/1.1 404 Not Found");
  EXPECT_NE(Upper(lf).find("<HEAD>"), std::string::npos);
  EXPECT_EQ(lf, crlf);
  EXPECT_EQ(lf, Exchange(port, game));
  const std::string large = front->Answer({"GET /" + std::string(RequestLimitBytes, 'a') + " HTTP/1.0\n\n"});
  EXPECT_EQ(large.substr(0, 12), "HTTP/1.0 413");
  EXPECT_EQ(front->Answer({}), "");
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
