#include "scores/scores.h"

ScoresState ScoreLists;

void ResetScoresState() { ScoreLists = ScoresState{}; }
