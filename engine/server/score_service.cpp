// The score server's request handling: parameters checked and unscrambled, passwords hashed and
// checked, records stored and tables built.
#include "server/score_service.h"

#include <arpa/inet.h>
#include <sys/resource.h>
#include <unistd.h>
#include <netinet/in.h>
#include <sodium.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <cstdio>
#include <fstream>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "core/core.h"
#include "scores/scores.h"
#include "server/score_store.h"
#include "server/web_pages.h"

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
  return ServiceReply{status, "text/plain; charset=ISO-8859-1", std::move(body), {}};
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

// ---- Bounded hashing ----------------------------------------------------------------------------------
// The slots for password hashes: a few run at once, a few more requests may wait (each for a limited
// time), and any beyond those are turned away at once, so that the server's workers never all sit
// waiting for hashes while table downloads queue behind them.
class HashGate {
 public:
  enum class Entry { Entered, Full, TimedOut };

  HashGate(int slots, int queue, int waitMs)
      : slots_(std::clamp(slots, 1, 64)), queue_(std::clamp(queue, 0, 1024)), waitMs_(std::max(waitMs, 0)) {}

  Entry Enter() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (running_ < slots_ && waiting_ == 0) {
      ++running_;
      return Entry::Entered;
    }
    if (waiting_ >= queue_) return Entry::Full;
    ++waiting_;
    const bool free = freed_.wait_for(lock, std::chrono::milliseconds(waitMs_), [this] { return running_ < slots_; });
    --waiting_;
    if (!free) return Entry::TimedOut;
    ++running_;
    return Entry::Entered;
  }

  void Leave() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      --running_;
    }
    freed_.notify_one();
  }

 private:
  const int slots_, queue_, waitMs_;
  std::mutex mutex_;
  std::condition_variable freed_;
  int running_ = 0, waiting_ = 0;
};

// The threads the hashes run on, below the server's other threads in priority (nice 10): a flood of
// logins keeps every core hashing, and the event loop (table reads) and the workers (uploads, and
// the 503 of a full queue) must still get the processor at once. The gate above bounds the hashes
// at once to the number of threads, so a hash never waits here for a thread.
class HashThreads {
 public:
  explicit HashThreads(int count) {
    for (int i = 0; i < std::clamp(count, 1, 64); ++i) threads_.emplace_back([this] { Serve(); });
  }
  ~HashThreads() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      quitting_ = true;
    }
    changed_.notify_all();
    for (std::thread& t : threads_) t.join();
  }
  // Runs work on a hashing thread; its result, once done.
  template <typename Work>
  auto Run(Work work) -> decltype(work()) {
    auto task = std::make_shared<std::packaged_task<decltype(work())()>>(std::move(work));
    auto result = task->get_future();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      jobs_.push_back([task] { (*task)(); });
    }
    changed_.notify_one();
    return result.get();
  }

 private:
  void Serve() {
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);  // this thread only (Linux)
    for (;;) {
      std::function<void()> job;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return quitting_ || !jobs_.empty(); });
        if (jobs_.empty()) return;
        job = std::move(jobs_.front());
        jobs_.pop_front();
      }
      job();
    }
  }
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::function<void()>> jobs_;
  bool quitting_ = false;
  std::vector<std::thread> threads_;
};

// At most Count events per key in any window of WindowMs (by the times given). Each key keeps the
// times of its last Count events only; keys whose events are all past the window are dropped as the
// table grows.
class WindowLimit {
 public:
  WindowLimit(int count, int64_t windowMs) : count_(static_cast<size_t>(std::max(count, 1))), windowMs_(windowMs) {}

  // True when one more event of the key fits now.
  bool Allows(const std::string& key, int64_t now) {
    const auto found = events_.find(key);
    if (found == events_.end()) return true;
    Forget(found->second, now);
    return found->second.size() < count_;
  }
  void Count(const std::string& key, int64_t now) {
    if (events_.size() >= sweepAt_) Sweep(now);
    std::deque<int64_t>& times = events_[key];
    times.push_back(now);
    while (times.size() > count_) times.pop_front();
  }
  // Allows, then Count when it does.
  bool Take(const std::string& key, int64_t now) {
    if (!Allows(key, now)) return false;
    Count(key, now);
    return true;
  }

