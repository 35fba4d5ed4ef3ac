// The score server's store: the users (name and password hash) and the uploaded records of every
// week and table, behind four operations. Two kinds: one SQLite file in WAL mode (the embedded
// default, for one machine) and a PostgreSQL database (which several servers can share). Both are
// safe to share between threads.
//
// Every operation says whether it found what it looked for or whether the store failed (a full
// disk, a busy or damaged file, a lost connection): a failure is never read as "no such user" or
// "no records". A write that returns Done is committed and durable; one that fails is rolled back
// and leaves the store ready for the next request.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One record as a table file lists it.
struct StoredRecord {
  int64_t Score = 0;
  std::string Name;
  int32_t Badges = 0;
  int64_t Timestamp = 0;
  int32_t Level = 0;
  int32_t GameMode = 0;
  int32_t GameFlags = 0;
  int32_t Quit = 0;
  std::array<int32_t, 30> Best{};  // the per-level values 1..30
};

enum class StoreStatus {
  Done,      // found, or written
  NotFound,  // no such user
  Taken,     // the name is registered already
  Failed,    // the store could not answer; Error says why
};

struct StoreResult {
  StoreStatus Status = StoreStatus::Failed;
  std::string Error;  // the database's message when Failed
  bool Failed() const { return Status == StoreStatus::Failed; }
};

class ScoreStore {
 public:
  virtual ~ScoreStore() = default;

  // What the store is, for the server's first lines: "SQLite file scores.db", "PostgreSQL ...".
  virtual std::string Describe() const = 0;
  // The user's password hash: Done with hash set, NotFound, or Failed.
  virtual StoreResult PasswordHash(const std::string& user, std::string& hash) = 0;
  // Adds a user: Done, Taken when the name is registered already (by anyone, even at the same
  // moment), or Failed.
  virtual StoreResult AddUser(const std::string& user, const std::string& hash) = 0;
  // Keeps a record in a week's table, once: the same record sent again is not stored twice. A user
  // keeps at most keepPerUser records per table (the best), since no more can ever be shown.
  // Done once committed, or Failed (and nothing of it stored).
  virtual StoreResult AddRecord(int64_t week, int64_t table, const std::string& user, const StoredRecord& record,
                                int keepPerUser) = 0;
  // The best records of a week's table, score descending (older first among equal scores): Done
  // (records may be empty) or Failed.
  virtual StoreResult BestRecords(int64_t week, int64_t table, int limit, std::vector<StoredRecord>& records) = 0;
  // The tables of a week that hold records, ascending: Done (tables may be empty) or Failed.
  virtual StoreResult Tables(int64_t week, std::vector<int64_t>& tables) = 0;
};

// True for a PostgreSQL connection URI (postgresql://... or postgres://...).
bool IsPostgresLocation(const std::string& where);
// Opens the store at where: a PostgreSQL database for a connection URI (its schema made or brought
// up to date), else the SQLite file of that path (created when missing; ":memory:" for one in
// memory). Null with a message in error when it cannot.
std::unique_ptr<ScoreStore> OpenScoreStore(const std::string& where, std::string& error);
