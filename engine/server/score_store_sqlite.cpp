// The score server's SQLite store: one file in WAL mode. Every call takes the store's lock (one
// connection); several server processes on one machine may share the file (busy timeout).
//
// Records sent at the same time are committed together: each commit waits for its sync to disk
// (synchronous=FULL), so the uploads that arrive while one commit runs wait for it and then go in
// one transaction, one sync for all of them. A failure of that transaction fails each of them (all
// rolled back, each answered as a store failure), never some silently.
#include <sqlite3.h>

#include <condition_variable>
#include <mutex>

#include "server/score_store_backends.h"

namespace {

// A prepared statement that finalizes itself. A failed prepare or bind is kept and makes Step
// fail, so that every step's result is the one to check.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) {
    if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) {
      sqlite3_finalize(stmt_);
      stmt_ = nullptr;
    }
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // Binds values to ?1, ?2, ... in order.
  Statement& Bind(int64_t v) {
    if (stmt_ && sqlite3_bind_int64(stmt_, ++index_, v) != SQLITE_OK) bindFailed_ = true;
    return *this;
  }
  Statement& Bind(const std::string& v) {
    // Names are 8-bit text; SQLite keeps the bytes as they are.
    if (stmt_ && sqlite3_bind_text(stmt_, ++index_, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT) != SQLITE_OK)
      bindFailed_ = true;
    return *this;
  }
  // Ready to be bound and stepped again.
  void Reset() {
    if (!stmt_) return;
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    index_ = 0;
    bindFailed_ = false;
  }
  // SQLITE_ROW, SQLITE_DONE or an error code.
  int Step() { return stmt_ && !bindFailed_ ? sqlite3_step(stmt_) : SQLITE_ERROR; }
  int64_t Int(int column) const { return sqlite3_column_int64(stmt_, column); }
  std::string Text(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return text ? std::string(text, static_cast<size_t>(sqlite3_column_bytes(stmt_, column))) : std::string();
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
  int index_ = 0;
  bool bindFailed_ = false;
};

StoreResult Result(StoreStatus status) { return StoreResult{status, {}}; }

class SqliteStore final : public ScoreStore {
 public:
  ~SqliteStore() override { sqlite3_close(db_); }
  bool Open(const std::string& path, std::string& error);
  std::string Describe() const override { return "SQLite file " + path_; }
  StoreResult PasswordHash(const std::string& user, std::string& hash) override;
  StoreResult AddUser(const std::string& user, const std::string& hash) override;
  StoreResult AddRecord(int64_t week, int64_t table, const std::string& user, const StoredRecord& record,
                        int keepPerUser) override;
  StoreResult BestRecords(int64_t week, int64_t table, int limit, std::vector<StoredRecord>& records) override;
  StoreResult Tables(int64_t week, std::vector<int64_t>& tables) override;

 private:
  // One record waiting for a commit, and what became of it.
  struct Pending {
    int64_t week, table;
    const std::string& user;
    const StoredRecord& record;
    int keepPerUser;
    StoreResult result;
    bool done = false;
  };
  // Stores a group of records in one transaction; each one's result is the transaction's.
  void CommitGroup(const std::vector<Pending*>& group);

  StoreResult Error();
  bool Exec(const char* sql);
  void EndTransaction();
  std::mutex groupMutex_;  // the records waiting, and whether a commit runs (never held while it runs)
  std::condition_variable groupDone_;
  std::vector<Pending*> waiting_;
  bool committing_ = false;
  std::mutex mutex_;
  sqlite3* db_ = nullptr;
  std::string path_;
};

}  // namespace

