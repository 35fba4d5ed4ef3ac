// online: the HTTP/1.0 client and the score server protocol: a login that also registers a new
// user, the upload of a local record, and the download of one score table per game variant.
//
// Requests run on the calling thread and wait for the server, but never for long: resolving the
// name, connecting and each wait for reply bytes have time limits, the whole request has one more,
// and a reply larger than ReplyLimitBytes is refused. A reply cut off (by a time limit, a broken
// connection or a body shorter than its Content-Length) and a server error (status 5xx) count as
// no reply at all, the same as a server that cannot be reached. While a request waits, WhileWaiting
// runs every WaitSliceMs so the window keeps answering the window system; nothing is drawn meanwhile.
//
// The title screen's online page drives the protocol: Login() when the Login button is clicked,
// then RemoveOnlineTable() (request state 1) and RefreshOnlineTable() (request state 2) for each
// table refresh. Nothing here runs unless the page calls it, and the page exists only while
// Online.Enabled is 1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct Scores;

// ---- State ---------------------------------------------------------------------------------------
struct OnlineState {
  int Enabled = 0;         // the online switch: the online page exists only when 1
  std::string ServerHost;  // the score server's host name or address; empty: no server, requests fail at once
  int ServerPort = 80;
  // Time limits (ms, real time: the server is real even when the program's clock is faked).
  int ResolveLimitMs = 3000;  // finding the host's address
  int ConnectLimitMs = 3000;  // connecting, over all of the host's addresses
  int ReadLimitMs = 5000;     // each wait for the server to take or send more bytes
  int RequestLimitMs = 8000;  // one request as a whole, from resolving to the reply's last byte
  size_t ReplyLimitBytes = 1 << 20;  // a longer reply is refused (a score table is a few kB)
  int WaitSliceMs = 30;               // WhileWaiting runs at least this often while a request waits
  std::function<void()> WhileWaiting; // keeps the window answering: PumpEvents (tests replace it)
};
extern OnlineState Online;

// Fresh online state: switch off, no server, port 80, the default limits, PumpEvents while waiting.
void ResetOnlineState();
// Sets the server from "HOST", "HOST:PORT" or "[IPV6]:PORT" (port 80 when left out); false, and
// nothing changed, for an empty host or a port that is not 1..65535.
bool SetScoreServer(std::string_view hostAndPort);

// ---- HTTP client ---------------------------------------------------------------------------------
// One request over one connection: Open, then Get or Post, then Close. The connection goes to
// Online.ServerPort. Requests go out exactly as the score servers expect them: header lines
// separated by a lone LF, the request ended by LF LF CR LF, the target as given after "/".
struct Thttp {
  Thttp() = default;
  Thttp(const Thttp&) = delete;
  Thttp& operator=(const Thttp&) = delete;
  ~Thttp();

  int sock = -1;                       // the connection; -1 when there is none
  std::string host;                    // sent in the Host header
  std::string agent = "KavrelThttp/1.0";
  int autoClose = 0;                   // not 0: Get and Post close the connection after the reply

  // Resolves host and connects; 1 on success, 0 on failure (nothing is sent then).
  int Open(const std::string& host, int autoClose);
  // "GET /" + url: the whole reply (status line, headers, blank line, body) as lines joined by LF,
  // CR dropped, no final LF; "" for no reply, and for a reply that does not count (see ReplyReader:
  // cut off, over the size limit, or a server error).
  std::string Get(const std::string& url);
  // The bytes Get sends for url (to host, as agent).
  std::string GetRequest(const std::string& url) const;
  // The same for a form POST of keys and values (pairs up to the shorter list).
  std::string Post(const std::string& url, const std::vector<std::string>& keys,
                   const std::vector<std::string>& values);
  void Close();

  // Letters, digits and "+-._" stay; every other character becomes "%" and two upper-case hex digits.
  static std::string UrlEncode(std::string_view text);
  // "%" and two hex digits become that character; anything else (a lone "%" too) stays as it is.
  static std::string UrlDecode(std::string_view text);

 private:
  int64_t deadline_ = 0;  // steady-clock ms at which the current request gives up
  std::string Exchange(const std::string& request);
};

// The reply text of the bytes a server sent: a line ends at LF or at a zero byte, CR is dropped,
// lines are joined by LF and the final LF is removed.
std::string ReplyText(std::string_view bytes);

// How the reading of a reply stopped.
enum class ReplyEnd {
  Closed,    // the server closed the connection in order: the one normal end of an HTTP/1.0 reply
  Broken,    // the connection broke (reset, or another error of the socket)
  TimedOut,  // the server fell silent for too long, or the request's time ran out
};

