// Any bytes as a score server's reply: the client's readers end, keep the forms the title screen
// relies on, and never read an online record that could pass for a local one.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/core.h"
#include "online/online.h"
#include "scores/scores.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string reply = ReplyText(bytes);
  Check(reply.size() <= bytes.size());
  Check(reply.find('\r') == std::string::npos && reply.find('\0') == std::string::npos);
  const std::string body = ReplyBody(reply);
  Check(body.size() <= reply.size());

  if (LoginSucceeded(body)) Check(body.rfind("Welcome!", 0) == 0 || body.rfind("Password Correct", 0) == 0);
  const std::vector<std::string> motd = MotdLines(body);
  Check(motd.size() <= MotdMaxLines);
  for (const std::string& line : motd) Check(line.find('\n') == std::string::npos && line == Trim(line));

  IsMissingTable(body);
  const auto table = ReadOnlineTable(body);
  Check(table.size() <= OnlineTableEntries);
  for (const auto& r : table) {
    Check(r != nullptr && r->GameMode < 0);
    Check(r->Badges >= 0 && r->Level >= 0 && r->GameFlags >= 0 && r->Quit >= 0);
    for (int i = 1; i <= 30; ++i) Check(r->Best[i] >= 0);
  }
  return 0;
}
