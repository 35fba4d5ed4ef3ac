// The score server's web pages: the games it serves and each game's tables, for a browser. Plain
// HTML and one style sheet, no script; readable on a phone. Every name and value is text and only
// text: escaped, and turned from the games' 8-bit text (Latin-1) into UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "server/score_store.h"

struct GameIdentity;

// The policy every page is served with: nothing but the page and its style sheet, and no script.
inline constexpr const char* PagePolicy =
    "default-src 'none'; style-src 'self'; img-src 'self'; base-uri 'none'; form-action 'none'; "
    "frame-ancestors 'none'";
inline constexpr const char* StyleSheetPath = "/style.css";

// Latin-1 text as HTML text in UTF-8: & < > " ' as character references, control characters as
// U+FFFD.
std::string HtmlText(std::string_view latin1);

// One table of a game: its id (GameMode + 100 x Level + 1000 x GameFlags) and its best records.
struct WebTable {
  int64_t Table = 0;
  std::vector<StoredRecord> Records;
};

// "/": the games served, newest week first, each a link to its page.
std::string IndexPage(const std::vector<const GameIdentity*>& games);
// "/games/W/": a game's tables, by difficulty (then level and flags): rank, name, score, date,
// difficulty and completion of each record.
std::string GamePage(const GameIdentity& game, const std::vector<WebTable>& tables);
// The path of a game's page.
std::string GamePagePath(int week);
// The style sheet at StyleSheetPath.
const std::string& StyleSheet();
