#include <gtest/gtest.h>
#include <unistd.h>

#include "audio/audio.h"
#include "core/core.h"
#include "display/display.h"
#include "input/input.h"
#include "online/online.h"
#include "render/render.h"
#include "scores/scores.h"
#include "shell/shell.h"
#include "support/score_server_process.h"
#include "support/test_support.h"

namespace {

void Key(int code, bool down) { FeedInputEvent(InputEvent(down ? InputEvent::KeyDown : InputEvent::KeyUp, code)); }

// A press and release of a key, one frame each.
void Press(int code) {
  Key(code, true);
  TitleScreen();
  Key(code, false);
  TitleScreen();
}

// A left click at (x, y): the button down for one frame, up for the next.
void ClickAt(int x, int y) {
  Display.PointerX = x;
  Display.PointerY = y;
  FeedInputEvent(InputEvent(InputEvent::MouseDown, 1));
  TitleScreen();
  FeedInputEvent(InputEvent(InputEvent::MouseUp, 1));
  TitleScreen();
}

// Typed characters: the focused field takes one a frame.
void Type(const std::string& text) {
  InputEvent e(InputEvent::Text);
  e.text = text;
  FeedInputEvent(e);
  for (size_t i = 0; i <= text.size(); ++i) TitleScreen();
}

// The rates of the field sound (99) started since the last call.
std::vector<float> FieldSoundRates() {
  std::vector<float> rates;
  for (const AudioEvent& e : Audio.Recorded)
    if (e.What == AudioEvent::Started && e.Sound == Audio.SoundBank[99].get()) rates.push_back(e.Rate);
  Audio.Recorded.clear();
  return rates;
}

// The wide 1280 x 960 layout, slid in: the panel is at x 940, 335 wide.
constexpr int UserFieldX = 1000, UserFieldY = 855;
constexpr int PasswordFieldX = 1000, PasswordFieldY = 915;
constexpr int LoginX = 1050, LoginY = 945;
constexpr int RefreshX = 1100, RefreshY = 140;
constexpr int OutsideX = 600, OutsideY = 300;

constexpr int KeyTab = 9, KeyEnter = 13, KeyUp = 38, KeyDown = 40;

std::shared_ptr<Scores> MediumRecord(int64_t score) {
  auto r = std::make_shared<Scores>();
  r->Score = score;
  r->Name = "Local Hero";
  r->Timestamp = 64667939696;
  r->GameMode = 1;
  return r;
}

}  // namespace

class OnlinePageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetAllState();
    SetDefaultSetupValues();
    SetDefaultControls();
    BuildDefaultKey();
    UseRecordingAudio();
    for (int n : {98, 99}) Audio.SoundBank[n] = CreateSound(SoundSamples{8000, 1, std::vector<int16_t>(800)});
    Display.ScreenWidth = 1280;
    Display.ScreenHeight = 960;
    Shell.SlideIn = 32;
    Core.Difficulty = 1;
    Online.Enabled = 1;
    Shell.Page = 1;
  }
  void TearDown() override { ResetRenderState(); }

  // The real score server on a loopback port, with a message of the day.
  void StartServer() {
    if (::access(ScoreServerProgram().c_str(), X_OK) != 0) GTEST_SKIP() << "no server program";
    WriteFile(dir.file("motd.txt"), "Hello players\nSecond line\n");
    server = std::make_unique<ScoreServerProcess>(dir.file("scores.db"), dir.file("motd.txt"));
    ASSERT_GT(server->port(), 0);
    ASSERT_TRUE(SetScoreServer("127.0.0.1:" + std::to_string(server->port())));
  }

  TempDir dir;
  std::unique_ptr<ScoreServerProcess> server;
};

