// The online state and the score server's address.
#include "core/core.h"
#include "input/input.h"
#include "online/online.h"

namespace {

// The state a run starts with: the window is pumped while a request waits.
OnlineState FreshOnlineState() {
  OnlineState state;
  state.WhileWaiting = [] { PumpEvents(); };
  return state;
}

}  // namespace

OnlineState Online = FreshOnlineState();

void ResetOnlineState() { Online = FreshOnlineState(); }

bool SetScoreServer(std::string_view hostAndPort) {
  std::string_view host = hostAndPort, port;
  if (!host.empty() && host.front() == '[') {  // [IPV6] or [IPV6]:PORT
    const size_t close = host.find(']');
    if (close == std::string_view::npos) return false;
    const std::string_view rest = host.substr(close + 1);
    host = host.substr(1, close - 1);
    if (!rest.empty()) {
      if (rest.front() != ':') return false;
      port = rest.substr(1);
      if (port.empty()) return false;
    }
  } else if (const size_t colon = host.rfind(':'); colon != std::string_view::npos) {
    if (host.find(':') != colon) return false;  // a bare IPv6 address needs its brackets
    port = host.substr(colon + 1);
    host = host.substr(0, colon);
    if (port.empty()) return false;
  }
  if (host.empty()) return false;
  int number = 80;
  if (!port.empty()) {
    if (port.size() > 5 || port.find_first_not_of("0123456789") != std::string_view::npos) return false;
    number = TextToInt(port);
    if (number < 1 || number > 65535) return false;
  }
  Online.ServerHost = std::string(host);
  Online.ServerPort = number;
  return true;
}
