// The score server's PostgreSQL store over libpq, which several servers on several machines can
// share. Each server holds a few connections, one an operation at a time, so that a table read never
// waits behind another request's commit and commits of several requests share the server's flushes.
// Its schema is made and brought up to date at start by numbered migrations; the database's unique
// constraints settle what two servers may do at once (a name registered twice, the same record sent
// twice). Every value travels as a parameter, never inside the text of a statement. A connection
// the database ended while it was idle (a restart, an administrator) is made again before it is
// used; one lost in the middle of a request fails that request and is made again by the next.
#include <libpq-fe.h>
#include <poll.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>

#include "server/score_store_backends.h"

namespace {

// The schema, one step a version; a database records the steps it has had in schema_migrations.
// A step is never changed once released: a change is a new step.
struct Migration {
  int Version;
  const char* Sql;
};
const Migration Migrations[] = {
    {1,
     // Names are 8-bit text (the connection speaks LATIN1, so any byte survives in any server
     // encoding). The unique keys settle races: a name registered twice at once is kept for the
     // first, the same record sent twice is kept once.
     "CREATE TABLE users("
     " name text PRIMARY KEY, hash text NOT NULL, created bigint NOT NULL);"
     "CREATE TABLE records("
     " id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY, week bigint NOT NULL, table_id bigint NOT NULL,"
     " user_name text NOT NULL, score bigint NOT NULL, name text NOT NULL, badges integer NOT NULL,"
     " timestamp bigint NOT NULL, level integer NOT NULL, game_mode integer NOT NULL,"
     " game_flags integer NOT NULL, quit integer NOT NULL, best text NOT NULL,"
     " UNIQUE(week, table_id, user_name, score, timestamp, name, best));"
     "CREATE INDEX records_rank ON records(week, table_id, score DESC, timestamp, id);"},
};

// The advisory lock servers take around migrating, so that two starting at once against a new
// database migrate one after the other (the second then finds nothing to do).
constexpr const char* MigrationLockKey = "7640118230977521011";
// The first of the two keys of the lock an upload takes on its user (the second is the name's
// hash), so that two uploads of one user at once prune to exactly keepPerUser.
constexpr const char* UploadLockClass = "1987470181";

// The connections each server holds: a few, since each is a process of the database's.
constexpr int Connections = 4;

struct ClearResult {
  void operator()(PGresult* r) const { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ClearResult>;

StoreResult Status(StoreStatus status) { return StoreResult{status, {}}; }

// A message of libpq or the server on one line: its lines joined, the last line end dropped.
std::string OneLine(const char* message) {
  std::string out;
  bool blank = false;
  for (const char* c = message ? message : ""; *c; ++c) {
    const bool space = *c == '\n' || *c == '\r' || *c == '\t' || *c == ' ';
    if (space) {
      blank = !out.empty();
      continue;
    }
    if (blank) out += ' ';
    blank = false;
    out += *c;
  }
  return out.empty() ? "unknown error" : out;
}

// What a failed statement says: the server's severity and message (with its detail), or libpq's own
// message when the server sent none (a lost connection).
std::string ErrorText(const PGresult* r, const PGconn* conn) {
  const char* primary = r ? PQresultErrorField(r, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
  if (!primary) {
    const char* message = r ? PQresultErrorMessage(r) : "";
    return OneLine(*message ? message : PQerrorMessage(conn));
  }
  const char* severity = PQresultErrorField(r, PG_DIAG_SEVERITY);
  const char* detail = PQresultErrorField(r, PG_DIAG_MESSAGE_DETAIL);
  return OneLine((std::string(severity ? severity : "ERROR") + ": " + primary + (detail ? std::string(" (") + detail + ")" : ""))
                     .c_str());
}

int64_t Int(const PGresult* r, int row, int column) { return std::strtoll(PQgetvalue(r, row, column), nullptr, 10); }

// One connection to the database, used by one operation at a time.
class Session {
 public:
  explicit Session(PGconn* conn) : conn_(conn) {}
  ~Session() { PQfinish(conn_); }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Text parameters $1, $2, ... of one statement.
  struct Params {
    std::vector<std::string> Values;
    Params& operator<<(int64_t v) {
      Values.push_back(std::to_string(v));
      return *this;
    }
    Params& operator<<(const std::string& v) {
      Values.push_back(v);
      return *this;
    }
  };
  bool Connected(StoreResult& failure);
  Result Run(const char* sql, const Params& params, ExecStatusType expected, StoreResult& failure);
  Result Run(const char* sql, ExecStatusType expected, StoreResult& failure) { return Run(sql, Params{}, expected, failure); }
  bool Commit(StoreResult& failure);
  void EndTransaction();
  bool Migrate(std::string& error);
  PGconn* Connection() const { return conn_; }

 private:
  PGconn* conn_;
};
using Params = Session::Params;

class PostgresStore final : public ScoreStore {
 public:
  bool Open(const std::string& uri, std::string& error);
  std::string Describe() const override { return description_; }
  StoreResult PasswordHash(const std::string& user, std::string& hash) override;
  StoreResult AddUser(const std::string& user, const std::string& hash) override;
  StoreResult AddRecord(int64_t week, int64_t table, const std::string& user, const StoredRecord& record,
                        int keepPerUser) override;
  StoreResult BestRecords(int64_t week, int64_t table, int limit, std::vector<StoredRecord>& records) override;
  StoreResult Tables(int64_t week, std::vector<int64_t>& tables) override;

 private:
  // A session taken from the idle ones for one operation (waiting for one when all are busy) and
  // given back at its end.
  class Lease {
   public:
    explicit Lease(PostgresStore& store) : store_(store) {
      std::unique_lock<std::mutex> lock(store_.mutex_);
      store_.returned_.wait(lock, [this] { return !store_.idle_.empty(); });
      session_ = store_.idle_.back();
      store_.idle_.pop_back();
    }
    ~Lease() {
      std::lock_guard<std::mutex> lock(store_.mutex_);
      store_.idle_.push_back(session_);
      store_.returned_.notify_one();
    }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    Session* operator->() const { return session_; }

   private:
    PostgresStore& store_;
    Session* session_;
  };

  std::vector<std::unique_ptr<Session>> sessions_;
  std::mutex mutex_;  // guards idle_
  std::condition_variable returned_;
  std::vector<Session*> idle_;
  std::string description_;
};

}  // namespace

// A connection lost since its last use (the database restarted, the session was ended) is made
// again; false with the reason when it cannot be.
bool Session::Connected(StoreResult& failure) {
  if (PQstatus(conn_) == CONNECTION_OK) {
    // An idle connection is sent nothing but a notice or the database's word that it ends the
    // session, then the end itself: read what came (a few reads, the end may come after the word),
    // which marks an ended connection bad.
    for (int read = 0; read < 4 && PQstatus(conn_) == CONNECTION_OK; ++read) {
      pollfd waiting{PQsocket(conn_), POLLIN, 0};
      if (::poll(&waiting, 1, 0) <= 0 || !PQconsumeInput(conn_)) break;
    }
    if (PQstatus(conn_) == CONNECTION_OK) return true;
  }
  PQreset(conn_);
  if (PQstatus(conn_) == CONNECTION_OK) return true;
  failure = StoreResult{StoreStatus::Failed, "no connection to the database: " + OneLine(PQerrorMessage(conn_))};
  return false;
}

// Runs one statement; null with PostgreSQL's message in failure unless its result has the expected
// status. A failure inside a transaction rolls it back, so that the next request starts clean.
Result Session::Run(const char* sql, const Params& params, ExecStatusType expected, StoreResult& failure) {
  std::vector<const char*> values;
  for (const std::string& v : params.Values) {
    // A parameter's text ends at its first NUL byte: refused rather than stored cut short.
    if (v.find('\0') != std::string::npos) {
      failure = StoreResult{StoreStatus::Failed, "a value with a NUL byte"};
      EndTransaction();
      return nullptr;
    }
    values.push_back(v.c_str());
  }
  Result r(PQexecParams(conn_, sql, static_cast<int>(values.size()), nullptr, values.data(), nullptr, nullptr, 0));
  if (r && PQresultStatus(r.get()) == expected) return r;
  failure = StoreResult{StoreStatus::Failed, ErrorText(r.get(), conn_)};
  EndTransaction();
  return nullptr;
}

// COMMIT of a transaction that failed answers "ROLLBACK" without an error: only "COMMIT" is one.
bool Session::Commit(StoreResult& failure) {
  Result r = Run("COMMIT", PGRES_COMMAND_OK, failure);
  if (!r) return false;
  if (std::string(PQcmdStatus(r.get())) == "COMMIT") return true;
  failure = StoreResult{StoreStatus::Failed, std::string("the commit ended in ") + PQcmdStatus(r.get())};
  return false;
}

void Session::EndTransaction() {
  const PGTransactionStatusType t = PQtransactionStatus(conn_);
  if (t == PQTRANS_INTRANS || t == PQTRANS_INERROR) PQclear(PQexec(conn_, "ROLLBACK"));
}

bool PostgresStore::Open(const std::string& uri, std::string& error) {
  // The URI's own settings win over the first two; the encoding is the store's own rule.
  const char* keys[] = {"connect_timeout", "fallback_application_name", "dbname", "client_encoding", nullptr};
  const char* values[] = {"10", "vq-score-server", uri.c_str(), "LATIN1", nullptr};
  for (int i = 0; i < Connections; ++i) {
    PGconn* conn = PQconnectdbParams(keys, values, 1);
    if (!conn || PQstatus(conn) != CONNECTION_OK) {
      error = "cannot connect to the PostgreSQL database: " + OneLine(conn ? PQerrorMessage(conn) : "out of memory");
      PQfinish(conn);
      return false;
    }
    // The server's notices ("already exists, skipping") are no failures: not written anywhere.
    PQsetNoticeProcessor(conn, [](void*, const char*) {}, nullptr);
    sessions_.push_back(std::make_unique<Session>(conn));
    idle_.push_back(sessions_.back().get());
    if (i == 0 && !sessions_[0]->Migrate(error)) return false;
  }
  PGconn* conn = sessions_[0]->Connection();
  description_ = std::string("PostgreSQL database ") + PQdb(conn) + " on " + PQhost(conn) + " port " + PQport(conn) +
                 " as " + PQuser(conn) + ", schema version " + std::to_string(Migrations[std::size(Migrations) - 1].Version) +
                 ", " + std::to_string(Connections) + " connections";
  return true;
}

// Brings the schema to the newest version, one migration at a time, all in one transaction under
// the migration lock. A database newer than this server is refused: its tables may be other ones.
bool Session::Migrate(std::string& error) {
  StoreResult failure;
  const int newest = Migrations[std::size(Migrations) - 1].Version;
  Result version;
  const bool begun = Run("BEGIN", PGRES_COMMAND_OK, failure) &&
                     Run("SELECT pg_advisory_xact_lock($1)", Params{} << MigrationLockKey, PGRES_TUPLES_OK, failure) &&
                     Run("CREATE TABLE IF NOT EXISTS schema_migrations("
                         " version integer PRIMARY KEY, applied timestamptz NOT NULL DEFAULT now())",
                         PGRES_COMMAND_OK, failure) &&
                     (version = Run("SELECT coalesce(max(version), 0) FROM schema_migrations", PGRES_TUPLES_OK, failure));
  if (!begun) {
    error = "cannot read the database's schema version: " + failure.Error;
    return false;
  }
  const int64_t current = Int(version.get(), 0, 0);
  if (current > newest) {
    EndTransaction();
    error = "the database's schema is version " + std::to_string(current) + ", newer than this server's (" +
            std::to_string(newest) + ")";
    return false;
  }
  for (const Migration& m : Migrations) {
    if (m.Version <= current) continue;
    // Several statements of fixed text: the simple protocol runs them in this transaction.
    Result step(PQexec(conn_, m.Sql));
    if (!step || PQresultStatus(step.get()) != PGRES_COMMAND_OK) {
      error = "cannot migrate the database to schema version " + std::to_string(m.Version) + ": " +
              ErrorText(step.get(), conn_);
      EndTransaction();
      return false;
    }
    if (!Run("INSERT INTO schema_migrations(version) VALUES($1)", Params{} << int64_t{m.Version}, PGRES_COMMAND_OK,
             failure)) {
      error = "cannot record schema version " + std::to_string(m.Version) + ": " + failure.Error;
      return false;
    }
  }
  if (!Commit(failure)) {
    error = "cannot commit the database's schema: " + failure.Error;
    return false;
  }
  return true;
}

StoreResult PostgresStore::PasswordHash(const std::string& user, std::string& hash) {
  Lease session(*this);
  StoreResult failure;
  if (!session->Connected(failure)) return failure;
  Result r = session->Run("SELECT hash FROM users WHERE name = $1", Params{} << user, PGRES_TUPLES_OK, failure);
  if (!r) return failure;
  if (PQntuples(r.get()) == 0) return Status(StoreStatus::NotFound);
  hash = PQgetvalue(r.get(), 0, 0);
  return Status(StoreStatus::Done);
}

StoreResult PostgresStore::AddUser(const std::string& user, const std::string& hash) {
  Lease session(*this);
  StoreResult failure;
  if (!session->Connected(failure)) return failure;
  // A registration of the same name at the same moment waits for the other's commit, then adds
  // nothing: Taken.
  Result r = session->Run("INSERT INTO users(name, hash, created) VALUES($1, $2, floor(extract(epoch FROM now())))"
                 " ON CONFLICT (name) DO NOTHING",
                 Params{} << user << hash, PGRES_COMMAND_OK, failure);
  if (!r) return failure;
  return Status(std::string(PQcmdTuples(r.get())) == "1" ? StoreStatus::Done : StoreStatus::Taken);
}

StoreResult PostgresStore::AddRecord(int64_t week, int64_t table, const std::string& user, const StoredRecord& rec,
                                     int keepPerUser) {
  Lease session(*this);
  StoreResult failure;
  if (!session->Connected(failure)) return failure;
  session->EndTransaction();  // nothing may be left open from before
  Params insert;
  insert << week << table << user << rec.Score << rec.Name << int64_t{rec.Badges} << rec.Timestamp
         << int64_t{rec.Level} << int64_t{rec.GameMode} << int64_t{rec.GameFlags} << int64_t{rec.Quit}
         << JoinBest(rec.Best);
  Params prune;
  prune << week << table << user << int64_t{keepPerUser};
  const bool ok =
      session->Run("BEGIN", PGRES_COMMAND_OK, failure) &&
      session->Run("SELECT pg_advisory_xact_lock($1, hashtext($2))", Params{} << UploadLockClass << user, PGRES_TUPLES_OK,
          failure) &&
      session->Run("INSERT INTO records(week, table_id, user_name, score, name, badges, timestamp, level, game_mode,"
          " game_flags, quit, best) VALUES($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12) ON CONFLICT DO NOTHING",
          insert, PGRES_COMMAND_OK, failure) &&
      session->Run("DELETE FROM records WHERE week = $1 AND table_id = $2 AND user_name = $3 AND id NOT IN"
          " (SELECT id FROM records WHERE week = $1 AND table_id = $2 AND user_name = $3"
          "  ORDER BY score DESC, timestamp, id LIMIT $4)",
          prune, PGRES_COMMAND_OK, failure) &&
      session->Commit(failure);
  // A connection lost during the commit may or may not have kept the record: the client is told it
  // failed and sends it again, and the unique key keeps it once.
  return ok ? Status(StoreStatus::Done) : failure;
}

StoreResult PostgresStore::BestRecords(int64_t week, int64_t table, int limit, std::vector<StoredRecord>& out) {
  out.clear();
  Lease session(*this);
  StoreResult failure;
  if (!session->Connected(failure)) return failure;
  Result r = session->Run("SELECT score, name, badges, timestamp, level, game_mode, game_flags, quit, best FROM records"
                 " WHERE week = $1 AND table_id = $2 ORDER BY score DESC, timestamp, id LIMIT $3",
                 Params{} << week << table << int64_t{limit}, PGRES_TUPLES_OK, failure);
  if (!r) return failure;
  for (int row = 0; row < PQntuples(r.get()); ++row) {
    StoredRecord rec;
    rec.Score = Int(r.get(), row, 0);
    rec.Name = PQgetvalue(r.get(), row, 1);
    rec.Badges = static_cast<int32_t>(Int(r.get(), row, 2));
    rec.Timestamp = Int(r.get(), row, 3);
    rec.Level = static_cast<int32_t>(Int(r.get(), row, 4));
    rec.GameMode = static_cast<int32_t>(Int(r.get(), row, 5));
    rec.GameFlags = static_cast<int32_t>(Int(r.get(), row, 6));
    rec.Quit = static_cast<int32_t>(Int(r.get(), row, 7));
    rec.Best = SplitBest(PQgetvalue(r.get(), row, 8));
    out.push_back(std::move(rec));
  }
  return Status(StoreStatus::Done);
}

StoreResult PostgresStore::Tables(int64_t week, std::vector<int64_t>& out) {
  out.clear();
  Lease session(*this);
  StoreResult failure;
  if (!session->Connected(failure)) return failure;
  Result r = session->Run("SELECT DISTINCT table_id FROM records WHERE week = $1 ORDER BY table_id", Params{} << week,
                          PGRES_TUPLES_OK, failure);
  if (!r) return failure;
  for (int row = 0; row < PQntuples(r.get()); ++row) out.push_back(Int(r.get(), row, 0));
  return Status(StoreStatus::Done);
}

std::unique_ptr<ScoreStore> OpenPostgresStore(const std::string& uri, std::string& error) {
  auto store = std::make_unique<PostgresStore>();
  if (!store->Open(uri, error)) return nullptr;
  return store;
}