bool SqliteStore::Exec(const char* sql) { return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

// What went wrong, read before anything else runs on the connection; any transaction left open by
// the failure is rolled back, so that the next request starts clean.
StoreResult SqliteStore::Error() {
  StoreResult r{StoreStatus::Failed, db_ ? sqlite3_errmsg(db_) : "no store"};
  if (db_) EndTransaction();
  return r;
}

void SqliteStore::EndTransaction() {
  if (!sqlite3_get_autocommit(db_)) Exec("ROLLBACK");
}

bool SqliteStore::Open(const std::string& path, std::string& error) {
  std::lock_guard<std::mutex> lock(mutex_);
  path_ = path;
  if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                      nullptr) != SQLITE_OK) {
    error = "cannot open " + path + ": " + (db_ ? sqlite3_errmsg(db_) : "out of memory");
    sqlite3_close(db_);
    db_ = nullptr;
    return false;
  }
  // Other processes sharing the file wait for each other's writes instead of failing at once.
  sqlite3_busy_timeout(db_, 5000);
  // FULL: a commit returns once the log is on disk, so an "OK" survives a power loss.
  const bool ok = Exec("PRAGMA journal_mode=WAL") && Exec("PRAGMA synchronous=FULL") &&
                  Exec("CREATE TABLE IF NOT EXISTS users("
                       " name TEXT PRIMARY KEY, hash TEXT NOT NULL, created INTEGER NOT NULL)") &&
                  Exec("CREATE TABLE IF NOT EXISTS records("
                       " id INTEGER PRIMARY KEY, week INTEGER NOT NULL, table_id INTEGER NOT NULL,"
                       " user TEXT NOT NULL, score INTEGER NOT NULL, name TEXT NOT NULL,"
                       " badges INTEGER NOT NULL, timestamp INTEGER NOT NULL, level INTEGER NOT NULL,"
                       " game_mode INTEGER NOT NULL, game_flags INTEGER NOT NULL, quit INTEGER NOT NULL,"
                       " best TEXT NOT NULL,"
                       " UNIQUE(week, table_id, user, score, timestamp, name, best))") &&
                  Exec("CREATE INDEX IF NOT EXISTS records_rank ON records(week, table_id, score DESC, timestamp)");
  if (!ok) {
    error = "cannot prepare " + path + ": " + sqlite3_errmsg(db_);
    sqlite3_close(db_);
    db_ = nullptr;
  }
  return ok;
}

StoreResult SqliteStore::PasswordHash(const std::string& user, std::string& hash) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!db_) return Error();
  Statement s(db_, "SELECT hash FROM users WHERE name = ?1");
  switch (s.Bind(user).Step()) {
    case SQLITE_ROW:
      hash = s.Text(0);
      return Result(StoreStatus::Done);
    case SQLITE_DONE:
      return Result(StoreStatus::NotFound);
    default:
      return Error();
  }
}

StoreResult SqliteStore::AddUser(const std::string& user, const std::string& hash) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!db_) return Error();
  Statement s(db_, "INSERT OR IGNORE INTO users(name, hash, created) VALUES(?1, ?2, strftime('%s','now'))");
  if (s.Bind(user).Bind(hash).Step() != SQLITE_DONE) return Error();
  return Result(sqlite3_changes(db_) == 1 ? StoreStatus::Done : StoreStatus::Taken);
}

StoreResult SqliteStore::AddRecord(int64_t week, int64_t table, const std::string& user, const StoredRecord& r,
                                  int keepPerUser) {
  Pending mine{week, table, user, r, keepPerUser, {}, false};
  std::unique_lock<std::mutex> lock(groupMutex_);
  waiting_.push_back(&mine);
  while (!mine.done) {
    if (committing_) {
      groupDone_.wait(lock);
      continue;
    }
    // No commit runs: this call commits every record waiting now, its own among them.
    committing_ = true;
    std::vector<Pending*> group;
    group.swap(waiting_);
    lock.unlock();
    CommitGroup(group);
    lock.lock();
    committing_ = false;
    for (Pending* p : group) p->done = true;
    groupDone_.notify_all();
  }
  return mine.result;
}