 private:
  void Forget(std::deque<int64_t>& times, int64_t now) {
    while (!times.empty() && now - times.front() >= windowMs_) times.pop_front();
  }
  void Sweep(int64_t now) {
    for (auto it = events_.begin(); it != events_.end();) {
      Forget(it->second, now);
      it = it->second.empty() ? events_.erase(it) : std::next(it);
    }
    sweepAt_ = std::max<size_t>(4096, 2 * events_.size());
  }

  const size_t count_;
  const int64_t windowMs_;
  std::map<std::string, std::deque<int64_t>> events_;
  size_t sweepAt_ = 4096;
};

// The names and passwords verified lately, each as a keyed BLAKE2b digest of the pair under a key
// made at start (never stored, so the digests are of no use outside this process), with the time
// its verification stops counting.
class VerifiedNames {
 public:
  using Digest = std::array<unsigned char, crypto_generichash_BYTES>;
  static constexpr size_t MaxEntries = 65536;

  VerifiedNames() { crypto_generichash_keygen(key_.data()); }

  Digest Of(const std::string& user, const std::string& password) const {
    Digest out{};
    crypto_generichash_state state;
    crypto_generichash_init(&state, key_.data(), key_.size(), out.size());
    // The name's length first, so that no other split of the same bytes gives the same digest.
    const uint64_t length = user.size();
    crypto_generichash_update(&state, reinterpret_cast<const unsigned char*>(&length), sizeof length);
    crypto_generichash_update(&state, reinterpret_cast<const unsigned char*>(user.data()), user.size());
    crypto_generichash_update(&state, reinterpret_cast<const unsigned char*>(password.data()), password.size());
    crypto_generichash_final(&state, out.data(), out.size());
    return out;
  }
  bool Knows(const Digest& d, int64_t now) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = until_.find(d);
    return found != until_.end() && now < found->second;
  }
  void Add(const Digest& d, int64_t until, int64_t now) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (until_.size() >= MaxEntries) {
      std::erase_if(until_, [now](const auto& entry) { return entry.second <= now; });
      if (until_.size() >= MaxEntries) until_.clear();  // only costs hashes again
    }
    until_[d] = until;
  }

 private:
  std::array<unsigned char, crypto_generichash_KEYBYTES> key_{};
  std::mutex mutex_;
  std::map<Digest, int64_t> until_;
};

// What the limits count a client by: its IPv4 address, or the /64 network of an IPv6 one (a single
// host is given a whole /64).
std::string AddressKey(std::string_view address) {
  const std::string text(address);
  in6_addr v6{};
  if (text.find(':') == std::string::npos || ::inet_pton(AF_INET6, text.c_str(), &v6) != 1) return text;
  if (IN6_IS_ADDR_V4MAPPED(&v6)) {
    char v4[INET_ADDRSTRLEN] = "";
    ::inet_ntop(AF_INET, &v6.s6_addr[12], v4, sizeof v4);
    return v4;
  }
  std::fill(std::begin(v6.s6_addr) + 8, std::end(v6.s6_addr), 0);
  char out[INET6_ADDRSTRLEN] = "";
  ::inet_ntop(AF_INET6, &v6, out, sizeof out);
  return std::string(out) + "/64";
}

int64_t SteadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

// ---- The service --------------------------------------------------------------------------------------
struct ScoreService::Impl {
  explicit Impl(ServiceOptions o)
      : options(std::move(o)),
        hashing(options.Limits.HashesAtOnce, options.Limits.Queue, options.Limits.WaitMs),
        hashThreads(options.Limits.HashesAtOnce),
        perAddress(options.Limits.PerAddress, 60 * 1000),
        wrongPerName(options.Limits.WrongPerName, 5 * 60 * 1000),
        newNames(options.Limits.NewNamesPerHour, 60 * 60 * 1000) {}

