// Any bytes as a request arriving at the score server, in pieces of sizes the first byte chooses:
//   - the reader's result does not depend on how the bytes were cut into pieces;
//   - it never takes more than RequestLimitBytes, and refuses exactly the requests longer than that;
//   - its head has no lone LF, ends at its first CR LF CR LF, and says the same as the bytes
//     received once each CR before an LF is dropped; what follows the head passes unchanged;
//   - a head with lone LFs and the same head with CR LF read alike, and the front answers both alike;
//   - the front answers with a status line or not at all, refuses "too large" only what is too large,
//     and the service never sees a request whose target passes TargetLimitBytes or whose head
//     passed RequestLimitBytes.
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <memory>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "server/http_front.h"
#include "server/score_service.h"
#include "test_game/test_game.h"

namespace {

struct Read {
  std::string Parsed;  // everything the library would parse
  size_t HeadBytes = 0;
  bool HeadEnded = false, TooLarge = false;
  size_t Received = 0;
};

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

Read ReadAll(const std::vector<std::string>& pieces) {
  RequestReader reader;
  Read out;
  for (const std::string& piece : pieces) {
    const bool taken = reader.Take(piece);
    Check(reader.Received() <= RequestLimitBytes);
    Check(taken != reader.TooLarge());
    if (!taken) break;
    char buffer[512];
    while (reader.Waiting()) out.Parsed.append(buffer, reader.Read(buffer, sizeof buffer));
  }
  out.HeadBytes = reader.HeadBytes();
  out.HeadEnded = reader.HeadEnded();
  out.TooLarge = reader.TooLarge();
  out.Received = reader.Received();
  return out;
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

// The body of a reply, after its head.
std::string ReplyBodyOf(const std::string& reply) {
  const size_t at = reply.find("\r\n\r\n");
  return at == std::string::npos ? std::string() : reply.substr(at + 4);
}

// True when the reply came from the score service rather than from the library's refusals (every
// answer of the service has a body; a reply to HEAD has none and counts as neither).
bool ServiceAnswered(const std::string& reply) {
  const std::string body = ReplyBodyOf(reply);
  return IsStatusLine(reply) && !body.empty() && body.rfind("REFUSED: HTTP status", 0) != 0 &&
         body.rfind("REFUSED: request too large", 0) != 0 && body.rfind("REFUSED: internal error", 0) != 0;
}

// The front over a service with a database in memory, for the whole run. The lone-LF and the CR LF
// forms of every request go to two fronts of their own: since both forms read alike, both services
// see the same requests in the same order and must answer alike.
struct Front {
  Front() {
    ServiceOptions options;
    options.DatabasePath = ":memory:";
    options.Games = {&TestGameIdentity};
    options.LightHashing = true;
    options.Log = [](const std::string&) {};
    service = std::make_unique<ScoreService>(options);
    Check(service->Ready());
    server = std::make_unique<ScoreHttpServer>(*service);
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

  // The reader, whole and in pieces.
  const Read whole = ReadAll(Pieces(bytes, 0));
  const Read cutUp = ReadAll(Pieces(bytes, cut));
  Check(whole.TooLarge == (bytes.size() > RequestLimitBytes));
  Check(cutUp.TooLarge == (bytes.size() > RequestLimitBytes));
  if (!whole.TooLarge) {
    Check(cutUp.Parsed == whole.Parsed && cutUp.HeadBytes == whole.HeadBytes && cutUp.HeadEnded == whole.HeadEnded);
    Check(whole.Received == bytes.size());
    const std::string head = whole.Parsed.substr(0, whole.HeadEnded ? whole.HeadBytes : std::string::npos);
    const std::string rest = whole.Parsed.substr(head.size());
    for (size_t i = 0; i < head.size(); ++i)
      if (head[i] == '\n') Check(i > 0 && head[i - 1] == '\r');
    const size_t end = head.find("\r\n\r\n");
    Check(whole.HeadEnded ? end + 4 == head.size() : end == std::string::npos);
    Check(bytes.size() >= rest.size() && bytes.compare(bytes.size() - rest.size(), rest.size(), rest) == 0);
    Check(DropCrBeforeLf(head) == DropCrBeforeLf(bytes.substr(0, bytes.size() - rest.size())));
  }

  // The same request with every CR left out, its head once with lone LFs and once with CR LF.
  std::string lf;
  for (char c : bytes)
    if (c != '\r') lf.push_back(c);
  const size_t lfEnd = lf.find("\n\n");
  const size_t lfHead = lfEnd == std::string::npos ? lf.size() : lfEnd + 2;
  std::string crlf;
  for (size_t i = 0; i < lfHead; ++i) crlf += lf[i] == '\n' ? "\r\n" : std::string(1, lf[i]);
  crlf += lf.substr(lfHead);
  if (crlf.size() > RequestLimitBytes) return 0;
  const Read fromLf = ReadAll(Pieces(lf, cut));
  const Read fromCrlf = ReadAll(Pieces(crlf, cut));
  Check(fromLf.Parsed == fromCrlf.Parsed && fromLf.HeadBytes == fromCrlf.HeadBytes);
  Check(fromLf.HeadEnded == (lfEnd != std::string::npos));

  // The front: the lone-LF and the CR LF request answered alike, each by a fresh service.
  static Front forLf, forCrlf, forPadded;
  const std::string replyLf = forLf.Answer(Pieces(lf, cut));
  const std::string replyCrlf = forCrlf.Answer(Pieces(crlf, cut));
  Check(replyLf == replyCrlf);
  Check(replyLf.empty() || IsStatusLine(replyLf));
  Check(ReplyBodyOf(replyLf).rfind("REFUSED: request too large", 0) != 0);
  if (ServiceAnswered(replyLf)) {
    Check(fromLf.HeadEnded);
    // The target is the second word of the request line.
    const std::string line = fromLf.Parsed.substr(0, fromLf.Parsed.find("\r\n"));
    const size_t from = line.find_first_not_of(' ', line.find(' '));
    const size_t to = line.find(' ', from);
    Check(from != std::string::npos && (to == std::string::npos ? line.size() : to) - from <= TargetLimitBytes);
  }

  // The bytes as they came, then one piece of padding that passes the limit: the service answers
  // only when the head ended before it.
  std::vector<std::string> padded = Pieces(bytes, cut);
  padded.push_back(std::string(RequestLimitBytes + 1 - std::min(bytes.size(), RequestLimitBytes), 'x'));
  const Read paddedRead = ReadAll(padded);
  Check(paddedRead.TooLarge);
  const std::string reply = forPadded.Answer(padded);
  Check(reply.empty() || IsStatusLine(reply));
  if (ServiceAnswered(reply)) Check(paddedRead.HeadEnded);
  return 0;
}