// A new player types a name and a password, clicks "Login" and is registered; the refresh that
// follows finds no table and sends the local best, and "Refresh Scores" then brings it back as an
// online record, ranked by the online table on the page.
TEST_F(OnlinePageTest, ANewPlayerIsRegisteredTheLocalBestGoesUpAndComesBackInTheOnlineTable) {
  StartServer();
  if (!server) return;
  Shell.Page = 0;
  ScoreLists.LocalScores = {MediumRecord(4321)};
  Press('2');
  ASSERT_EQ(Shell.Page, 1);

  ClickAt(UserFieldX, UserFieldY);
  Type("Ann-Lee");
  Press(KeyTab);
  Type("pass:word");
  Press(KeyEnter);
  EXPECT_EQ(ScoreLists.OnlineUser, "Ann_Lee");
  EXPECT_EQ(ScoreLists.OnlinePassword, "pass_word");
  EXPECT_EQ(Shell.FieldFocus, 0);
  ASSERT_EQ(ScoreLists.LocalBest, ScoreLists.LocalScores[0]) << "the local table ranks while another page shows";

  ClickAt(LoginX, LoginY);  // the login, then the refresh's two steps
  ASSERT_TRUE(Shell.LoggedIn);
  EXPECT_FALSE(Shell.LoginFailed);
  EXPECT_EQ(Shell.MotdLines[1], "Hello players");
  EXPECT_EQ(Shell.MotdLines[2], "Second line");
  EXPECT_EQ(Shell.MotdLines[3], "");
  TitleScreen();  // the button is up: the refresh is over
  EXPECT_EQ(Shell.RequestState, 0);
  EXPECT_TRUE(ScoreLists.OnlineScores.empty()) << "the table shown is the one downloaded before the upload";

  ClickAt(RefreshX, RefreshY);
  TitleScreen();
  EXPECT_EQ(Shell.RequestState, 0);
  ASSERT_EQ(ScoreLists.OnlineScores.size(), 1u);
  const auto online = ScoreLists.OnlineScores[0];
  EXPECT_EQ(online->Score, 4321);
  EXPECT_EQ(online->Name, "Local Hero");
  EXPECT_EQ(online->GameMode, ~1);
  EXPECT_EQ(ScoreLists.LocalScores.size(), 1u) << "online records never join the local list";
  // The page's table is the online one: it ranked the record this frame.
  EXPECT_EQ(ScoreLists.RankSlots[1], online);

  // The focus changes of the typing, then two refreshes, each 0.5 before its request and 1 after.
  EXPECT_EQ(FieldSoundRates(), (std::vector<float>{1, 1, 1, 0.5f, 1, 0.5f, 1}));
}

// The refresh runs one step a frame; the last waits for the button's release, and a click on
// "Refresh Scores" counts only while no refresh is under way.
TEST_F(OnlinePageTest, TheRefreshStepsThroughItsStatesAndWaitsForTheButtonsRelease) {
  StartServer();
  if (!server) return;
  ScoreLists.OnlineUser = "Walter";
  ScoreLists.OnlinePassword = "secret";
  Display.PointerX = LoginX;
  Display.PointerY = LoginY;
  FeedInputEvent(InputEvent(InputEvent::MouseDown, 1));
  std::vector<int> states;
  for (int frame = 0; frame < 6; ++frame) {
    TitleScreen();
    states.push_back(Shell.RequestState);
  }
  EXPECT_EQ(states, (std::vector<int>{2, 3, 3, 3, 3, 3}));  // the login asks, the first step follows at once
  Display.PointerX = RefreshX;  // held over the button: no new refresh
  Display.PointerY = RefreshY;
  TitleScreen();
  EXPECT_EQ(Shell.RequestState, 3);
  FeedInputEvent(InputEvent(InputEvent::MouseUp, 1));
  TitleScreen();
  EXPECT_EQ(Shell.RequestState, 0);
  EXPECT_FALSE(Shell.Submitted);
}

TEST_F(OnlinePageTest, AFailedLoginShowsWhyAndASuccessfulOneClearsIt) {
  StartServer();
  if (!server) return;
  // Registered once, so a wrong password can be told apart.
  ScoreLists.OnlineUser = "Walter";
  ScoreLists.OnlinePassword = "secret";
  ASSERT_TRUE(Login().LoggedIn);

  struct Case {
    const char *user, *password, *message;
  } cases[] = {
      {"Bo", "secret", "USERNAME TOO SHORT"},   // whatever the server would say
      {"Bob", "no", "USERNAME TOO SHORT"},
      {"Walter", "abc", "PASSWORD TOO SHORT"},
      {"Walter", "not-the-one", "WRONG PASSWORD"},
      {"Walter", "secre:", "WRONG PASSWORD"},    // sent as "secre_"
  };
  for (const Case& c : cases) {
    ScoreLists.OnlineUser = c.user;
    ScoreLists.OnlinePassword = c.password;
    Shell.LoginFailed = false;
    ClickAt(LoginX, LoginY);
    EXPECT_FALSE(Shell.LoggedIn) << c.user;
    EXPECT_TRUE(Shell.LoginFailed) << c.user;
    EXPECT_EQ(LoginFailure(), c.message) << c.user << " / " << c.password;
    EXPECT_EQ(Shell.RequestState, 0);
  }

  // No server at all (a port nobody listens on): the same failure, soon.
  ScoreLists.OnlineUser = "Walter";
  ScoreLists.OnlinePassword = "secret";
  const int port = server->port();
  server.reset();
  ASSERT_TRUE(SetScoreServer("127.0.0.1:" + std::to_string(port)));
  ClickAt(LoginX, LoginY);
  EXPECT_FALSE(Shell.LoggedIn);
  EXPECT_EQ(LoginFailure(), "WRONG PASSWORD");

  StartServer();
  ClickAt(LoginX, LoginY);
  EXPECT_TRUE(Shell.LoggedIn);
  EXPECT_FALSE(Shell.LoginFailed);
}

