// Any bytes as requests to the score server, in a store in memory. The first byte says how the rest
// is read:
//   'L'  a login as the game makes it, from fields separated by zero bytes: week, user name,
//        password, then optionally text appended to the token and the name inside the token (the
//        user name when left out). The fields are scrambled by the game's own builders, so that
//        mutations land behind both checksums.
//   'U'  the same fields, the fourth one the upload line: a login, the upload, then the table the
//        record went to. Both run against a fresh store, so that what they answer depends on the
//        input alone.
//   else the raw request: the path, then pairs of key and value, all separated by zero bytes.
// The service answers every request without crashing and with one of its statuses; a login the game
// could send for the week served is welcomed, then recognised, and refused with another password; a
// login for another week is refused as not served; an upload it accepts
// is in its table and reads back through the game's table reader as the record that was sent.
//
// score_service_fuzz -write_seeds=DIR writes seeds of the three requests, made by the game's own
// request builders, into DIR and exits.
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "core/core.h"
#include "online/online.h"
#include "scores/scores.h"
#include "server/score_service.h"
#include "test_game/test_game.h"

namespace {

std::unique_ptr<ScoreService> FreshService() {
  ServiceOptions options;
  options.DatabasePath = ":memory:";
  options.Games = {&TestGameIdentity};
  options.LightHashing = true;
  options.Log = [](const std::string&) {};
  auto service = std::make_unique<ScoreService>(options);
  Check(service->Ready());
  return service;
}

std::vector<std::string> SplitAtZero(const std::string& bytes) {
  std::vector<std::string> parts;
  size_t at = 0;
  for (;;) {
    const size_t end = bytes.find('\0', at);
    parts.push_back(bytes.substr(at, end == std::string::npos ? std::string::npos : end - at));
    if (end == std::string::npos) return parts;
    at = end + 1;
  }
}

ServiceReply Handle(ScoreService& service, const std::string& path, const QueryParams& params) {
  ServiceReply reply = service.Handle(path, params, "192.0.2.7");
  Check(reply.Status == 200 || reply.Status == 400 || reply.Status == 403 || reply.Status == 404 ||
        reply.Status == 429 || reply.Status == 500 || reply.Status == 503);
  Check(reply.Body.find('\0') == std::string::npos);
  return reply;
}

// The scrambled input parameter of a login or an upload, made as the game makes it.
std::string Input(const std::string& user, const std::string& password, const std::string& rest,
                  const std::string& tokenUser) {
  ScoreLists.OnlineUser = tokenUser;
  ScoreLists.OnlinePassword = password;
  return Scramble(user + "|" + CredentialToken() + (rest.empty() ? "" : "|" + rest), "");
}

ServiceReply Login(ScoreService& service, const std::string& week, const std::string& input) {
  return Handle(service, "/enscore/login.php", {{"week", week}, {"input", input}});
}

// A name or password the game can type (Latin-1 letters, no control character, no "|", nothing the
// credential filter replaces) of a length the server keeps.
bool Typable(const std::string& text, size_t longest) {
  std::string filtered = text;
  FilterCredential(filtered);
  if (filtered != text || text.size() < CredentialMinLength || text.size() > longest) return false;
  for (char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c < 32 || (c >= 127 && c < 160) || c == '|') return false;
  }
  return true;
}

// A week number as the game writes one.
bool GameWeek(const std::string& week) {
  return !week.empty() && week.size() <= 9 && week.find_first_not_of("0123456789") == std::string::npos &&
         (week.size() == 1 || week[0] != '0');
}

