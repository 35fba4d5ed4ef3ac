#include <gtest/gtest.h>

#include <csignal>

#include "core/core.h"
#include "display/display.h"
#include "input/input.h"
#include "render/render.h"
#include "shell/shell.h"
#include "support/read_back.h"
#include "support/test_support.h"

// The farewell page waits: first until the input that led to it is let go (about two seconds at
// most), then for any new input; closing the window ends it at once. Then the process ends with 0.
TEST(ExitScreen, WaitsForTheHeldInputToGoThenForANewOne) {
  using Event = InputEvent;
  struct Step {
    uint32_t after;  // ms after the page appeared
    Event event;
  };
  struct Case {
    const char* what;
    std::vector<Step> steps;
    uint32_t endsAfter;
  } cases[] = {
      {"Escape released, then A", {{0, Event(Event::KeyDown, 27)}, {500, Event(Event::KeyUp, 27)},
                                   {1500, Event(Event::KeyDown, 65)}}, 1500},
      {"Escape held throughout", {{0, Event(Event::KeyDown, 27)}}, 1920},
      {"the click released, then a right click", {{0, Event(Event::MouseDown, 1)}, {100, Event(Event::MouseUp, 1)},
                                                  {700, Event(Event::MouseDown, 2)}}, 700},
      {"the window closed while Escape is held", {{0, Event(Event::KeyDown, 27)}, {300, Event(Event::Close)}}, 300},
      {"the window closed", {{1000, Event(Event::Close)}}, 1000},
      {"Alt+F4 after the Escape", {{0, Event(Event::KeyDown, 27)}, {200, Event(Event::KeyUp, 27)},
                                   {900, Event(Event::KeyDown, 164)}, {900, Event(Event::KeyDown, 115)}}, 900},
  };
  for (const Case& c : cases) {
    ResetAllState(1000);
    TempDir dir;
    ChangeDir(dir.path());
    Shell.FilesDir = dir.path();
    OpenDebugLog("Debug.txt");
    auto steps = std::make_shared<std::vector<Step>>(c.steps);
    Input.EventScript = [steps] {
      while (!steps->empty() && 1000 + steps->front().after <= ClockMs()) {
        FeedInputEvent(steps->front().event);
        steps->erase(steps->begin());
      }
    };
    int status = -1;
    try {
      ExitScreen();
    } catch (const ProgramExit& e) {
      status = e.status;
    }
    EXPECT_EQ(status, 0) << c.what;
    EXPECT_GE(ClockMs(), 1000 + c.endsAfter) << c.what;
    EXPECT_LT(ClockMs(), 1000 + c.endsAfter + 25) << c.what;
    const auto log = ReadLines(dir.file("Debug.txt"));
    ASSERT_GE(log.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(log.end() - 5, log.end()),
              (std::vector<std::string>{"Closing Up", "", "Bye!", "", "Play again, soon!!"}));
    EXPECT_TRUE(FileExists(dir.file("Setup.ini")));
    EXPECT_EQ(Core.DebugStream, nullptr);
  }
}

// A termination signal (the system shutting down, Ctrl+C in a terminal) ends the program as a closed
// window does, saving everything, but the farewell page waits for nothing, not even held input.
TEST(ExitScreen, ATerminationSignalEndsItWithoutWaiting) {
  ResetAllState(1000);
  TempDir dir;
  ChangeDir(dir.path());
  Shell.FilesDir = dir.path();
  OpenDebugLog("Debug.txt");
  FeedInputEvent(InputEvent(InputEvent::KeyDown, 27));  // Escape still held
  CatchTerminationSignals();
  std::raise(SIGTERM);
  ASSERT_EQ(TakeCloseRequest(), 1);  // as the frame end sees it
  EXPECT_TRUE(Input.Terminating);
  int status = -1;
  try {
    ExitScreen();
  } catch (const ProgramExit& e) {
    status = e.status;
  }
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ClockMs(), 1000u);
  EXPECT_TRUE(FileExists(dir.file("Setup.ini")));
  EXPECT_EQ(ReadLines(dir.file("Debug.txt")).back(), "Play again, soon!!");
  std::signal(SIGTERM, SIG_DFL);
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGHUP, SIG_DFL);
}