// The fields need no server: a click gives a field the keyboard (and forgets what was typed or
// pressed before), Tab, Down and Up move between them, Enter or a click elsewhere lets go. While a
// field has the keyboard, Tab is the field's (the settings panel does not see it) and digits and
// Enter are text, not page or start keys.
TEST_F(OnlinePageTest, TheFieldsTakeTheKeyboardByClickAndPassItOnByTabDownUpAndEnter) {
  Input.InputMode = 0;  // Enter is a start control
  Type("x");            // typed before any field has focus: never reaches one
  Key(KeyUp, true);     // held and let go before: no hit left for the field
  TitleScreen();
  Key(KeyUp, false);

  ClickAt(UserFieldX, UserFieldY);
  EXPECT_EQ(Shell.FieldFocus, 1);
  Type("a3b");
  Press('3');
  EXPECT_EQ(ScoreLists.OnlineUser, "a3b");
  EXPECT_EQ(Shell.Page, 1) << "3 is text while a field has the keyboard";

  struct Step {
    int key, focus;
  } steps[] = {{KeyTab, 2}, {KeyDown, 2}, {KeyUp, 1}, {KeyUp, 1}, {KeyDown, 2}, {KeyTab, 1}};
  for (const Step& s : steps) {
    Key(s.key, true);
    TitleScreen();
    EXPECT_EQ(TakeKeyHits(s.key), 0) << "the field took key " << s.key;
    Key(s.key, false);
    TitleScreen();
    EXPECT_EQ(Shell.FieldFocus, s.focus) << "after key " << s.key;
  }
  EXPECT_EQ(FieldSoundRates(), (std::vector<float>(5, 1.0f))) << "one sound per change of focus";

  Type("\bz");  // Backspace's control character is not text; the Backspace key rubs out
  Press(8);
  EXPECT_EQ(ScoreLists.OnlineUser, "a3b");

  // Enter lets go of the field, and this Enter starts nothing until it is pressed again.
  Key(KeyEnter, true);
  for (int frame = 0; frame < 5; ++frame) EXPECT_FALSE(TitleScreen());
  EXPECT_EQ(Shell.FieldFocus, 0);
  Key(KeyEnter, false);
  EXPECT_FALSE(TitleScreen());
  Key(KeyTab, true);  // no field: Tab stays for the settings panel
  TitleScreen();
  EXPECT_EQ(TakeKeyHits(KeyTab), 1);
  Key(KeyTab, false);
  Key(KeyEnter, true);
  EXPECT_FALSE(TitleScreen());
  EXPECT_TRUE(TitleScreen());
  Key(KeyEnter, false);

  ClickAt(PasswordFieldX, PasswordFieldY);
  EXPECT_EQ(Shell.FieldFocus, 2);
  Type("pw");
  EXPECT_EQ(ScoreLists.OnlinePassword, "pw");
  ClickAt(OutsideX, OutsideY);
  EXPECT_EQ(Shell.FieldFocus, 0);
  ClickAt(400, 790);  // the form leaves the difficulties their clicks
  EXPECT_EQ(Core.Difficulty, 2);
}

// Blanks at either end of a name or a password go when its field lets go of the keyboard, as the
// score file would drop them after a restart; blanks inside stay, and so do the last ones while
// typing goes on.
TEST_F(OnlinePageTest, BlanksAtTheEndsOfAFieldGoWhenItLetsGo) {
  ClickAt(UserFieldX, UserFieldY);
  Type(" Ann ");
  EXPECT_EQ(ScoreLists.OnlineUser, " Ann ") << "still being typed";
  Type("Lee ");
  Press(KeyTab);
  EXPECT_EQ(ScoreLists.OnlineUser, "Ann Lee");
  Type("  pass word ");
  ClickAt(OutsideX, OutsideY);
  EXPECT_EQ(ScoreLists.OnlinePassword, "pass word");
  EXPECT_EQ(ScoreLists.OnlineUser, "Ann Lee");
}

TEST(LoginCursor, TheFieldsBlinkInOppositePhasesFastWhenFocusedSlowOtherwise) {
  struct Case {
    uint32_t clock;
    bool focused, userShown;
  } cases[] = {
      {0, true, true},     {249, true, true},    {250, true, false}, {499, true, false}, {500, true, true},
      {0, false, false},   {324, false, false},  {325, false, true}, {749, false, true}, {750, false, false},
      {1075, false, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LoginCursorShown(1, c.focused, c.clock), c.userShown) << c.clock << " " << c.focused;
    EXPECT_EQ(LoginCursorShown(2, c.focused, c.clock), !c.userShown) << c.clock << " " << c.focused;
  }
}