void LoginAndUpload(bool upload, const std::vector<std::string>& fields) {
  const std::string& week = fields[0];
  const std::string& user = fields.size() > 1 ? fields[1] : std::string();
  const std::string& password = fields.size() > 2 ? fields[2] : std::string();
  const std::string& rest = fields.size() > 3 ? fields[3] : std::string();
  const std::string& tokenUser = fields.size() > 4 ? fields[4] : user;
  const auto service = FreshService();
  const ServiceReply login = Login(*service, week, Input(user, password, upload ? "" : rest, tokenUser));
  // The service serves the test game alone: any other week, however well formed, is refused.
  const bool servedWeek = week == std::to_string(TestGameIdentity.WeekNumber);
  if (GameWeek(week) && !servedWeek) Check(login.Status == 400 && login.Body == "REFUSED: week " + week + " is not served here");
  const bool asTheGameSends = servedWeek && Typable(user, 64) && Typable(password, 128) && tokenUser == user &&
                              (upload || rest.empty());
  if (asTheGameSends) {
    Check(login.Status == 200 && login.Body == "Welcome!|");
    Check(Login(*service, week, Input(user, password, "", user)).Body == "Password Correct|");
    // Another password of the same length: one longer than the longest the server keeps would be
    // refused as too long, not as wrong.
    std::string other = password;
    other.back() = other.back() == 'x' ? 'y' : 'x';
    const ServiceReply wrong = Login(*service, week, Input(user, other, "", user));
    Check(wrong.Status == 403 && wrong.Body == "WRONG PASSWORD");
  }
  if (!upload) return;

  const ServiceReply sent = Handle(*service, "/enscore/scores.php",
                                   {{"Week", week}, {"Input", Input(user, password, rest, tokenUser)}});
  if (sent.Status != 200) return;
  Check(sent.Body == "OK" && login.Status == 200);
  // The upload line as an entry of a table file reads as the record that should come back.
  const std::string separator = "|" + std::string(ListSeparator) + "|";
  const size_t at = rest.find(separator);
  Check(at != std::string::npos);
  const auto expected = ReadOnlineTable(rest.substr(0, at) + "\n" + rest.substr(at + separator.size()));
  Check(expected.size() == 1);
  const Scores& e = *expected[0];
  const int64_t table = ~int64_t{e.GameMode} + 100 * int64_t{e.Level} + 1000 * int64_t{e.GameFlags};
  const std::string prefix = "/enscore/tables/" + week + "/";
  const ServiceReply got = Handle(*service, prefix + std::to_string(table) + ".txt", {});
  Check(got.Status == 200 && !IsMissingTable(got.Body));
  const auto records = ReadOnlineTable(got.Body);
  Check(records.size() == 1);
  const Scores& r = *records[0];
  Check(r.Score == e.Score && r.Name == e.Name && r.Badges == e.Badges && r.Timestamp == e.Timestamp &&
        r.Level == e.Level && r.GameMode == e.GameMode && r.GameFlags == e.GameFlags && r.Quit == e.Quit &&
        r.Best == e.Best);
  const ServiceReply other = Handle(*service, prefix + std::to_string(table + 1) + ".txt", {});
  Check(other.Status == 404 && IsMissingTable(other.Body));
}

// Raw requests share one service for the whole run: nothing checked of them depends on what came before.
void Raw(const std::string& bytes) {
  static const std::unique_ptr<ScoreService> service = FreshService();
  const std::vector<std::string> parts = SplitAtZero(bytes);
  QueryParams params;
  for (size_t i = 1; i + 1 < parts.size(); i += 2) params.emplace_back(parts[i], parts[i + 1]);
  Handle(*service, parts[0], params);
}

// ---- Seeds ----------------------------------------------------------------------------------------
void WriteSeed(const std::string& folder, const std::string& name, const std::string& bytes) {
  if (std::FILE* f = std::fopen((folder + "/" + name).c_str(), "wb")) {
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
}

std::string Fields(char mode, const std::vector<std::string>& fields) {
  std::string out(1, mode);
  for (size_t i = 0; i < fields.size(); ++i) out += (i ? std::string(1, '\0') : "") + fields[i];
  return out;
}

// Login, upload and table requests made by the game's builders, as the game would send them.
void WriteSeeds(const std::string& folder) {
  ::mkdir(folder.c_str(), 0755);
  const std::string week = std::to_string(TestGameIdentity.WeekNumber);
  Scores record;
  record.Score = 48210;
  record.Name = "Player";
  record.Timestamp = ((((2026LL * 12 + 11) * 31 + 10) * 24 + 21) * 60 + 4) * 60 + 37;  // 10 Dec 2026, 21:04:37
  record.Level = 3;
  record.GameMode = 1;
  record.Quit = 1;
  for (int i = 1; i <= 30; ++i) record.Best[i] = i <= 3 ? 1000 * i : 0;
  std::string user = "Kes:tr-el", password = "hunter2";
  ScoreLists.OnlineUser = user;
  ScoreLists.OnlinePassword = password;
  FilterCredential(user);  // as every request does first
  FilterCredential(password);
  WriteSeed(folder, "login", Fields('L', {week, user, password}));
  WriteSeed(folder, "login_other_name", Fields('L', {week, user, password, "", "Someone"}));
  WriteSeed(folder, "upload", Fields('U', {week, user, password, UploadLine(record)}));
  record.GameMode = 2;
  record.GameFlags = 1;
  record.Name = " Gr\xE9ta ";
  WriteSeed(folder, "upload_hard", Fields('U', {week, user, password, UploadLine(record)}));
  // The same requests as the server receives them.
  const std::string login = Input(user, password, "", user);
  WriteSeed(folder, "raw_login", "/enscore/login.php" + std::string(1, '\0') + "week" + '\0' + week + '\0' + "input" +
                                     '\0' + login);
  WriteSeed(folder, "raw_upload", "/enscore/scores.php" + std::string(1, '\0') + "Week" + '\0' + week + '\0' +
                                      "Input" + '\0' + Input(user, password, UploadLine(record), user));
  WriteSeed(folder, "raw_table", "//enscore/tables/" + week + "/" + TableId() + ".txt");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  BuildDefaultKey();
  WriteSeedsWhenAsked(*argc, *argv, WriteSeeds);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  if (size > 0 && (data[0] == 'L' || data[0] == 'U')) {
    LoginAndUpload(data[0] == 'U', SplitAtZero(bytes.substr(1)));
  } else {
    Raw(bytes);
  }
  return 0;
}
