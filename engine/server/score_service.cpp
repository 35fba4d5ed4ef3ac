// The score server's request handling: parameters checked and unscrambled, passwords hashed and
// checked, records stored and tables built.
#include "server/score_service.h"

#include <sodium.h>

#include <charconv>
#include <cstdio>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <semaphore>

#include "core/core.h"
#include "scores/scores.h"
#include "server/score_store.h"

namespace {

constexpr size_t MaxInputDigits = 4096;  // a login is under 1000 hex digits, an upload about 2200
constexpr size_t MinNameBytes = 4, MaxNameBytes = 64;
constexpr size_t MinPasswordBytes = 4, MaxPasswordBytes = 128;
constexpr size_t MaxRecordNameBytes = 64;
constexpr int TableEntries = 30;

const std::string MissingTablePage =
    "<HTML><HEAD><TITLE>404 Not Found</TITLE></HEAD><BODY>No scores in this table yet.</BODY></HTML>";

// ---- Checking text ----------------------------------------------------------------------------------
// True for text without control characters (C0, DEL and the 8-bit C1 range).
bool IsPrintable(std::string_view text) {
  for (char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c < 32 || (c >= 127 && c < 160)) return false;
  }
  return true;
}

bool IsUpperHex(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789ABCDEF") == std::string_view::npos;
}

// A decimal number as the game writes one: digits only, no leading zero (but "0").
bool IsDigits(std::string_view text, size_t maxDigits) {
  return !text.empty() && text.size() <= maxDigits && text.find_first_not_of("0123456789") == std::string_view::npos &&
         (text.size() == 1 || text.front() != '0');
}

// A whole decimal number (optional "-") that fits the type; nothing else accepted.
template <typename Int>
bool ReadNumber(std::string_view text, Int& value) {
  if (text.empty() || text.size() > 20) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && text.front() != '+';
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (;;) {
    const size_t at = text.find(separator);
    parts.push_back(text.substr(0, at));
    if (at == std::string_view::npos) return parts;
    text.remove_prefix(at + 1);
  }
}

// The value of a query parameter, its key matched without regard to case; nothing when missing.
std::optional<std::string_view> Param(const QueryParams& params, std::string_view key) {
  for (const auto& [k, v] : params)
    if (k.size() == key.size() && Lower(k) == Lower(key)) return std::string_view(v);
  return std::nullopt;
}

ServiceReply Reply(int status, std::string body) {
  return ServiceReply{status, "text/plain; charset=ISO-8859-1", std::move(body)};
}

// The record line of a table file: the eight main fields, LF, the thirty per-level values.
std::string TableEntry(const StoredRecord& r) {
  std::string out = std::to_string(r.Score) + "|" + r.Name + "|" + std::to_string(r.Badges) + "|" +
                    std::to_string(r.Timestamp) + "|" + std::to_string(r.Level) + "|" + std::to_string(r.GameMode) +
                    "|" + std::to_string(r.GameFlags) + "|" + std::to_string(r.Quit) + "\n";
  for (size_t i = 0; i < r.Best.size(); ++i) out += (i ? "|" : "") + std::to_string(r.Best[i]);
  return out;
}

// Notes why a request is refused; an empty answer.
std::nullopt_t Fail(std::string& why, const char* reason) {
  why = reason;
  return std::nullopt;
}
bool Failed(std::string& why, const char* reason) {
  why = reason;
  return false;
}

struct Credentials {
  std::string user, password;
  std::string rest;  // what follows the token (the upload line)
};

}  // namespace

// ---- The service --------------------------------------------------------------------------------------
struct ScoreService::Impl {
  explicit Impl(ServiceOptions o) : options(std::move(o)), hashing(std::clamp(options.HashesAtOnce, 1, 64)) {}

