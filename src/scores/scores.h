// scores: the score record, the lists of records and the player's names.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One finished game.
struct Scores {
  int64_t Score = 0;
  int64_t Timestamp = 0;  // ((((year*12+month)*31+day)*24+hour)*60+minute)*60+second, local time
  int32_t Badges = 0;     // badge n is bit n - 1
  std::string Name;
  std::array<int32_t, 31> Best{};  // per-level values, 1..30 used
  int32_t Level = 0;
  int32_t GameMode = 0;   // difficulty; online records hold its bitwise complement
  int32_t GameFlags = 0;
  int32_t Quit = 0;       // 1 when the game was quit from the pause menu
};

struct ScoresState {
  std::vector<std::shared_ptr<Scores>> LocalScores;   // newest first after every sort
  std::vector<std::shared_ptr<Scores>> OnlineScores;
  std::shared_ptr<Scores> LastRecord;                 // the most recent finished game
  std::string PlayerName = "Player";
  std::string OnlineUser, OnlinePassword;
};
extern ScoresState ScoreLists;

// Fresh score state (tests).
void ResetScoresState();
