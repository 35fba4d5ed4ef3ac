#include "server/web_pages.h"

#include <algorithm>
#include <tuple>

#include "core/core.h"

namespace {

void AppendUtf8(std::string& out, unsigned code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

std::string Head(const std::string& title) {
  return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>" +
         HtmlText(title) + "</title>\n<link rel=\"stylesheet\" href=\"" + StyleSheetPath + "\">\n</head>\n<body>\n";
}

const char* const Tail = "</body>\n</html>\n";

std::string DifficultyName(const GameIdentity& game, int64_t mode) {
  if (mode >= 0 && mode < static_cast<int64_t>(game.DifficultyNames.size()) && game.DifficultyNames[mode])
    return game.DifficultyNames[mode];
  return "Difficulty " + std::to_string(mode);
}

// The table's heading: its difficulty, and its level and variant when the game has them.
std::string TableName(const GameIdentity& game, int64_t table) {
  std::string name = DifficultyName(game, table % 100);
  if (const int64_t level = (table / 100) % 10) name += ", level " + std::to_string(level);
  if (const int64_t flags = table / 1000) name += ", variant " + std::to_string(flags);
  return name;
}

std::string Completion(const StoredRecord& r) {
  if (r.Best[29] == 1) return "Complete!";
  return r.Quit == 1 ? "quit" : "";
}

std::string Row(const GameIdentity& game, int rank, const StoredRecord& r) {
  return "<tr><td class=\"rank\">" + std::to_string(rank) + "</td><td class=\"name\">" + HtmlText(r.Name) +
         "</td><td class=\"score\">" + std::to_string(r.Score) + "</td><td class=\"date\">" +
         HtmlText(FormatDate(r.Timestamp)) + "</td><td class=\"difficulty\">" +
         HtmlText(DifficultyName(game, r.GameMode)) + "</td><td class=\"completion\">" + HtmlText(Completion(r)) +
         "</td></tr>\n";
}

}  // namespace

std::string HtmlText(std::string_view latin1) {
  std::string out;
  out.reserve(latin1.size());
  for (const char ch : latin1) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default:
        if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0))
          AppendUtf8(out, 0xFFFD);  // no control character reaches the page
        else
          AppendUtf8(out, c);
    }
  }
  return out;
}

std::string GamePagePath(int week) { return "/games/" + std::to_string(week) + "/"; }

std::string IndexPage(const std::vector<const GameIdentity*>& games) {
  std::vector<const GameIdentity*> newest(games.begin(), games.end());
  std::erase(newest, nullptr);
  std::sort(newest.begin(), newest.end(),
            [](const GameIdentity* a, const GameIdentity* b) { return a->WeekNumber > b->WeekNumber; });
  std::string page = Head("Online tables") + "<h1>Online tables</h1>\n<ul class=\"games\">\n";
  for (const GameIdentity* game : newest)
    page += "<li><a href=\"" + GamePagePath(game->WeekNumber) + "\"><span class=\"week\">#" +
            std::to_string(game->WeekNumber) + "</span> " + HtmlText(game->TitleWord1) + " " +
            HtmlText(game->TitleWord2) + "</a><br><span class=\"tagline\">" + HtmlText(game->Tagline) +
            "</span></li>\n";
  if (newest.empty()) page += "<li>No game is served here.</li>\n";
  return page + "</ul>\n" + Tail;
}

std::string GamePage(const GameIdentity& game, const std::vector<WebTable>& tables) {
  const std::string title = WindowTitle(game);
  std::string page = Head(title) + "<p class=\"back\"><a href=\"/\">All games</a></p>\n<h1>" + HtmlText(title) +
                     "</h1>\n<p class=\"tagline\">" + HtmlText(game.Tagline) + "</p>\n";
  std::vector<const WebTable*> shown;
  for (const WebTable& t : tables)
    if (!t.Records.empty()) shown.push_back(&t);
  // By difficulty, then level, then variant.
  std::sort(shown.begin(), shown.end(), [](const WebTable* a, const WebTable* b) {
    const auto key = [](int64_t t) { return std::tuple(t % 100, (t / 100) % 10, t / 1000); };
    return key(a->Table) < key(b->Table);
  });
  if (shown.empty()) page += "<p>No scores yet.</p>\n";
  for (const WebTable* t : shown) {
    page += "<section>\n<h2>" + HtmlText(TableName(game, t->Table)) +
            "</h2>\n<div class=\"scroll\"><table>\n<thead><tr><th class=\"rank\">#</th><th class=\"name\">Name</th>"
            "<th class=\"score\">Score</th><th class=\"date\">Date</th><th class=\"difficulty\">Difficulty</th>"
            "<th class=\"completion\">Completion</th></tr></thead>\n<tbody>\n";
    for (size_t i = 0; i < t->Records.size(); ++i) page += Row(game, static_cast<int>(i + 1), t->Records[i]);
    page += "</tbody>\n</table></div>\n</section>\n";
  }
  return page + Tail;
}

const std::string& StyleSheet() {
  static const std::string sheet =
      "body { margin: 0 auto; max-width: 52rem; padding: 1rem; font: 1rem/1.4 sans-serif; color: #e8f0e8;"
      " background: #0b120b; }\n"
      "a { color: #8fe08f; }\n"
      "h1 { font-size: 1.6rem; margin: 0.5rem 0; }\n"
      "h2 { font-size: 1.2rem; margin: 1.5rem 0 0.5rem; }\n"
      ".tagline { color: #a8b8a8; }\n"
      ".games { list-style: none; padding: 0; }\n"
      ".games li { margin: 0 0 1rem; }\n"
      ".week { color: #a8b8a8; }\n"
      "table { border-collapse: collapse; width: 100%; }\n"
      "th, td { padding: 0.3rem 0.5rem; text-align: left; border-bottom: 1px solid #274027; }\n"
      "td.name { overflow-wrap: anywhere; }\n"
      ".rank, .score { text-align: right; font-variant-numeric: tabular-nums; }\n"
      ".score, .date { white-space: nowrap; }\n"
      ".scroll { overflow-x: auto; }\n"
      "@media (max-width: 40rem) {\n"
      "  body { padding: 0.5rem; font-size: 0.85rem; }\n"
      "  th, td { padding: 0.25rem 0.2rem; }\n"
      "}\n";
  return sheet;
}
