// The score server protocol: three GET requests (login, upload, table), their scrambled
// parameters, and the reading of the replies into the online table.
#include "core/core.h"
#include "online/online.h"
#include "scores/scores.h"

namespace {

bool CredentialsTooShort() {
  return ScoreLists.OnlineUser.size() < CredentialMinLength || ScoreLists.OnlinePassword.size() < CredentialMinLength;
}

// One GET to the score server; the whole reply, or "" when none came back.
std::string SendRequest(const std::string& target) {
  Thttp http;
  std::string reply;
  if (http.Open(Online.ServerHost, 0)) reply = http.Get(target);
  http.Close();
  return reply;
}

}  // namespace

// ---- Requests --------------------------------------------------------------------------------------
void FilterCredential(std::string& text) {
  static constexpr std::string_view replaced = "*\"'-+&?{}[]~#\\/:;";
  for (char& c : text)
    if (replaced.find(c) != std::string_view::npos) c = '_';
}

void CleanCredentials() {
  for (std::string* text : {&ScoreLists.OnlineUser, &ScoreLists.OnlinePassword}) {
    FilterCredential(*text);
    *text = Trim(*text);
  }
}

std::string CredentialToken() {
  return Scramble(ScoreLists.OnlineUser + "|" + ScoreLists.OnlinePassword, ThisIdentity().GameCode);
}

std::string TableId() {
  return std::to_string(int64_t{Core.Difficulty} + 100 * int64_t{Core.Level} + 1000 * int64_t{Core.GameFlags});
}

std::string UploadLine(const Scores& record) {
  return ScoreLine(record, "|" + std::string(ListSeparator) + "|");
}

std::string LoginTarget(const std::string& input) {
  return "/enscore/login.php?week=" + std::to_string(ThisIdentity().WeekNumber) + "&input=" + input;
}

std::string ScoreTarget(const std::string& input) {
  return "/enscore/scores.php?Week=" + std::to_string(ThisIdentity().WeekNumber) + "&Input=" + input;
}

std::string TableTarget(const std::string& id) {
  return "/enscore/tables/" + std::to_string(ThisIdentity().WeekNumber) + "/" + id + ".txt";
}

std::string LoginParameter() { return Scramble(ScoreLists.OnlineUser + "|" + CredentialToken(), ""); }

std::string UploadParameter(const Scores& record) {
  return Scramble(ScoreLists.OnlineUser + "|" + CredentialToken() + "|" + UploadLine(record), "");
}

std::string LoginRequest(const std::string& input) {
  CleanCredentials();
  if (CredentialsTooShort()) return "WRONG PASSWORD";
  return ReplyBody(SendRequest(LoginTarget(input)));
}

std::string SubmitScore(const std::string& input) {
  CleanCredentials();
  if (CredentialsTooShort()) return "WRONG PASSWORD";
  return ReplyBody(SendRequest(ScoreTarget(input)));
}

std::string FetchTable(const std::string& id) {
  CleanCredentials();
  return ReplyBody(SendRequest(TableTarget(id)));
}

// A switch flips at every pair of LFs; characters are kept while it is on. So an ordinary reply gives
// its body up to the body's first empty line, and a further empty line switches keeping on again.
std::string ReplyBody(std::string_view reply) {
  std::string body;
  bool on = false;
  for (size_t i = 0; i < reply.size(); ++i) {
    if (i + 1 < reply.size() && reply[i] == '\n' && reply[i + 1] == '\n') {
      on = !on;
      i += 2;
    }
    if (on && i < reply.size()) body.push_back(reply[i]);
  }
  return body;
}

// ---- Login -----------------------------------------------------------------------------------------
LoginResult Login() {
  CleanCredentials();  // before the parameter is made, so the request carries the cleaned names
  const std::string& user = ScoreLists.OnlineUser;
  const std::string body = LoginRequest(LoginParameter());
  LoginResult result;
  if (LoginSucceeded(body)) {
    result.LoggedIn = true;
    result.Motd = MotdLines(body);
    DebugLine("\tLogged in to the score server as " + user);
  } else {
    result.Failure = LoginFailure();
    DebugLine("\tLogin to the score server failed: " + result.Failure);
  }
  return result;
}

