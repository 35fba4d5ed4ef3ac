// Any bytes as a request arriving at the score server, in pieces of sizes the first byte chooses,
// answered by the whole HTTP front (ScoreHttpServer::Answer: the library, the limits, the handlers
// and the refusals, through a socket pair):
//   - the reply does not depend on how the bytes were cut into pieces;
//   - a head with lone LFs and the same head with CR LF are answered alike;
//   - the front answers with a status line or not at all;
//   - the service answers only a request whose request line has ended and whose target is within
//     TargetLimitBytes; the front's refusal of a long target goes only to a request longer than that.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "server/http_front.h"
#include "server/score_service.h"
#include "test_game/test_game.h"

namespace {

// Cuts text into pieces whose sizes cycle through a pattern chosen by cut (1 to 16 bytes, or all at once).
std::vector<std::string> Pieces(const std::string& text, uint8_t cut) {
  std::vector<std::string> pieces;
  if (cut == 0) {
    if (!text.empty()) pieces.push_back(text);
    return pieces;
  }
  for (size_t at = 0, i = 0; at < text.size(); ++i) {
    const size_t n = 1 + ((cut >> (i % 4)) + i) % 16;
    pieces.push_back(text.substr(at, n));
    at += n;
  }
  return pieces;
}

// The text with the CR in front of each LF dropped.
std::string DropCrBeforeLf(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out.push_back(text[i]);
  return out;
}

bool IsStatusLine(const std::string& reply) {
  if (reply.size() < 12 || (reply.compare(0, 9, "HTTP/1.0 ") != 0 && reply.compare(0, 9, "HTTP/1.1 ") != 0))
    return false;
  for (size_t i = 9; i < 12; ++i)
    if (reply[i] < '0' || reply[i] > '9') return false;
  return true;
}

std::string HeadOf(const std::string& reply) { return reply.substr(0, reply.find("\r\n\r\n")); }

// The body of a reply, after its head.
std::string BodyOf(const std::string& reply) {
  const size_t at = reply.find("\r\n\r\n");
  return at == std::string::npos ? std::string() : reply.substr(at + 4);
}

// The reply without its Date line (two replies a second apart differ in it).
std::string Dateless(const std::string& reply) {
  const size_t at = reply.find("\r\nDate: ");
  if (at == std::string::npos || at > reply.find("\r\n\r\n")) return reply;
  return reply.substr(0, at) + reply.substr(reply.find("\r\n", at + 2));
}

// True when the reply came from the score service: its replies, and only its, name the charset
// (the front's own refusals are plain text without one, the library's have no content type).
bool ServiceAnswered(const std::string& reply) {
  return IsStatusLine(reply) && HeadOf(reply).find("charset=ISO-8859-1") != std::string::npos;
}

// The front over a service with a database in memory, for the whole run. Each form of a request
// goes to a front of its own: since the forms must be answered alike, every service sees the same
// requests in the same order and must answer alike.
struct Front {
  Front() {
    ServiceOptions options;
    options.DatabasePath = ":memory:";
    options.Games = {&TestGameIdentity};
    options.LightHashing = true;
    options.Log = [](const std::string&) {};
    service = std::make_unique<ScoreService>(options);
    Check(service->Ready());
    FrontOptions front;
    front.Log = [](const std::string&) {};
    server = std::make_unique<ScoreHttpServer>(*service, front);
  }
  std::string Answer(const std::vector<std::string>& pieces) { return server->Answer(pieces); }
  std::unique_ptr<ScoreService> service;
  std::unique_ptr<ScoreHttpServer> server;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t cut = data[0];
  const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  static Front whole, cutUp, forLf, forCrlf;

  // The bytes as they are, whole and cut into pieces.
  const std::string replyWhole = whole.Answer(Pieces(bytes, 0));
  const std::string replyCut = cutUp.Answer(Pieces(bytes, cut));
  Check(Dateless(replyWhole) == Dateless(replyCut));
  Check(replyWhole.empty() || IsStatusLine(replyWhole));
  // The request line as the library reads it: lines end in LF or CR LF, and empty lines (or lines
  // that start with a NUL byte, which ends a line's text) before it are skipped. Where the head
  // ends is the library's own reading (a NUL byte or a line that starts with ':' may end it), so
  // only the request line is checked: the service never acts on one cut short or too long.
  const std::string plain = DropCrBeforeLf(bytes);
  size_t requestLine = 0;
  while (requestLine < plain.size() && (plain[requestLine] == '\n' || plain[requestLine] == '\0')) {
    const size_t next = plain.find('\n', requestLine);
    requestLine = next == std::string::npos ? plain.size() : next + 1;
  }
  if (ServiceAnswered(replyWhole)) {
    const size_t lineEnd = plain.find('\n', requestLine);
    Check(lineEnd != std::string::npos);
    // The target lies between the first and the last space of the request line.
    const std::string line = plain.substr(requestLine, lineEnd - requestLine);
    const size_t from = line.find(' ');
    const size_t to = line.rfind(' ');
    Check(from != std::string::npos && to > from && to - from - 1 <= TargetLimitBytes);
  }
  const std::string body = BodyOf(replyWhole);
  if (!ServiceAnswered(replyWhole) && body == "REFUSED: request target too long") Check(plain.size() > TargetLimitBytes);

  // The same request with every CR left out, its head once with lone LFs and once with CR LF.
  std::string lf;
  for (char c : bytes)
    if (c != '\r') lf.push_back(c);
  const size_t lfEnd = lf.find("\n\n");
  const size_t lfHead = lfEnd == std::string::npos ? lf.size() : lfEnd + 2;
  std::string crlf;
  for (size_t i = 0; i < lfHead; ++i) crlf += lf[i] == '\n' ? "\r\n" : std::string(1, lf[i]);
  crlf += lf.substr(lfHead);
  // Heads near the limit may fit in one form and not in the other.
  if (crlf.size() > HeadLimitBytes / 2) return 0;
  const std::string replyLf = forLf.Answer(Pieces(lf, cut));
  const std::string replyCrlf = forCrlf.Answer(Pieces(crlf, cut));
  Check(Dateless(replyLf) == Dateless(replyCrlf));
  Check(replyLf.empty() || IsStatusLine(replyLf));
  if (ServiceAnswered(replyLf)) Check(lf.find('\n') != std::string::npos);
  return 0;
}