  ServiceOptions options;
  std::unique_ptr<ScoreStore> store;  // null until opened
  bool ready = false;
  std::string error;
  // The games served by week, with their default keys made once.
  struct Served {
    const GameIdentity* game;
    std::string key;
  };
  std::map<int64_t, Served> games;
  HashGate hashing;
  HashThreads hashThreads;
  // The limits, under their own lock: never held while hashing or reading the store.
  std::mutex limitsMutex;
  WindowLimit perAddress, wrongPerName, newNames;
  VerifiedNames verified;
  unsigned long long opsLimit = 0;
  size_t memLimit = 0;
  std::string motd;  // the lines joined by LF
  std::mutex logMutex;
  // The table replies as last read from the store, by week and table (see TableFreshMs). A reply
  // read while a record was being stored is not kept: stored counts the records stored here.
  struct CachedTable {
    ServiceReply reply;
    int64_t readMs = 0;
  };
  static constexpr size_t CachedTablesLimit = 4096;  // more (requests for any table id) start afresh
  std::mutex tablesMutex;
  std::map<std::pair<int64_t, int64_t>, CachedTable> cachedTables;
  std::map<int64_t, CachedTable> cachedPages;  // each game's page, by week, kept the same way
  uint64_t stored = 0;
  std::string indexPage;  // the games served do not change while the server runs

  static constexpr size_t PageTablesLimit = 60;  // tables shown on a game's page, the first by id

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

  int64_t Now() const { return options.ClockMs ? options.ClockMs() : SteadyMs(); }

  // Enters a hashing slot; the refusal to answer with when there is none.
  std::optional<ServiceReply> EnterHashing(const std::string& what) {
    switch (hashing.Enter()) {
      case HashGate::Entry::Entered:
        if (options.WhileHashing) options.WhileHashing();
        return std::nullopt;
      case HashGate::Entry::Full:
        return Refuse(what, "server busy (hashing queue full), try again in a minute", 503);
      case HashGate::Entry::TimedOut:
        break;
    }
    return Refuse(what, "server busy (waited too long for hashing), try again in a minute", 503);
  }

  // A new salted hash of the password into hash, or the refusal to answer with.
  std::optional<ServiceReply> HashPassword(const std::string& what, const std::string& password, std::string& hash) {
    if (auto busy = EnterHashing(what)) return busy;
    char out[crypto_pwhash_STRBYTES];
    const int r = hashThreads.Run([&] { return crypto_pwhash_str(out, password.data(), password.size(), opsLimit, memLimit); });
    hashing.Leave();
    if (r != 0) return Refuse(what, "server busy, out of memory for hashing", 503);
    hash = out;
    return std::nullopt;
  }

  // Whether the password is the user's: known from a recent verification, or checked against the
  // stored hash within the limits. Correct, Wrong, or a refusal (busy, limited) in refusal.
  enum class Check { Correct, Wrong, Refused };
  Check CheckPassword(const std::string& what, const Credentials& c, const std::string& address,
                      const std::string& hash, ServiceReply& refusal) {
    const VerifiedNames::Digest digest = verified.Of(c.user, c.password);
    if (verified.Knows(digest, Now())) return Check::Correct;
    {
      std::lock_guard<std::mutex> lock(limitsMutex);
      const int64_t now = Now();
      if (!wrongPerName.Allows(c.user, now)) {
        refusal = Refuse(what, "too many wrong passwords for " + c.user + ", try again in a few minutes", 429);
        return Check::Refused;
      }
      if (!perAddress.Take(address, now)) {
        refusal = Refuse(what, "too many logins from " + address + ", try again in a minute", 429);
        return Check::Refused;
      }
    }
    if (auto busy = EnterHashing(what)) {
      refusal = *busy;
      return Check::Refused;
    }
    const bool matches = hashThreads.Run([&] {
      return crypto_pwhash_str_verify(hash.c_str(), c.password.data(), c.password.size()) == 0;
    });
    hashing.Leave();
    if (!matches) {
      std::lock_guard<std::mutex> lock(limitsMutex);
      wrongPerName.Count(c.user, Now());
      return Check::Wrong;
    }
    Remember(c);
    return Check::Correct;
  }

