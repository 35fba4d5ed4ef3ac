// The store's two kinds, for OpenScoreStore, and what they share: the per-level values as stored.
#pragma once

#include <memory>
#include <string>

#include "server/score_store.h"

std::unique_ptr<ScoreStore> OpenSqliteStore(const std::string& path, std::string& error);
std::unique_ptr<ScoreStore> OpenPostgresStore(const std::string& uri, std::string& error);

// The per-level values as both stores keep them: thirty decimals joined by "|".
std::string JoinBest(const std::array<int32_t, 30>& best);
std::array<int32_t, 30> SplitBest(const std::string& text);
