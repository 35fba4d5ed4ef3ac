// The choice of store, and the per-level values as stored.
#include "server/score_store.h"

#include <cstdlib>

#include "server/score_store_backends.h"

bool IsPostgresLocation(const std::string& where) {
  return where.rfind("postgresql://", 0) == 0 || where.rfind("postgres://", 0) == 0;
}

std::unique_ptr<ScoreStore> OpenScoreStore(const std::string& where, std::string& error) {
  return IsPostgresLocation(where) ? OpenPostgresStore(where, error) : OpenSqliteStore(where, error);
}

std::string JoinBest(const std::array<int32_t, 30>& best) {
  std::string out;
  for (size_t i = 0; i < best.size(); ++i) out += (i ? "|" : "") + std::to_string(best[i]);
  return out;
}

std::array<int32_t, 30> SplitBest(const std::string& text) {
  std::array<int32_t, 30> best{};
  size_t at = 0;
  for (size_t i = 0; i < best.size() && at <= text.size(); ++i) {
    size_t end = text.find('|', at);
    if (end == std::string::npos) end = text.size();
    best[i] = static_cast<int32_t>(std::strtol(text.substr(at, end - at).c_str(), nullptr, 10));
    at = end + 1;
  }
  return best;
}
