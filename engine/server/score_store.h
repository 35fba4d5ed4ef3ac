// The score server's store: one SQLite file in WAL mode holding the users (name and password hash)
// and the uploaded records of every week and table. Safe to share between threads: every call
// takes the store's lock; several server processes may share the file (busy timeout).
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
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

class ScoreStore {
 public:
  ScoreStore() = default;
  ScoreStore(const ScoreStore&) = delete;
  ScoreStore& operator=(const ScoreStore&) = delete;
  ~ScoreStore();

  // Opens or creates the file and its tables; false with a message when it cannot.
  bool Open(const std::string& path, std::string& error);
  // The user's password hash; nothing for an unknown user (or a store that failed).
  std::optional<std::string> PasswordHash(const std::string& user);
  // Adds a user; false when the name is taken (or the store failed).
  bool AddUser(const std::string& user, const std::string& hash);
  // Keeps a record in a week's table, once: the same record sent again is not stored twice. A user
  // keeps at most keepPerUser records per table (the best), since no more can ever be shown.
  // False when the store failed.
  bool AddRecord(int64_t week, int64_t table, const std::string& user, const StoredRecord& record, int keepPerUser);
  // The best records of a week's table, score descending (older first among equal scores).
  std::vector<StoredRecord> BestRecords(int64_t week, int64_t table, int limit);

 private:
  bool Exec(const char* sql);
  std::mutex mutex_;
  sqlite3* db_ = nullptr;
};