// The bytes of one reply as they arrive, in pieces of any size, and the verdict on them at the end.
// A reply counts only when the server closed the connection in order, within the size limit, with a
// status below 500 and a body no shorter than its Content-Length. Anything else is no reply at all,
// exactly as from a server that cannot be reached: a cut table must not pass for a shorter one, nor
// an error page for an empty one.
class ReplyReader {
 public:
  explicit ReplyReader(size_t limitBytes) : limit_(limitBytes) {}
  // Adds the next piece; false once the reply has outgrown the limit (what came is dropped then,
  // and so is every later piece).
  bool Take(std::string_view piece);
  // The reply text (as ReplyText gives it) when the reply counts; otherwise "" and, in failure,
  // the reason in a few words for the log. failure is left empty for a reply that counts.
  std::string Finish(ReplyEnd end, std::string& failure) const;

 private:
  std::string bytes_;
  size_t limit_;
  bool tooLarge_ = false;
};

// ---- Score server protocol -----------------------------------------------------------------------
inline constexpr int CredentialMinLength = 4;  // for each of the user name and the password
inline constexpr int MotdMaxLines = 19;
inline constexpr int OnlineTableEntries = 30;

// Replaces each of the characters * " ' - + & ? { } [ ] ~ # \ / : ; by "_".
void FilterCredential(std::string& text);
// The credentials as every request uses them: both filtered and trimmed of blanks at their ends
// (the score file would drop those on the next start), the results kept in place of the typed ones.
void CleanCredentials();
// Scramble(OnlineUser + "|" + OnlinePassword, GameCode).
std::string CredentialToken();
// The current game variant's table: GameMode + 100 x Level + 1000 x GameFlags, in decimal.
std::string TableId();
// The record's text form with "|" + ListSeparator + "|" between the main fields and the per-level values.
std::string UploadLine(const Scores& record);

// The targets of the three requests (what Thttp::Get is given) for a parameter or a table id, and
// the scrambled parameters of a login and of an upload of record as the current user (the
// credentials as they are: Login and UploadScore clean them first).
std::string LoginTarget(const std::string& input);
std::string ScoreTarget(const std::string& input);
std::string TableTarget(const std::string& id);
std::string LoginParameter();
std::string UploadParameter(const Scores& record);

// The three requests; each filters the credentials, sends one GET and returns the reply's body.
// LoginRequest and SubmitScore send nothing and return "WRONG PASSWORD" when a credential is too short.
std::string LoginRequest(const std::string& input);
std::string SubmitScore(const std::string& input);
std::string FetchTable(const std::string& id);
// The body of a reply: what follows the first empty line, up to the next one.
std::string ReplyBody(std::string_view reply);

// ---- Login ----------------------------------------------------------------------------------------
struct LoginResult {
  bool LoggedIn = false;
  std::vector<std::string> Motd;  // the message of the day: at most 19 trimmed lines
  std::string Failure;            // when not logged in: "USERNAME TOO SHORT", "PASSWORD TOO SHORT" or "WRONG PASSWORD"
};
// Filters the credentials and logs in (a new name is registered by the server).
LoginResult Login();
// True for a login reply body that starts with "Password Correct" or "Welcome!".
bool LoginSucceeded(std::string_view body);
// The message of the day of a login reply body: lines after the first "|", up to the first empty one.
std::vector<std::string> MotdLines(std::string_view body);
// The failure message the login page shows for the current credentials.
std::string LoginFailure();

// ---- Table refresh -----------------------------------------------------------------------------------
struct TableRefresh {
  bool Reached = false;       // the server sent a reply
  bool MissingTable = false;  // the reply was an HTML page: the server has no table for this variant yet
  int Entries = 0;            // records read into OnlineScores
  bool Uploaded = false;      // LocalBest was offered to the server
};
// First step: removes the current variant's records from OnlineScores.
void RemoveOnlineTable();
// Second step: downloads the current variant's table into OnlineScores, uploads LocalBest when the
// table is missing, shorter than 30 entries or holds a score not above it, then sorts both lists.
TableRefresh RefreshOnlineTable();
// Sends a record to the server as the current user; the reply's body ("OK" when the server kept
// it). The game itself does not look at it: a record not kept is offered again at the next refresh.
std::string UploadScore(const Scores& record);
// True when a table reply body is the server's HTML page for a missing table (contains "<HEAD>").
bool IsMissingTable(std::string_view body);
// The records of a table reply body (at most 30), GameMode complemented; empty entries are skipped.
std::vector<std::shared_ptr<Scores>> ReadOnlineTable(std::string_view body);
