#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "fake_server.h"
#include "input/input.h"
#include "core/core.h"
#include "online/online.h"
#include "support/test_support.h"

namespace {

using Clock = std::chrono::steady_clock;

int64_t MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// A loopback port with nothing listening on it.
int ClosedPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof addr;
  ::bind(fd, reinterpret_cast<sockaddr*>(&addr), length);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length);
  ::close(fd);
  return ntohs(addr.sin_port);
}

}  // namespace

class HttpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetAllState();
    Online.ReadLimitMs = 300;
    Online.RequestLimitMs = 600;
  }
};

TEST_F(HttpTest, RequestsGoOutByteForByte) {
  FakeServer server(FakeServer::Answer(FakeServer::Ok("fine")));
  Online.ServerPort = server.port();

  Thttp get;
  ASSERT_EQ(get.Open("127.0.0.1", 1), 1);
  EXPECT_EQ(get.Get("/enscore/tables/900/1.txt"), "HTTP/1.0 200 OK\nContent-Type: text/plain\n\nfine");
  EXPECT_EQ(get.sock, -1) << "autoClose closes after the reply";

  Thttp post;
  ASSERT_EQ(post.Open("localhost", 0), 1);  // a name, looked up on the helper thread
  EXPECT_NE(post.Post("/form", {"name", "a b&c"}, {"Jos\xE9", "+-._"}), "");
  EXPECT_NE(post.sock, -1) << "without autoClose the caller closes";
  post.Close();

  const std::vector<std::string> requests = server.requests();
  ASSERT_EQ(requests.size(), 2u);
  // Header lines apart by a lone LF, LF LF then CR LF at the end, two slashes before the target.
  EXPECT_EQ(requests[0], "GET //enscore/tables/900/1.txt HTTP/1.0\nHost: 127.0.0.1\nUser-Agent: KavrelThttp/1.0\n\n\r\n");
  EXPECT_EQ(requests[1],
            "POST //form HTTP/1.0\nHost: localhost\nUser-Agent: KavrelThttp/1.0\nContent-Length: 26\n"
            "Content-Type: application/x-www-form-urlencoded\n\nname=Jos%E9&a%20b%26c=+-._\r\n");
}

TEST_F(HttpTest, RepliesComeBackAsLinesJoinedByLf) {
  struct Case {
    std::string sent, got;
  };
  const Case cases[] = {
      // Status line, one header, an empty line and two body lines, the last without an ending.
      {"HTTP/1.0 200 OK\r\nServer: x\r\n\r\nline one\r\nline two", "HTTP/1.0 200 OK\nServer: x\n\nline one\nline two"},
      {"", ""},
      {"a\r\n", "a"},
      {"a\n\n", "a\n"},
      {std::string("a\0b\r\rc", 6), "a\nbc"},  // a zero byte ends a line; CR is dropped anywhere
      {"\xFF\x80|\x01", "\xFF\x80|\x01"},       // every byte one character
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReplyText(c.sent), c.got);
    FakeServer server(FakeServer::Answer(c.sent));
    Online.ServerPort = server.port();
    Thttp http;
    ASSERT_EQ(http.Open("127.0.0.1", 1), 1);
    EXPECT_EQ(http.Get("/x"), c.got) << "over the wire";
  }
}

