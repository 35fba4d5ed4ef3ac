// The score server's request handling, apart from sockets, so that tests and fuzzers can call it
// directly: the login that registers a new user or checks a returning one, the upload of a record,
// and the table of the best records of a week and game variant.
//
// The service serves the games it is given, each by its week: a request's scrambled parameters are
// read with that week's game, the outer text with the game's default key, the credential token
// inside it with the game's code, by the games' own scrambling; a week it does not serve is refused.
// Each game's tables are its own (a table is a week and a game variant); the players' names and
// passwords are one set for the whole series.
// Passwords are kept only as salted slow hashes (libsodium's Argon2id). Anything malformed is
// refused with status 400 and a "REFUSED: ..." line, and logged.
#pragma once

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
};

struct GameIdentity;

struct ServiceOptions {
  std::string DatabasePath;
  std::vector<const GameIdentity*> Games;  // the games served, one week each
  std::vector<std::string> Motd;  // the message of the day sent after every successful login
  bool LightHashing = false;      // the weakest hash libsodium allows: for tests only, never for players
  int HashesAtOnce = 2;           // password hashes computed at the same time (each takes 64 MB)
  std::function<void(const std::string&)> Log;  // one line per event; standard error when empty
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

  // Answers one GET: the path as received (any number of leading slashes) and its decoded query
  // parameters, in order. Safe to call from several threads at once.
  ServiceReply Handle(std::string_view path, const QueryParams& params);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The message-of-the-day lines of a text file: CR dropped, control characters made blanks, blank
// lines left out (an empty line would end the reply early), "|" made "/" (it would cut the message),
// at most 19 lines (all a client shows). False when the file cannot be read.
bool ReadMotdFile(const std::string& path, std::vector<std::string>& lines);
