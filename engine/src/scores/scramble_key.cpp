// The scrambling with the program's own keys: an empty key selects DefaultKey.
#include "core/core.h"
#include "scores/scores.h"

namespace {

// The key to use: an empty key means DefaultKey, built now if start-up has not built it yet.
std::string_view ChosenKey(std::string_view key) {
  if (!key.empty()) return key;
  if (ScoreLists.DefaultKey.empty()) BuildDefaultKey();
  return ScoreLists.DefaultKey;
}

}  // namespace

void BuildDefaultKey() { ScoreLists.DefaultKey = MakeDefaultKey(ThisIdentity()); }

std::string Scramble(std::string_view text, std::string_view key) { return ScrambleWithKey(text, ChosenKey(key)); }

std::string Unscramble(std::string_view text, std::string_view key) { return UnscrambleWithKey(text, ChosenKey(key)); }