  // A name and password just verified (or registered): known without a hash for a while.
  void Remember(const Credentials& c) {
    const int64_t now = Now();
    verified.Add(verified.Of(c.user, c.password), now + options.Limits.VerifiedMs, now);
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

  ServiceReply Login(const QueryParams& params, const std::string& address) {
    std::string why;
    const Served* served = GameOfWeek(Week(params), why);
    if (!served) return Refuse("login", why);
    const auto c = ReadCredentials(*served, params, false, why);
    if (!c) return Refuse("login", why);
    std::string hash;
    StoreResult found = store->PasswordHash(c->user, hash);
    if (found.Failed()) return StoreFailed("login", found);
    if (found.Status == StoreStatus::NotFound) {
      {
        std::lock_guard<std::mutex> lock(limitsMutex);
        const int64_t now = Now();
        if (!newNames.Allows(address, now))
          return Refuse("login", "too many new names from " + address + ", try again in an hour", 429);
        if (!perAddress.Take(address, now))
          return Refuse("login", "too many logins from " + address + ", try again in a minute", 429);
      }
      std::string fresh;
      if (auto refusal = HashPassword("login", c->password, fresh)) return *refusal;
      const StoreResult added = store->AddUser(c->user, fresh);
      if (added.Failed()) return StoreFailed("login", added);
      if (added.Status == StoreStatus::Done) {
        {
          std::lock_guard<std::mutex> lock(limitsMutex);
          newNames.Count(address, Now());
        }
        Remember(*c);
        Log("registered " + c->user);
        return Reply(200, "Welcome!|" + motd);
      }
      found = store->PasswordHash(c->user, hash);  // registered by another request meanwhile
      if (found.Failed()) return StoreFailed("login", found);
      if (found.Status != StoreStatus::Done) return Refuse("login", "user vanished while registering", 500);
    }
    ServiceReply refusal;
    switch (CheckPassword("login", *c, address, hash, refusal)) {
      case Check::Correct:
        return Reply(200, "Password Correct|" + motd);
      case Check::Wrong:
        Log("wrong password for " + c->user);
        return Reply(403, "WRONG PASSWORD");
      case Check::Refused:
        break;
    }
    return refusal;
  }

  ServiceReply Upload(const QueryParams& params, const std::string& address) {
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
    const StoreResult found = store->PasswordHash(c->user, hash);
    if (found.Failed()) return StoreFailed("upload", found);
    ServiceReply refusal;
    const Check check = found.Status == StoreStatus::Done ? CheckPassword("upload", *c, address, hash, refusal) : Check::Wrong;
    if (check == Check::Refused) return refusal;
    if (check == Check::Wrong) {
      Log("upload ignored: wrong name or password for " + c->user);
      return Reply(403, "WRONG PASSWORD");
    }
    const StoreResult added = store->AddRecord(*week, table, c->user, r, TableEntries);
    {
      // Whatever came of it, the table is read afresh next time.
      std::lock_guard<std::mutex> lock(tablesMutex);
      ++stored;
      cachedTables.erase({*week, table});
      cachedPages.erase(*week);
    }
    if (added.Failed()) return StoreFailed("upload", added);
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
    uint64_t storedBefore = 0;
    {
      std::lock_guard<std::mutex> lock(tablesMutex);
      const auto cached = cachedTables.find({week, table});
      if (cached != cachedTables.end() && Now() - cached->second.readMs < options.TableFreshMs)
        return cached->second.reply;
      storedBefore = stored;
    }
    const int64_t readMs = Now();
    std::vector<StoredRecord> records;
    const StoreResult read = store->BestRecords(week, table, TableEntries, records);
    if (read.Failed()) return StoreFailed("table", read);
    ServiceReply reply{404, "text/html; charset=ISO-8859-1", MissingTablePage, {}};
    if (!records.empty()) {
      std::string body;
      for (size_t i = 0; i < records.size(); ++i) body += (i ? "\n" : "") + TableEntry(records[i]);
      reply = Reply(200, body);
    }
    if (options.TableFreshMs > 0) {
      std::lock_guard<std::mutex> lock(tablesMutex);
      if (stored == storedBefore) {
        if (cachedTables.size() >= CachedTablesLimit) cachedTables.clear();
        cachedTables[{week, table}] = CachedTable{reply, readMs};
      }
    }
    return reply;
  }

  // A page for a browser: UTF-8 HTML, served with a policy that allows no script.
  static ServiceReply Page(int status, std::string html) {
    return ServiceReply{status, "text/html; charset=utf-8", std::move(html),
                        {{"Content-Security-Policy", PagePolicy},
                         {"X-Content-Type-Options", "nosniff"},
                         {"Referrer-Policy", "no-referrer"}}};
  }

  // A game's page of tables, built once per change of its tables (as the table replies are kept).
  ServiceReply GamePageOf(std::string_view weekText) {
    int64_t week = 0;
    if (!IsDigits(weekText, 9) || !ReadNumber(weekText, week) || !games.count(week))
      return Page(404, "<!DOCTYPE html>\n<title>Not found</title>\n<p>No such game here. <a href=\"/\">All games</a></p>\n");
    uint64_t storedBefore = 0;
    {
      std::lock_guard<std::mutex> lock(tablesMutex);
      const auto cached = cachedPages.find(week);
      if (cached != cachedPages.end() && Now() - cached->second.readMs < options.TableFreshMs)
        return cached->second.reply;
      storedBefore = stored;
    }
    const int64_t readMs = Now();
    std::vector<int64_t> ids;
    StoreResult read = store->Tables(week, ids);
    if (read.Failed()) return StoreFailed("page", read);
    if (ids.size() > PageTablesLimit) ids.resize(PageTablesLimit);
    std::vector<WebTable> tables;
    for (const int64_t id : ids) {
      WebTable t{id, {}};
      read = store->BestRecords(week, id, TableEntries, t.Records);
      if (read.Failed()) return StoreFailed("page", read);
      tables.push_back(std::move(t));
    }
    const ServiceReply reply = Page(200, GamePage(*games.at(week).game, tables));
    if (options.TableFreshMs > 0) {
      std::lock_guard<std::mutex> lock(tablesMutex);
      if (stored == storedBefore) cachedPages[week] = CachedTable{reply, readMs};
    }
    return reply;
  }
};

ScoreService::ScoreService(ServiceOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {
  Impl& s = *impl_;
  for (const GameIdentity* game : s.options.Games)
    if (game) s.games[game->WeekNumber] = Impl::Served{game, MakeDefaultKey(*game)};
  for (size_t i = 0; i < s.options.Motd.size(); ++i) s.motd += (i ? "\n" : "") + s.options.Motd[i];
  s.indexPage = IndexPage(s.options.Games);
  if (sodium_init() < 0) {
    s.error = "libsodium failed to start";
    return;
  }
  s.opsLimit = s.options.LightHashing ? crypto_pwhash_OPSLIMIT_MIN : crypto_pwhash_OPSLIMIT_INTERACTIVE;
  s.memLimit = s.options.LightHashing ? crypto_pwhash_MEMLIMIT_MIN : crypto_pwhash_MEMLIMIT_INTERACTIVE;
  s.store = OpenScoreStore(s.options.DatabasePath, s.error);
  s.ready = s.store != nullptr;
}

ScoreService::~ScoreService() = default;

bool ScoreService::Ready() const { return impl_->ready; }
const std::string& ScoreService::Error() const { return impl_->error; }
std::string ScoreService::StoreDescription() const { return impl_->store ? impl_->store->Describe() : std::string(); }

ServiceReply ScoreService::Handle(std::string_view path, const QueryParams& params, std::string_view clientAddress) {
  Impl& s = *impl_;
  if (!s.ready) return Reply(503, "REFUSED: no store");
  // Clients put two slashes before the path; any number is taken.
  while (!path.empty() && path.front() == '/') path.remove_prefix(1);
  if (path == "enscore/login.php") return s.Login(params, AddressKey(clientAddress));
  if (path == "enscore/scores.php") return s.Upload(params, AddressKey(clientAddress));
  constexpr std::string_view tables = "enscore/tables/", suffix = ".txt";
  if (path.substr(0, tables.size()) == tables && path.size() > tables.size() + suffix.size() &&
      path.substr(path.size() - suffix.size()) == suffix) {
    const std::string_view rest = path.substr(tables.size(), path.size() - tables.size() - suffix.size());
    const size_t slash = rest.find('/');
    if (slash != std::string_view::npos) return s.Table(rest.substr(0, slash), rest.substr(slash + 1));
  }
  // The pages for a browser: the games, each game's tables, their style sheet.
  if (path.empty() || path == "index.html") return Impl::Page(200, s.indexPage);
  if (path == "style.css") return ServiceReply{200, "text/css; charset=utf-8", StyleSheet(), {}};
  constexpr std::string_view pages = "games/";
  if (path.substr(0, pages.size()) == pages) {
    std::string_view week = path.substr(pages.size());
    if (!week.empty() && week.back() == '/') week.remove_suffix(1);
    return s.GamePageOf(week);
  }
  return s.Refuse("request", "no such page", 404);
}

bool ScoreService::MayWaitForHashing(std::string_view path) {
  while (!path.empty() && path.front() == '/') path.remove_prefix(1);
  return path == "enscore/login.php" || path == "enscore/scores.php";
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
