// A score server's reply as the client reads it from the socket: bytes arriving in pieces of any
// size, a size cap, and the way the reading ended. The reader's promises are checked, not only that
// it ends: the pieces do not change the verdict, a reply over the cap or one that did not end by
// the server's orderly close is "", and a reply that counts keeps every byte but CR, with no final LF.
//
// Input: byte 0 how the reading ends (bits 0-1: closed, broken, timed out, closed), whether the
// rest is framed as a reply of known status and Content-Length (bit 2), how many promised body
// bytes never came (bits 3-4) and the status (bits 5-7); byte 1 the cap (16 to 4096 bytes); byte 2
// how many piece sizes follow (1 to 8); those sizes (1 to 256 bytes); then the reply's bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "online/online.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

constexpr int Statuses[8] = {200, 404, 301, 500, 503, 599, 499, 600};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const ReplyEnd ends[4] = {ReplyEnd::Closed, ReplyEnd::Broken, ReplyEnd::TimedOut, ReplyEnd::Closed};
  const ReplyEnd end = ends[data[0] & 3];
  const bool framed = (data[0] & 4) != 0;
  const size_t missing = (data[0] >> 3) & 3;
  const int status = Statuses[data[0] >> 5];
  const size_t cap = 16 + size_t{data[1]} * 16;
  size_t at = 3;
  std::vector<size_t> sizes;
  for (size_t k = 0; k < size_t{data[2]} % 8 + 1 && at < size; ++k) sizes.push_back(size_t{data[at++]} + 1);
  if (sizes.empty()) return 0;
  const std::string payload(reinterpret_cast<const char*>(data) + at, size - at);
  std::string whole = payload;
  if (framed)
    whole = "HTTP/1.0 " + std::to_string(status) + " X\r\nContent-Length: " +
            std::to_string(payload.size() + missing) + "\r\n\r\n" + payload;

  // In pieces: every piece is taken until the cap is passed, and none after that.
  ReplyReader pieces(cap);
  size_t fed = 0;
  for (size_t i = 0; fed < whole.size(); ++i) {
    const size_t n = std::min(sizes[i % sizes.size()], whole.size() - fed);
    Check(pieces.Take(std::string_view(whole).substr(fed, n)) == (fed + n <= cap));
    fed += n;
  }
  std::string why;
  const std::string reply = pieces.Finish(end, why);

  // In one piece: the same verdict.
  ReplyReader one(cap);
  one.Take(whole);
  std::string whyWhole;
  Check(one.Finish(end, whyWhole) == reply && whyWhole == why);

  Check(reply.size() <= cap);
  Check(reply.find('\r') == std::string::npos && reply.find('\0') == std::string::npos);
  if (!why.empty()) Check(reply.empty());
  // Only the server's orderly close ends a reply, and only within the cap.
  if (end != ReplyEnd::Closed || whole.size() > cap) Check(reply.empty() && !why.empty());

  // A reply that counts is its bytes with CR dropped and a zero byte ending a line, less the one
  // LF that ends its last line.
  if (why.empty()) {
    std::string plain;
    for (char c : whole)
      if (c != '\r') plain.push_back(c == '\0' ? '\n' : c);
    Check(!plain.empty() && plain.back() == '\n' ? plain == reply + "\n" : plain == reply);
  }

  // A framed reply counts exactly when its whole body came and its status is below 500.
  if (framed && end == ReplyEnd::Closed && whole.size() <= cap) {
    const bool counts = missing == 0 && (status < 500 || status > 599);
    Check(why.empty() == counts && reply.empty() == !counts);
  }
  return 0;
}
