// The score server's store: one SQLite file in WAL mode holding the users (name and password hash)
// and the uploaded records of every week and table. Safe to share between threads: every call
// takes the store's lock; several server processes may share the file (busy timeout).
//
// Every operation says whether it found what it looked for or whether the store failed (a full
// disk, a busy or damaged file): a failure is never read as "no such user" or "no records". A
// write that returns Done is committed with synchronous=FULL, so it is on disk; one that fails is
// rolled back and leaves the connection ready for the next request.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

struct sqlite3;

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
  std::string Error;  // SQLite's message when Failed
  bool Failed() const { return Status == StoreStatus::Failed; }
};

class ScoreStore {
 public:
  ScoreStore() = default;
  ScoreStore(const ScoreStore&) = delete;
  ScoreStore& operator=(const ScoreStore&) = delete;
  ~ScoreStore();

  // Opens or creates the file and its tables; false with a message when it cannot.
  bool Open(const std::string& path, std::string& error);
  // The user's password hash: Done with hash set, NotFound, or Failed.
  StoreResult PasswordHash(const std::string& user, std::string& hash);
  // Adds a user: Done, Taken when the name is registered already, or Failed.
  StoreResult AddUser(const std::string& user, const std::string& hash);
  // Keeps a record in a week's table, once: the same record sent again is not stored twice. A user
  // keeps at most keepPerUser records per table (the best), since no more can ever be shown.
  // Done once committed, or Failed (and nothing of it stored).
  StoreResult AddRecord(int64_t week, int64_t table, const std::string& user, const StoredRecord& record,
                        int keepPerUser);
  // The best records of a week's table, score descending (older first among equal scores): Done
  // (records may be empty) or Failed.
  StoreResult BestRecords(int64_t week, int64_t table, int limit, std::vector<StoredRecord>& records);

 private:
  StoreResult Error();
  bool Exec(const char* sql);
  void EndTransaction();
  std::mutex mutex_;
  sqlite3* db_ = nullptr;
};
