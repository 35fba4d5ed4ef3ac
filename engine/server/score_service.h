// The score server's request handling, apart from sockets, so that tests and fuzzers can call it
// directly: the login that registers a new user or checks a returning one, the upload of a record,
// and the table of the best records of a week and game variant.
//
// The service serves the games it is given, each by its week: a request's scrambled parameters are
// read with that week's game, the outer text with the game's default key, the credential token
// inside it with the game's code, by the games' own scrambling; a week it does not serve is refused.
// Each game's tables are its own (a table is a week and a game variant); the players' names and
// passwords are one set for the whole series.
// Passwords are kept only as salted slow hashes (libsodium's Argon2id), computed a few at a time
// behind a short queue (503 when it is full or the wait too long), with limits per address and per
// name (429); a name and password verified a few minutes ago are known again without a hash, by a
// keyed digest in memory whose key is made at start and never stored. Anything malformed is
// refused with status 400 and a "REFUSED: ..." line, and logged; a store that fails is a 500.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct ServiceReply {
  int Status = 200;
  std::string ContentType = "text/plain; charset=ISO-8859-1";
  std::string Body;
  std::vector<std::pair<std::string, std::string>> Headers;  // more header lines (the pages' policy)
};

struct GameIdentity;

// How much password hashing one client may cause. A player who plays normally causes one hash per
// login (a few a day) and none for the uploads that follow it; these limits are far above that and
// far below what guessing passwords or filling the store with names needs.
struct HashLimits {
  int HashesAtOnce = 2;     // hashes computed at the same time (each takes 64 MB)
  int Queue = 6;            // requests that may wait for a hash; one more is answered 503 at once
  int WaitMs = 2000;        // the longest wait for a hash; 503 past it
  int PerAddress = 30;      // hashes caused by one address (IPv6: its /64) in a minute; 429 past it
  int WrongPerName = 10;    // wrong passwords for one name in 5 minutes; its checks then 429
  int NewNamesPerHour = 20; // names registered from one address in an hour; 429 past it
  int VerifiedMs = 5 * 60 * 1000;  // a name and password verified this recently skip the hash
};

struct ServiceOptions {
  std::string DatabasePath;  // a SQLite file, or a PostgreSQL URI (postgresql://...)
  std::vector<const GameIdentity*> Games;  // the games served, one week each
  std::vector<std::string> Motd;  // the message of the day sent after every successful login
  bool LightHashing = false;      // the weakest hash libsodium allows: for tests only, never for players
  HashLimits Limits;
  std::function<void(const std::string&)> Log;  // one line per event; standard error when empty
  std::function<int64_t()> ClockMs;  // the time for the limits and the verified names (ms); steady clock when empty
  std::function<void()> WhileHashing;  // called in a hashing slot before each hash (tests hold hashing busy with it)
  // How long a table read from the store is answered again without reading it (ms); a record
  // stored by this server ends that at once, one stored by another server sharing the store shows
  // within this time. 0: every table request reads the store.
  int TableFreshMs = 1000;
};

using QueryParams = std::vector<std::pair<std::string, std::string>>;

class ScoreService {
 public:
  explicit ScoreService(ServiceOptions options);
  ~ScoreService();
  ScoreService(const ScoreService&) = delete;
  ScoreService& operator=(const ScoreService&) = delete;

  // False (with Error() saying why) when the store could not be opened.
  bool Ready() const;
  const std::string& Error() const;
  // The store in use, as its first lines name it ("SQLite file scores.db", "PostgreSQL ...").
  std::string StoreDescription() const;

  // Answers one GET: the path as received (any number of leading slashes), its decoded query
  // parameters in order, and the client's address (the rate limits count by it). Safe to call from
  // several threads at once; table reads never wait for hashing.
  ServiceReply Handle(std::string_view path, const QueryParams& params, std::string_view clientAddress);

  // Whether Handle may wait for password hashing (up to the wait limit) on this path: logins and
  // uploads may; table reads and refusals never do, and are answered at once.
  static bool MayWaitForHashing(std::string_view path);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The message-of-the-day lines of a text file: CR dropped, control characters made blanks, blank
// lines left out (an empty line would end the reply early), "|" made "/" (it would cut the message),
// at most 19 lines (all a client shows). False when the file cannot be read.
bool ReadMotdFile(const std::string& path, std::vector<std::string>& lines);
