// vq-score-server: the online score tables of the game, served over HTTP from one SQLite file or a
// PostgreSQL database.
#include <arpa/inet.h>
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "server/http_front.h"
#include "server/score_service.h"
#include "server/served_games.h"

namespace {

const char* Usage =
    "Usage: vq-score-server --port N --db FILE [--motd FILE] [--bind ADDRESS]\n"
    "                       [--hashes-per-minute N] [--new-names-per-hour N]\n"
    "                       [--connections-per-address N] [--proxy ADDRESS]\n"
    "\n"
    "Serves the online score tables of every game of the series it was built with: logins (a new\n"
    "name is registered, one for the whole series), score uploads and the table files of each game's\n"
    "week, over HTTP. Requests for any other week are refused.\n"
    "\n"
    "  --port N         the TCP port to listen on; 0 picks a free one (printed at start)\n"
    "  --db FILE        the SQLite file of users and scores (created when missing)\n"
    "  --db postgresql://[USER[:PASSWORD]@][HOST][:PORT]/DATABASE[?host=SOCKET_FOLDER&...]\n"
    "                   a PostgreSQL database instead (postgres:// too), which several servers\n"
    "                   may share; its tables are made or brought up to date at start\n"
    "  --motd FILE      the message of the day shown after a login (at most 19 lines)\n"
    "  --bind ADDRESS   the address to listen on (default 0.0.0.0, every IPv4 address)\n"
    "  --hashes-per-minute N\n"
    "                   password hashes one address (IPv6: its /64) may cause in a minute,\n"
    "                   logins, registrations and uploads of a login not verified in the last\n"
    "                   5 minutes together (default 30); more get status 429\n"
    "  --new-names-per-hour N\n"
    "                   names one address may register in an hour (default 20)\n"
    "  --connections-per-address N\n"
    "                   connections one address may hold open at once (default 16); more are\n"
    "                   closed as they come\n"
    "  --proxy ADDRESS  the address of a proxy in front (nginx, on this machine 127.0.0.1):\n"
    "                   its requests name their client in X-Real-IP, which the limits per\n"
    "                   address then count; no cap on the proxy's own connections, unless\n"
    "                   --connections-per-address is given (the proxy caps its clients')\n"
    "  --help           this text\n"
    "\n"
    "At most 2 password hashes are computed at once and 6 more requests wait for one (up to 2 s);\n"
    "others get status 503 at once. A name whose password was wrong 10 times in 5 minutes is\n"
    "refused (429) until the oldest of those is 5 minutes old.\n"
    "\n"
    "A connection carries one request. One that has not sent its whole request head within 4 s,\n"
    "or is still open after 10 s, is closed. Heads are limited to 32 kB, request targets to 8 kB\n"
    "(414) and bodies to 4 kB (413). Table reads are answered at once, whatever logins wait for.\n"
    "\n"
    "Stops cleanly on SIGINT or SIGTERM.\n";

int Fail(const std::string& message) {
  std::fprintf(stderr, "vq-score-server: %s\n", message.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string db, motdPath, address = "0.0.0.0";
  int port = -1;
  HashLimits limits;
  FrontOptions front;
  bool connectionCapGiven = false;
  const std::vector<std::string> args(argv + 1, argv + argc);
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      std::fputs(Usage, stdout);
      return 0;
    }
    if ((a == "--port" || a == "--db" || a == "--motd" || a == "--bind" || a == "--hashes-per-minute" ||
         a == "--new-names-per-hour" || a == "--connections-per-address" || a == "--proxy") &&
        i + 1 < args.size()) {
      const std::string& value = args[++i];
      char* end = nullptr;
      const long n = std::strtol(value.c_str(), &end, 10);
      const bool number = !value.empty() && *end == '\0';
      if (a == "--port") {
        if (!number || n < 0 || n > 65535) return Fail("bad port: " + value);
        port = static_cast<int>(n);
      } else if (a == "--hashes-per-minute" || a == "--new-names-per-hour") {
        if (!number || n < 1 || n > 1000000) return Fail("bad " + a + ": " + value);
        (a == "--hashes-per-minute" ? limits.PerAddress : limits.NewNamesPerHour) = static_cast<int>(n);
      } else if (a == "--connections-per-address") {
        if (!number || n < 1 || n > 100000) return Fail("bad " + a + ": " + value);
        front.ConnectionsPerAddress = static_cast<unsigned>(n);
        connectionCapGiven = true;
      } else if (a == "--proxy") {
        // Kept as the front writes a peer's address, so that "::0001" is "::1".
        in6_addr any{};
        char text[INET6_ADDRSTRLEN] = "";
        const int family = ::inet_pton(AF_INET, value.c_str(), &any) == 1    ? AF_INET
                           : ::inet_pton(AF_INET6, value.c_str(), &any) == 1 ? AF_INET6
                                                                               : 0;
        if (!family || !::inet_ntop(family, &any, text, sizeof text)) return Fail("bad proxy address: " + value);
        front.TrustedProxy = text;
      } else if (a == "--db") {
        db = value;
      } else if (a == "--motd") {
        motdPath = value;
      } else {
        address = value;
      }
      continue;
    }
    std::fputs(Usage, stderr);
    return 2;
  }
  if (port < 0 || db.empty()) {
    std::fputs(Usage, stderr);
    return 2;
  }
  // Behind a proxy every connection comes from it: its own cap per address keeps the clients apart.
  if (!front.TrustedProxy.empty() && !connectionCapGiven) front.ConnectionsPerAddress = 0;

  ServiceOptions options;
  options.DatabasePath = db;
  options.Games = ServedGames();
  options.Limits = limits;
  if (!motdPath.empty() && !ReadMotdFile(motdPath, options.Motd)) return Fail("cannot read " + motdPath);

  // SIGINT and SIGTERM are taken by one thread that stops the server; every other thread (the
  // front's workers too) inherits the blocked mask. A write to a closed connection is an error,
  // never a signal.
  ::signal(SIGPIPE, SIG_IGN);
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  ScoreService service(options);
  if (!service.Ready()) return Fail(service.Error());
  ScoreHttpServer server(service, front);
  const int bound = server.Bind(address, port);
  if (bound < 0) return Fail("cannot listen on " + address + ":" + std::to_string(port));
  // The store as it names itself: never the URI, which may hold a password.
  std::printf("vq-score-server: listening on %s port %d, store: %s\n", address.c_str(), bound,
              service.StoreDescription().c_str());
  for (const GameIdentity* game : options.Games)
    std::printf("vq-score-server: serving week %d, %s\n", game->WeekNumber, WindowTitle(*game).c_str());
  std::fflush(stdout);

  std::thread([&server, stopSignals] {
    int signal = 0;
    sigwait(&stopSignals, &signal);
    server.Stop();
  }).detach();
  const bool served = server.Run();
  std::printf("vq-score-server: stopped\n");
  return served ? 0 : 1;
}