// A reply counts only when the server ends it by closing the connection in order, with every byte
// its Content-Length promised and a status below 500; anything else is no reply at all, as from a
// server that cannot be reached, and leaves one line in the log.
TEST_F(HttpTest, ACutOrFailedReplyIsNoReply) {
  TempDir dir;
  const std::string table = "1|Ann|0|5|0|1|0|0\n1|2|3\n12345|Bob|0|6|0|1|0|0\n0|0";
  const std::string page = "<html><head><title>404 Not Found</title></head></html>";
  const std::string cutTable = table.substr(0, table.find("12345") + 2);  // ends in "12"
  const std::string length = "\r\nContent-Length: ";
  struct Case {
    std::string what;
    FakeServer::Handler handler;
    std::string got;     // "" for no reply
    std::string logged;  // after "\tScore server 127.0.0.1:PORT: "; "" for nothing logged
  };
  const Case cases[] = {
      {"complete, with its length", FakeServer::Answer("HTTP/1.0 200 OK" + length + "49\r\n\r\n" + table),
       "HTTP/1.0 200 OK\nContent-Length: 49\n\n" + table, ""},
      {"complete, no length", FakeServer::Answer(FakeServer::Ok(table)),
       "HTTP/1.0 200 OK\nContent-Type: text/plain\n\n" + table, ""},
      {"missing table page", FakeServer::Answer("HTTP/1.0 404 Not Found\r\ncontent-length:  54 \r\n\r\n" + page),
       "HTTP/1.0 404 Not Found\ncontent-length:  54 \n\n" + page, ""},
      {"cut mid-line, then silence", FakeServer::Stall(FakeServer::Ok(cutTable)), "",
       "reply cut off, no more bytes in time"},
      {"silence from the start", FakeServer::Stall(""), "", "no reply in time"},
      {"body shorter than its length", FakeServer::Answer("HTTP/1.0 200 OK" + length + "50\r\n\r\n" + table), "",
       "reply cut short, 49 of 50 body bytes"},
      {"cut inside the headers", FakeServer::Answer("HTTP/1.0 200 OK" + length + "49\r\nServer: x"), "",
       "reply cut short, 0 of 49 body bytes"},
      {"500 page", FakeServer::Answer("HTTP/1.0 500 Internal Server Error\r\n\r\nInternal error"), "",
       "server error 500"},
      {"503 page", FakeServer::Answer("HTTP/1.1 503 Service Unavailable" + length + "4\r\n\r\nBusy"), "",
       "server error 503"},
      {"reset mid-body", FakeServer::Reset(FakeServer::Ok(cutTable)), "",
       "the connection broke before the reply was complete"},
  };
  for (const Case& c : cases) {
    FakeServer server(c.handler);
    Online.ServerPort = server.port();
    ASSERT_TRUE(OpenDebugLog(dir.file("Debug.txt")));  // a fresh log for each case (every line is flushed)
    Thttp http;
    ASSERT_EQ(http.Open("127.0.0.1", 1), 1) << c.what;
    EXPECT_EQ(http.Get("/x"), c.got) << c.what;
    std::vector<std::string> logged;
    for (const std::string& line : ReadLines(dir.file("Debug.txt")))
      if (line.rfind("\tScore server ", 0) == 0) logged.push_back(line);
    const std::string prefix = "\tScore server 127.0.0.1:" + std::to_string(server.port()) + ": ";
    EXPECT_EQ(logged, c.logged.empty() ? std::vector<std::string>{} : std::vector<std::string>{prefix + c.logged})
        << c.what;
  }
  CloseDebugLog();
}