  ServiceOptions options;
  ScoreStore store;
  bool ready = false;
  std::string error;
  // The games served by week, with their default keys made once.
  struct Served {
    const GameIdentity* game;
    std::string key;
  };
  std::map<int64_t, Served> games;
  std::counting_semaphore<64> hashing;
  unsigned long long opsLimit = 0;
  size_t memLimit = 0;
  std::string motd;  // the lines joined by LF
  std::mutex logMutex;

  void Log(const std::string& line) {
    if (options.Log) {
      options.Log(line);
      return;
    }
    std::lock_guard<std::mutex> lock(logMutex);
    std::fprintf(stderr, "%s\n", line.c_str());
  }

  ServiceReply Refuse(const std::string& what, const std::string& why, int status = 400) {
    Log("refused " + what + ": " + why);
    return Reply(status, "REFUSED: " + why);
  }

  // A new salted hash of the password; false when it could not be made (out of memory).
  bool HashPassword(const std::string& password, std::string& hash) {
    char out[crypto_pwhash_STRBYTES];
    hashing.acquire();
    const int r = crypto_pwhash_str(out, password.data(), password.size(), opsLimit, memLimit);
    hashing.release();
    if (r != 0) return false;
    hash = out;
    return true;
  }

  bool PasswordMatches(const std::string& hash, const std::string& password) {
    hashing.acquire();
    const int r = crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size());
    hashing.release();
    return r == 0;
  }

  // The week parameter: decimal digits only.
  std::optional<int64_t> Week(const QueryParams& params) {
    const auto week = Param(params, "week");
    int64_t value = 0;
    if (!week || !IsDigits(*week, 9) || !ReadNumber(*week, value)) return std::nullopt;
    return value;
  }

  // The game of a week, or null (why saying so) when this server does not serve it.
  const Served* GameOfWeek(std::optional<int64_t> week, std::string& why) {
    const auto found = week ? games.find(*week) : games.end();
    if (found != games.end()) return &found->second;
    why = week ? "week " + std::to_string(*week) + " is not served here" : "bad week parameter";
    return nullptr;
  }

  // User name, password and (for an upload) the rest, from the scrambled input parameter; why says
  // what was wrong when nothing comes back.
  std::optional<Credentials> ReadCredentials(const Served& served, const QueryParams& params, bool upload,
                                             std::string& why) {
    const auto input = Param(params, "input");
    if (!input || input->empty()) return Fail(why, "no input parameter");
    if (input->size() > MaxInputDigits) return Fail(why, "input parameter too long");
    if (!IsUpperHex(*input) || input->size() % 2 != 0) return Fail(why, "input parameter not hexadecimal");
    const std::string outer = UnscrambleWithKey(*input, served.key);
    const size_t bar = outer.find('|');
    if (outer == "XXX" || bar == std::string::npos) return Fail(why, "input parameter fails its checksum");
    Credentials c;
    c.user = outer.substr(0, bar);
    std::string token = outer.substr(bar + 1);
    const size_t next = token.find('|');
    if (upload) {
      if (next == std::string::npos) return Fail(why, "no record");
      c.rest = token.substr(next + 1);
      token.resize(next);
    } else if (next != std::string::npos) {
      return Fail(why, "unexpected fields after the token");
    }
    const std::string inner = UnscrambleWithKey(token, served.game->GameCode);
    const size_t split = inner.find('|');
    if (inner == "XXX" || split == std::string::npos) return Fail(why, "credential token fails its checksum");
    if (inner.substr(0, split) != c.user) return Fail(why, "credential token of another name");
    c.password = inner.substr(split + 1);
    if (c.user.size() < MinNameBytes || c.user.size() > MaxNameBytes) return Fail(why, "name too short or too long");
    if (!IsPrintable(c.user)) return Fail(why, "control characters in the name");
    if (c.password.size() < MinPasswordBytes || c.password.size() > MaxPasswordBytes)
      return Fail(why, "password too short or too long");
    return c;
  }

  // A store that could not answer: status 500 and one log line, never a reply that reads as an
  // answer (a wrong password, a missing table).
  ServiceReply StoreFailed(const std::string& what, const StoreResult& result) {
    Log("refused " + what + ": store failed: " + result.Error);
    return Reply(500, "REFUSED: store failed");
  }

  ServiceReply Login(const QueryParams& params) {
    std::string why;
    const Served* served = GameOfWeek(Week(params), why);
    if (!served) return Refuse("login", why);
    const auto c = ReadCredentials(*served, params, false, why);
    if (!c) return Refuse("login", why);
    std::string hash;
    StoreResult found = store.PasswordHash(c->user, hash);
    if (found.Failed()) return StoreFailed("login", found);
    if (found.Status == StoreStatus::NotFound) {
      std::string fresh;
      if (!HashPassword(c->password, fresh)) return Refuse("login", "server busy", 503);
      const StoreResult added = store.AddUser(c->user, fresh);
      if (added.Failed()) return StoreFailed("login", added);
      if (added.Status == StoreStatus::Done) {
        Log("registered " + c->user);
        return Reply(200, "Welcome!|" + motd);
      }
      found = store.PasswordHash(c->user, hash);  // registered by another request meanwhile
      if (found.Failed()) return StoreFailed("login", found);
      if (found.Status != StoreStatus::Done) return Refuse("login", "user vanished while registering", 500);
    }
    if (!PasswordMatches(hash, c->password)) {
      Log("wrong password for " + c->user);
      return Reply(403, "WRONG PASSWORD");
    }
    return Reply(200, "Password Correct|" + motd);
  }

  ServiceReply Upload(const QueryParams& params) {
    std::string why;
    const auto week = Week(params);
    const Served* served = GameOfWeek(week, why);
    if (!served) return Refuse("upload", why);
    const auto c = ReadCredentials(*served, params, true, why);
    if (!c) return Refuse("upload", why);
    StoredRecord r;
    int64_t table = 0;
    if (!ReadRecord(c->rest, r, table, why)) return Refuse("upload", why);
    std::string hash;
    const StoreResult found = store.PasswordHash(c->user, hash);
    if (found.Failed()) return StoreFailed("upload", found);
    if (found.Status != StoreStatus::Done || !PasswordMatches(hash, c->password)) {
      Log("upload ignored: wrong name or password for " + c->user);
      return Reply(403, "WRONG PASSWORD");
    }
    const StoreResult stored = store.AddRecord(*week, table, c->user, r, TableEntries);
    if (stored.Failed()) return StoreFailed("upload", stored);
    Log("stored " + std::to_string(r.Score) + " by " + c->user + " in week " + std::to_string(*week) + " table " +
        std::to_string(table));
    return Reply(200, "OK");
  }

  // The record of an upload line: eight main fields, "|" + the list separator + "|", thirty values.
  // The table it belongs to is its GameMode + 100 x Level + 1000 x GameFlags.
  bool ReadRecord(std::string_view line, StoredRecord& r, int64_t& table, std::string& why) {
    const std::string separator = "|" + std::string(ListSeparator) + "|";
    const size_t at = line.find(separator);
    if (at == std::string_view::npos) return Failed(why, "record without its separator");
    const std::vector<std::string_view> main = Split(line.substr(0, at), '|');
    const std::vector<std::string_view> best = Split(line.substr(at + separator.size()), '|');
    if (main.size() != 8 || best.size() != 30) return Failed(why, "record with the wrong number of fields");
    bool ok = ReadNumber(main[0], r.Score) && ReadNumber(main[2], r.Badges) && ReadNumber(main[3], r.Timestamp) &&
              ReadNumber(main[4], r.Level) && ReadNumber(main[5], r.GameMode) && ReadNumber(main[6], r.GameFlags) &&
              ReadNumber(main[7], r.Quit);
    for (size_t i = 0; i < best.size(); ++i) ok = ok && ReadNumber(best[i], r.Best[i]);
    if (!ok) return Failed(why, "record with a field that is not a number");
    r.Name = std::string(main[1]);
    if (r.Name.size() > MaxRecordNameBytes || !IsPrintable(r.Name))
      return Failed(why, "record name too long or not printable");
    // A negative game mode marks a record read from a table: never one to upload.
    if (r.Level < 0 || r.GameMode < 0 || r.GameFlags < 0 || (r.Quit != 0 && r.Quit != 1))
      return Failed(why, "record of no game variant");
    table = int64_t{r.GameMode} + 100 * int64_t{r.Level} + 1000 * int64_t{r.GameFlags};
    return true;
  }

  ServiceReply Table(std::string_view weekText, std::string_view idText) {
    int64_t week = 0, table = 0;
    if (!IsDigits(weekText, 9) || !ReadNumber(weekText, week) || !IsDigits(idText, 18) || !ReadNumber(idText, table))
      return Refuse("table", "bad week or table");
    if (!games.count(week)) return Refuse("table", "week " + std::to_string(week) + " is not served here");
    std::vector<StoredRecord> records;
    const StoreResult read = store.BestRecords(week, table, TableEntries, records);
    if (read.Failed()) return StoreFailed("table", read);
    if (records.empty()) return ServiceReply{404, "text/html; charset=ISO-8859-1", MissingTablePage};
    std::string body;
    for (size_t i = 0; i < records.size(); ++i) body += (i ? "\n" : "") + TableEntry(records[i]);
    return Reply(200, body);
  }
};