void SqliteStore::CommitGroup(const std::vector<Pending*>& group) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto failAll = [&] {
    const StoreResult failed = Error();
    for (Pending* p : group) p->result = failed;
  };
  if (!db_) return failAll();
  EndTransaction();  // nothing may be left open from before
  if (!Exec("BEGIN IMMEDIATE")) return failAll();
  Statement insert(db_,
                   "INSERT OR IGNORE INTO records(week, table_id, user, score, name, badges, timestamp, level,"
                   " game_mode, game_flags, quit, best) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12)");
  Statement prune(db_,
                  "DELETE FROM records WHERE week = ?1 AND table_id = ?2 AND user = ?3 AND id NOT IN"
                  " (SELECT id FROM records WHERE week = ?1 AND table_id = ?2 AND user = ?3"
                  "  ORDER BY score DESC, timestamp, id LIMIT ?4)");
  for (const Pending* p : group) {
    const StoredRecord& r = p->record;
    insert.Reset();
    insert.Bind(p->week).Bind(p->table).Bind(p->user).Bind(r.Score).Bind(r.Name).Bind(r.Badges).Bind(r.Timestamp);
    insert.Bind(r.Level).Bind(r.GameMode).Bind(r.GameFlags).Bind(r.Quit).Bind(JoinBest(r.Best));
    if (insert.Step() != SQLITE_DONE) return failAll();
    prune.Reset();
    prune.Bind(p->week).Bind(p->table).Bind(p->user).Bind(p->keepPerUser);
    if (prune.Step() != SQLITE_DONE) return failAll();
  }
  // A commit that fails (a full disk, an I/O error) has stored nothing: the transaction is rolled
  // back by Error when SQLite left it open.
  if (!Exec("COMMIT")) return failAll();
  for (Pending* p : group) p->result = Result(StoreStatus::Done);
}

StoreResult SqliteStore::BestRecords(int64_t week, int64_t table, int limit, std::vector<StoredRecord>& out) {
  std::lock_guard<std::mutex> lock(mutex_);
  out.clear();
  if (!db_) return Error();
  Statement s(db_,
              "SELECT score, name, badges, timestamp, level, game_mode, game_flags, quit, best FROM records"
              " WHERE week = ?1 AND table_id = ?2 ORDER BY score DESC, timestamp, id LIMIT ?3");
  s.Bind(week).Bind(table).Bind(limit);
  int step = SQLITE_ROW;
  while ((step = s.Step()) == SQLITE_ROW) {
    StoredRecord r;
    r.Score = s.Int(0);
    r.Name = s.Text(1);
    r.Badges = static_cast<int32_t>(s.Int(2));
    r.Timestamp = s.Int(3);
    r.Level = static_cast<int32_t>(s.Int(4));
    r.GameMode = static_cast<int32_t>(s.Int(5));
    r.GameFlags = static_cast<int32_t>(s.Int(6));
    r.Quit = static_cast<int32_t>(s.Int(7));
    r.Best = SplitBest(s.Text(8));
    out.push_back(std::move(r));
  }
  if (step != SQLITE_DONE) {
    out.clear();  // a table cut short by a failure is no table
    return Error();
  }
  return Result(StoreStatus::Done);
}

StoreResult SqliteStore::Tables(int64_t week, std::vector<int64_t>& out) {
  std::lock_guard<std::mutex> lock(mutex_);
  out.clear();
  if (!db_) return Error();
  Statement s(db_, "SELECT DISTINCT table_id FROM records WHERE week = ?1 ORDER BY table_id");
  s.Bind(week);
  int step = SQLITE_ROW;
  while ((step = s.Step()) == SQLITE_ROW) out.push_back(s.Int(0));
  if (step != SQLITE_DONE) {
    out.clear();
    return Error();
  }
  return Result(StoreStatus::Done);
}

std::unique_ptr<ScoreStore> OpenSqliteStore(const std::string& path, std::string& error) {
  auto store = std::make_unique<SqliteStore>();
  if (!store->Open(path, error)) return nullptr;
  return store;
}
