#include <gtest/gtest.h>

#include <csignal>

#include "core/core.h"
#include "input/input.h"
#include "render/render.h"
#include "shell/shell.h"
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