ScoreService::ScoreService(ServiceOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {
  Impl& s = *impl_;
  for (const GameIdentity* game : s.options.Games)
    if (game) s.games[game->WeekNumber] = Impl::Served{game, MakeDefaultKey(*game)};
  for (size_t i = 0; i < s.options.Motd.size(); ++i) s.motd += (i ? "\n" : "") + s.options.Motd[i];
  if (sodium_init() < 0) {
    s.error = "libsodium failed to start";
    return;
  }
  s.opsLimit = s.options.LightHashing ? crypto_pwhash_OPSLIMIT_MIN : crypto_pwhash_OPSLIMIT_INTERACTIVE;
  s.memLimit = s.options.LightHashing ? crypto_pwhash_MEMLIMIT_MIN : crypto_pwhash_MEMLIMIT_INTERACTIVE;
  s.ready = s.store.Open(s.options.DatabasePath, s.error);
}

ScoreService::~ScoreService() = default;

bool ScoreService::Ready() const { return impl_->ready; }
const std::string& ScoreService::Error() const { return impl_->error; }

ServiceReply ScoreService::Handle(std::string_view path, const QueryParams& params) {
  Impl& s = *impl_;
  if (!s.ready) return Reply(503, "REFUSED: no store");
  // Clients put two slashes before the path; any number is taken.
  while (!path.empty() && path.front() == '/') path.remove_prefix(1);
  if (path == "enscore/login.php") return s.Login(params);
  if (path == "enscore/scores.php") return s.Upload(params);
  constexpr std::string_view tables = "enscore/tables/", suffix = ".txt";
  if (path.substr(0, tables.size()) == tables && path.size() > tables.size() + suffix.size() &&
      path.substr(path.size() - suffix.size()) == suffix) {
    const std::string_view rest = path.substr(tables.size(), path.size() - tables.size() - suffix.size());
    const size_t slash = rest.find('/');
    if (slash != std::string_view::npos) return s.Table(rest.substr(0, slash), rest.substr(slash + 1));
  }
  return s.Refuse("request", "no such page", 404);
}

bool ReadMotdFile(const std::string& path, std::vector<std::string>& lines) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  lines.clear();
  std::string line;
  while (lines.size() < 19 && std::getline(in, line)) {
    std::string clean;
    for (char ch : line) {
      const unsigned char c = static_cast<unsigned char>(ch);
      if (c == '\r') continue;
      clean.push_back(c == '|' ? '/' : (c < 32 || c == 127) ? ' ' : ch);
    }
    clean = Trim(clean);
    if (!clean.empty()) lines.push_back(clean);
  }
  return !in.bad();
}
