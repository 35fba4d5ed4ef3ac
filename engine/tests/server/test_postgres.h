// The PostgreSQL server the score server's tests run against: the one the ctest fixture started for
// the whole run (its URI in the state file VQ_POSTGRES_STATE), or, when the program runs by hand,
// one this program starts itself with postgres.sh on first use and stops at its end. Each test
// makes databases of its own on it, which go with the server (dropping one costs a checkpoint).
#pragma once

#include <string>

// True when a server is there; else false with why in reason (the programs are missing, it did not
// start), for the test to fail or skip with.
bool TestPostgresReady(std::string& reason);
// True when a missing PostgreSQL is a failure (VQ_REQUIRE_POSTGRES=1, as the test script sets it),
// not a reason to skip.
bool TestPostgresRequired();
// A new empty database: its URI, or empty with the reason in error.
std::string NewTestDatabase(std::string& error);
// A connection of the test's own to a database, as another program's.
class PostgresSession {
 public:
  explicit PostgresSession(const std::string& uri);
  ~PostgresSession();
  PostgresSession(const PostgresSession&) = delete;
  PostgresSession& operator=(const PostgresSession&) = delete;
  // Runs SQL (several statements may be given): the rows of the last statement, a line each,
  // values joined by "|"; false with the server's message in out when it fails.
  bool Run(const std::string& sql, std::string& out);

 private:
  struct pg_conn* conn_;
};
// Runs SQL on the database at uri through a connection made for it, as PostgresSession::Run.
bool RunPostgresSql(const std::string& uri, const std::string& sql, std::string& out);