// The farewell page as it is presented: the two logos and every text in its place and its colour.
// The page is drawn once; the flip that shows it looks at the input first, and that is where it is
// read back (afterwards the back buffer holds nothing defined).
TEST(ExitScreen, TheFarewellPageShowsTheLogosAndEveryTextInItsColour) {
  REQUIRE_DISPLAY();
  ResetAllState(1000);
  TempDir dir;
  ChangeDir(dir.path());
  Shell.FilesDir = dir.path();
  OpenDebugLog("Debug.txt");
  ASSERT_NE(OpenScreen(1280, 960, 0, 60, 0), nullptr);
  SetVirtualSize(1280, 960);
  SetAutoCentreHandle(1);
  auto solid = [&](const std::string& name, uint32_t argb) {
    TPixmap p(64, 64);
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) p.WritePixel(x, y, argb);
    EXPECT_EQ(SavePixmapAsPNG(&p, dir.file(name), 1), 1);
    return LoadImageFile(dir.file(name), 0);
  };
  Display.LogoImage = solid("logo.png", 0xFFFF0000);
  Display.SiteLogo = solid("site.png", 0xFF0000FF);
  const std::string sans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
  Display.SizedFonts[5] = TImageFont::Load(sans, 40, FontSmooth);   // family 1, step 6
  Display.SizedFonts[14] = TImageFont::Load(sans, 22, FontSmooth);  // family 2, step 5
  ASSERT_NE(Display.SizedFonts[5], nullptr);
  ASSERT_NE(Display.SizedFonts[14], nullptr);

  struct Text {
    int x, y;
    const char* text;
    uint32_t rgb;
    int font;  // entry of SizedFonts
    int align;
  } texts[] = {
      {640, 480, "Thanks for Playing", 0xB4FFFF, 5, 1},
      {40, 520, "Why not take the next few minutes to hop back to the site", 0xFFFFB4, 14, 0},
      {40, 560, "where you found this game, and leave a comment.", 0xFFFFB4, 14, 0},
      {40, 610, "Good or bad, every little helps.", 0xFFFFB4, 14, 0},
      {40, 660, "There are so many wonderful homebrew communities", 0xFFD2B4, 14, 0},
      {40, 700, "and developers out there, who bring you hundreds", 0xFFD2B4, 14, 0},
      {40, 740, "of free games, every month.", 0xFFD2B4, 14, 0},
      {40, 800, "Give a little back.", 0xFFFFB4, 14, 0},
      {40, 860, "Feedback is King", 0xB4FFFF, 14, 0},
  };
  std::vector<ScreenBox> boxes;
  for (const Text& t : texts) {
    SelectFont(Display.SizedFonts[t.font]);
    boxes.push_back(TextBox(t.x, t.y, t.text, t.align, t.align));
  }

  static std::shared_ptr<TPixmap> page;
  page = nullptr;
  Input.EventScript = [] {
    if (!page) page = GrabPixmap(0, 0, 1280, 960);
    FeedInputEvent(InputEvent(InputEvent::Close));
  };
  EXPECT_THROW(ExitScreen(), ProgramExit);
  ASSERT_NE(page, nullptr);
  const ScreenBox logo{256 - 8, 256 - 8, 16, 16}, site{1024 - 8, 256 - 8, 16, 16};
  EXPECT_EQ(PixelsOfColour(*page, logo, 0xFF0000), 256);
  EXPECT_EQ(PixelsOfColour(*page, site, 0x0000FF), 256);
  for (size_t i = 0; i < std::size(texts); ++i)
    EXPECT_GT(PixelsOfColour(*page, boxes[i], texts[i].rgb), 20) << texts[i].text;
  page = nullptr;
}
