#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "core/core.h"
#include "online/online.h"
#include "scores/scores.h"
#include "server/http_front.h"
#include "server/score_service.h"
#include "support/test_support.h"

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
    ServiceOptions options;
    options.DatabasePath = dir.file("scores.db");
    options.LightHashing = true;
    options.Log = [](const std::string&) {};
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

  TempDir dir;
  std::unique_ptr<ScoreService> service;
  std::unique_ptr<ScoreHttpServer> front;
  int port = 0;
  std::thread serving;
};

TEST_F(HttpFrontTest, EightClientsAtOnce) {
  // Eight players log in at the same moment under one new name (one registers it, the others find
  // it), then each registers a name of its own and uploads a record, all in the game's own requests.
  const std::string shared = Scramble("Racer|secret", GameCode);
  const std::string sharedLogin = "/enscore/login.php?week=278&input=" + Scramble("Racer|" + shared, "");
  std::vector<std::string> raceReplies(8), ownReplies(8), uploadReplies(8);
  std::vector<std::thread> clients;
  for (int i = 0; i < 8; ++i) {
    const std::string user = "Player" + std::to_string(i);
    const std::string token = Scramble(user + "|password", GameCode);
    Scores record;
    record.Score = 1000 * (i + 1);
    record.Name = user;
    record.Timestamp = i;
    record.GameMode = 1;
    const std::string login = "/enscore/login.php?week=278&input=" + Scramble(user + "|" + token, "");
    const std::string upload =
        "/enscore/scores.php?Week=278&Input=" + Scramble(user + "|" + token + "|" + UploadLine(record), "");
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
  const std::vector<std::shared_ptr<Scores>> table = ReadOnlineTable(GameGet("/enscore/tables/278/1.txt"));
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
      {"the game's request", "GET //enscore/tables/278/1.txt HTTP/1.0\nHost: x\nUser-Agent: KavrelThttp/1.0\n\n\r\n",
       "HTTP/1.1 404 Not Found"},
      {"an ordinary request", "GET /enscore/tables/278/1.txt HTTP/1.0\r\n\r\n", "HTTP/1.1 404 Not Found"},
      {"garbage", "\x01\x02\x03 nonsense\n\n", "HTTP/1.1 400 Bad Request"},
      {"another method", "DELETE /enscore/tables/278/1.txt HTTP/1.0\n\n", "HTTP/1.1 404"},
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
  EXPECT_NE(Upper(GameGet("/enscore/tables/278/1.txt")).find("<HEAD>"), std::string::npos);
}
