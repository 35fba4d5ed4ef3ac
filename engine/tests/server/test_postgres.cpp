// The tests' PostgreSQL server: found once per program, started by postgres.sh when no fixture did.
#include "test_postgres.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>

namespace {

// What the program knows of its server: looked for once, on first use.
struct Server {
  std::mutex Mutex;
  bool Looked = false;
  std::string Uri, Reason;
  std::string OwnDir;  // the folder of a server this program started, stopped at its end
};
Server& TheServer() {
  static Server server;
  return server;
}

const std::string Script = std::string(VQ_SOURCE_DIR) + "/tests/server/postgres.sh";

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Trimmed(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
  return s;
}

// Starts a server of this program's own in a new folder under /tmp, which user nobody can reach.
void StartOwn(Server& s) {
  char dir[] = "/tmp/vq-postgres-test.XXXXXX";
  if (!::mkdtemp(dir)) {
    s.Reason = "cannot make a folder for PostgreSQL";
    return;
  }
  const std::string err = std::string(dir) + ".err";
  const std::string command = "'" + Script + "' start " + dir + " 2>" + err;
  std::string out;
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char buffer[512];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
    const int status = ::pclose(p);
    if (status == 0 && !Trimmed(out).empty()) {
      s.Uri = Trimmed(out);
      s.OwnDir = dir;
    } else {
      s.Reason = Trimmed(ReadAll(err));
      if (s.Reason.empty()) s.Reason = "postgres.sh start failed";
      std::system(("'" + Script + "' stop " + dir).c_str());
    }
  } else {
    s.Reason = "cannot run " + Script;
  }
  std::remove(err.c_str());
}

void Look(Server& s) {
  if (s.Looked) return;
  s.Looked = true;
  // The fixture's state file: "uri URI" or "failed REASON".
  const std::string state = Trimmed(ReadAll(VQ_POSTGRES_STATE));
  if (state.rfind("uri ", 0) == 0) {
    s.Uri = state.substr(4);
  } else if (state.rfind("failed ", 0) == 0) {
    s.Reason = state.substr(7);
  } else {
    StartOwn(s);
  }
  if (s.Uri.empty() && s.Reason.empty()) s.Reason = "no PostgreSQL server";
}

// Stops the server this program started, once every test has run.
class StopOwnServer : public ::testing::Environment {
 public:
  void TearDown() override {
    Server& s = TheServer();
    std::lock_guard<std::mutex> lock(s.Mutex);
    if (!s.OwnDir.empty()) std::system(("'" + Script + "' stop " + s.OwnDir).c_str());
    s.OwnDir.clear();
  }
};
[[maybe_unused]] ::testing::Environment* const Stopper = ::testing::AddGlobalTestEnvironment(new StopOwnServer);

// A URI for another database of the same server: a later dbname parameter wins.
std::string WithDatabase(const std::string& uri, const std::string& name) {
  return uri + (uri.find('?') == std::string::npos ? "?" : "&") + "dbname=" + name;
}

}  // namespace

bool TestPostgresReady(std::string& reason) {
  Server& s = TheServer();
  std::lock_guard<std::mutex> lock(s.Mutex);
  Look(s);
  reason = s.Reason;
  return !s.Uri.empty();
}

bool TestPostgresRequired() {
  const char* v = std::getenv("VQ_REQUIRE_POSTGRES");
  return v && std::string(v) == "1";
}

std::string NewTestDatabase(std::string& error) {
  if (!TestPostgresReady(error)) return {};
  // Unique across the test processes sharing the server: the process id and a count.
  static std::atomic<int> made{0};
  const std::string name = "t" + std::to_string(::getpid()) + "_" + std::to_string(++made);
  std::string out;
  if (!RunPostgresSql(TheServer().Uri, "CREATE DATABASE " + name, out)) {
    error = "cannot create a database: " + out;
    return {};
  }
  return WithDatabase(TheServer().Uri, name);
}

PostgresSession::PostgresSession(const std::string& uri) : conn_(PQconnectdb(uri.c_str())) {}
PostgresSession::~PostgresSession() { PQfinish(conn_); }

bool PostgresSession::Run(const std::string& sql, std::string& out) {
  out.clear();
  if (PQstatus(conn_) != CONNECTION_OK) {
    out = Trimmed(PQerrorMessage(conn_));
    return false;
  }
  PGresult* r = PQexec(conn_, sql.c_str());
  const ExecStatusType status = PQresultStatus(r);
  const bool ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
  if (!ok) {
    out = Trimmed(PQresultErrorMessage(r));
  } else {
    for (int row = 0; row < PQntuples(r); ++row) {
      for (int column = 0; column < PQnfields(r); ++column) out += (column ? "|" : "") + std::string(PQgetvalue(r, row, column));
      out += "\n";
    }
  }
  PQclear(r);
  return ok;
}

bool RunPostgresSql(const std::string& uri, const std::string& sql, std::string& out) {
  return PostgresSession(uri).Run(sql, out);
}