bool LoginSucceeded(std::string_view body) {
  return body.substr(0, 16) == "Password Correct" || body.substr(0, 8) == "Welcome!";
}

// Lines are taken until the first empty one (or the end, where Field answers "-+-"); the page
// shows at most 19, so reading stops there.
std::vector<std::string> MotdLines(std::string_view body) {
  const std::string motd = Field(body, "|", 2);
  std::vector<std::string> lines;
  for (int i = 1; static_cast<int>(lines.size()) < MotdMaxLines; ++i) {
    const std::string line = Field(motd, "\n", i);
    if (line.empty() || line == MissingField) break;
    lines.push_back(Trim(line));
  }
  return lines;
}

std::string LoginFailure() {
  if (ScoreLists.OnlineUser.size() < CredentialMinLength) return "USERNAME TOO SHORT";
  if (ScoreLists.OnlinePassword.size() < CredentialMinLength) return "PASSWORD TOO SHORT";
  return "WRONG PASSWORD";
}

// ---- Table refresh ---------------------------------------------------------------------------------
void RemoveOnlineTable() {
  std::erase_if(ScoreLists.OnlineScores, [](const std::shared_ptr<Scores>& r) {
    return !r || (r->GameMode == ~Core.Difficulty && r->Level == Core.Level && r->GameFlags == Core.GameFlags);
  });
}

std::string UploadScore(const Scores& record) {
  CleanCredentials();
  return SubmitScore(UploadParameter(record));
}

TableRefresh RefreshOnlineTable() {
  TableRefresh result;
  const std::string id = TableId();
  CleanCredentials();
  const std::string reply = SendRequest(TableTarget(id));
  result.Reached = !reply.empty();
  const std::string body = ReplyBody(reply);
  const std::shared_ptr<Scores> best = ScoreLists.LocalBest;
  if (IsMissingTable(body)) {
    result.MissingTable = true;
    if (best) {
      UploadScore(*best);
      result.Uploaded = true;
    }
  } else {
    const std::vector<std::shared_ptr<Scores>> entries = ReadOnlineTable(body);
    result.Entries = static_cast<int>(entries.size());
    for (const auto& record : entries) {
      ScoreLists.OnlineScores.push_back(record);
      if (!result.Uploaded && best && best->Score >= record->Score) {
        UploadScore(*best);
        result.Uploaded = true;
      }
    }
    // A short table has room for the local best. A server that sent nothing at all is not asked
    // again: the upload would only wait out the same time limit once more.
    if (!result.Uploaded && result.Entries < OnlineTableEntries && best && result.Reached) {
      UploadScore(*best);
      result.Uploaded = true;
    }
  }
  SortScores(ScoreLists.LocalScores);
  SortScores(ScoreLists.OnlineScores);
  std::string what = result.MissingTable ? "none yet" : std::to_string(result.Entries) + " entries";
  if (!result.Reached) what = "no reply";
  DebugLine("\tOnline table " + id + ": " + what + (result.Uploaded ? ", local best offered" : ""));
  return result;
}

bool IsMissingTable(std::string_view body) { return Upper(body).find("<HEAD>") != std::string::npos; }

// Each entry is two lines: the eight main fields joined by "|", then the thirty per-level values.
// A first line without "|" is an empty entry, skipped but still two lines long. The game mode is
// stored complemented (-1, -2, -3 for Easy, Medium, Hard), which keeps online records out of every
// local filter and out of the score file.
std::vector<std::shared_ptr<Scores>> ReadOnlineTable(std::string_view body) {
  std::vector<std::shared_ptr<Scores>> records;
  for (int j = 1; j <= OnlineTableEntries; ++j) {
    const std::string fields = Field(body, "\n", 2 * j - 1);
    auto record = RecordFromFields(fields, Field(body, "\n", 2 * j), GameModeRule::Complemented);
    if (!record) continue;
    records.push_back(std::move(record));
  }
  return records;
}