TEST_F(HttpTest, ServersThatFailGiveNothingWithinTheTimeLimit) {
  // No server, an unknown name, nobody listening: Open fails and nothing is sent.
  for (const std::string host : {"", "no-such-host.invalid"}) {
    Thttp http;
    EXPECT_EQ(http.Open(host, 1), 0) << host;
    EXPECT_EQ(http.Get("/x"), "");
  }
  Online.ServerPort = ClosedPort();
  Thttp refused;
  EXPECT_EQ(refused.Open("127.0.0.1", 1), 0);
  // A name lookup that outlasts its limit is given up on (its helper thread finishes alone).
  Online.ResolveLimitMs = 0;
  Thttp abandoned;
  EXPECT_EQ(abandoned.Open("localhost", 1), 0);
  Online.ResolveLimitMs = 3000;

  // A server that takes the request and never answers: the window is pumped while the client
  // waits, and the request gives up after its limit.
  FakeServer silent([&](int, const std::string&) {
    while (silent.running()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  });
  Online.ServerPort = silent.port();
  int pumps = 0;
  Input.EventScript = [&] { ++pumps; };
  const auto start = Clock::now();
  Thttp http;
  ASSERT_EQ(http.Open("127.0.0.1", 1), 1);
  EXPECT_EQ(http.Get("/x"), "");
  const int64_t took = MsSince(start);
  EXPECT_GE(took, Online.ReadLimitMs - 50);
  EXPECT_LT(took, Online.RequestLimitMs + 2000) << "a generous bound: the limit, not the speed, is checked";
  EXPECT_GE(pumps, 3) << "the window answers while the request waits";
}

TEST_F(HttpTest, AHugeReplyIsRefusedWithoutBeingHeld) {
  Online.RequestLimitMs = 20000;
  Online.ReadLimitMs = 5000;
  std::atomic<int64_t> sent{0};
  const int64_t total = int64_t{100} << 20;
  {
    // 100 MB streamed in 64 kB pieces, never held whole by either side.
    FakeServer flood([&](int fd, const std::string&) {
      const std::string piece = std::string(65535, 'x') + "\n";
      if (!FakeServer::WriteAll(fd, "HTTP/1.0 200 OK\r\n\r\n")) return;
      while (sent < total && FakeServer::WriteAll(fd, piece)) sent += static_cast<int64_t>(piece.size());
    });
    Online.ServerPort = flood.port();
    Thttp http;
    ASSERT_EQ(http.Open("127.0.0.1", 1), 1);
    EXPECT_EQ(http.Get("/x"), "");
  }
  EXPECT_LT(sent.load(), int64_t{32} << 20) << "the client stopped reading soon after its cap";
}

TEST(UrlCoding, EncodesAllButLettersDigitsAndFourMarksAndDecodesBack) {
  EXPECT_EQ(Thttp::UrlEncode("a b&c"), "a%20b%26c");
  EXPECT_EQ(Thttp::UrlEncode("AZaz09+-._"), "AZaz09+-._");
  EXPECT_EQ(Thttp::UrlEncode("\xE9/%"), "%E9%2F%25");
  std::string every;
  for (int c = 0; c < 256; ++c) every.push_back(static_cast<char>(c));
  EXPECT_EQ(Thttp::UrlDecode(Thttp::UrlEncode(every)), every);
  // Lower-case digits decode too; a "%" without two hex digits after it stays as it is.
  EXPECT_EQ(Thttp::UrlDecode("%e9%4a+"), "\xE9J+");
  EXPECT_EQ(Thttp::UrlDecode("100%"), "100%");
  EXPECT_EQ(Thttp::UrlDecode("%4"), "%4");
  EXPECT_EQ(Thttp::UrlDecode("%GG%%41"), "%GG%A");
}

TEST(ScoreServerAddress, HostAndOptionalPort) {
  struct Case {
    std::string text;
    bool ok;
    std::string host;
    int port;
  };
  const Case cases[] = {
      {"scores.example.org", true, "scores.example.org", 80},
      {"127.0.0.1:8080", true, "127.0.0.1", 8080},
      {"[::1]:99", true, "::1", 99},
      {"[::1]", true, "::1", 80},
      {"", false, "", 0},       {":80", false, "", 0},        {"host:", false, "", 0},
      {"host:0", false, "", 0}, {"host:65536", false, "", 0}, {"host:8x", false, "", 0},
      {"::1", false, "", 0},    {"[::1", false, "", 0},       {"[::1]x", false, "", 0},
  };
  for (const Case& c : cases) {
    ResetOnlineState();
    EXPECT_EQ(SetScoreServer(c.text), c.ok) << c.text;
    EXPECT_EQ(Online.ServerHost, c.ok ? c.host : "") << c.text;
    EXPECT_EQ(Online.ServerPort, c.ok ? c.port : 80) << c.text;
  }
}
