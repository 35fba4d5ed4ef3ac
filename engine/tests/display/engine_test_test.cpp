#include "display/display_fixture.h"

namespace {

// A machine whose frames take frameMs(n, k) milliseconds for the k-th frame (from 1) of the count n
// under test. The time is charged at the very start of each frame end (where score pops are drawn),
// and the pacing then sleeps its last millisecond, so a frame lasts exactly that long when it is
// 16 ms or more.
class FakeMachine {
 public:
  explicit FakeMachine(std::function<int(int n, int k)> frameMs) : frameMs_(std::move(frameMs)) {
    current_ = this;
    Hooks.DrawScorePops = [] { current_->Charge(); };
  }
  ~FakeMachine() { current_ = nullptr; }

 private:
  void Charge() {
    if (Display.EngineCount != n_) {
      n_ = Display.EngineCount;
      k_ = 0;
    }
    ++k_;
    const int ms = n_ == 0 ? 16 : frameMs_(n_, k_);
    const int32_t spent = static_cast<int32_t>(ClockMs() - Display.LastFrameTime);
    if (ms - 1 > spent) Input.FakeNow += static_cast<uint32_t>(ms - 1 - spent);
  }
  static inline FakeMachine* current_ = nullptr;
  std::function<int(int, int)> frameMs_;
  int n_ = -1, k_ = 0;
};

std::vector<std::string> RunEngineTest(GameFolders& folders) {
  OpenDebugLog(folders.files + "/Debug.txt");
  EngineTest(60, 2);
  CloseDebugLog();
  return ReadLines(folders.files + "/Debug.txt");
}

}  // namespace

class EngineTestTest : public DisplayTest {
 protected:
  GameFolders folders;
};

TEST_F(EngineTestTest, AFastMachinePassesEveryCount) {
  REQUIRE_DISPLAY();
  FakeMachine machine([](int, int) { return 16; });
  const auto log = RunEngineTest(folders);
  EXPECT_EQ(Display.SpriteBudget[1], 17999);
  EXPECT_EQ(Display.SpriteBudget[2], 500);
  EXPECT_EQ(Display.SpriteBudget[3], 500);
  EXPECT_EQ(Core.SetupValues[SetupESS], 0);
  EXPECT_EQ(Display.TargetFps, 60);
  EXPECT_EQ(Display.OverlayOn, 0);
  const std::vector<std::string> results = {"Test Complete", "", "Engine Test Results", "",
                                            "\tMaximum Sprites Allowed for 60 Frames Per Second",
                                            "\tMain sprites : 17999", "\tGlowy Sprites : 500", "\tParticles : 500",
                                            "", ""};
  ASSERT_GE(log.size(), results.size() + 2);
  EXPECT_EQ(log[0], "Starting Engine Test");
  EXPECT_EQ(log[1], "Aiming for 60,2");
  EXPECT_EQ(std::vector<std::string>(log.end() - results.size(), log.end()), results);
}

TEST_F(EngineTestTest, AWarmUpThatFallsShortDoesNotStopTheTest) {
  REQUIRE_DISPLAY();
  // 10 frames per second at the first count only (the machine settling in); fast from 1000 on.
  FakeMachine machine([](int n, int) { return n == 500 ? 100 : 16; });
  const auto log = RunEngineTest(folders);
  EXPECT_EQ(Display.EngineBest, 20000);
  EXPECT_EQ(Display.SpriteBudget[1], 17999);
  EXPECT_EQ(Core.SetupValues[SetupESS], 0);
  EXPECT_EQ(Display.TargetFps, 60);
  EXPECT_EQ(std::find(log.begin(), log.end(), "Settings Overwritten, Set to Default Lower Limits at 30fps."),
            log.end());
}

TEST_F(EngineTestTest, ACountThatLandsOnTheMarkBothPassesAndStops) {
  REQUIRE_DISPLAY();
  // Up to 2500 sprites 16 ms frames; at 3000 nine frames of 18 ms and one of 19 ms bring the smoothed
  // rate to exactly 54, the pass mark: 3000 passes and the test stops after it.
  FakeMachine machine([](int n, int k) { return n < 3000 ? 16 : n == 3000 ? (k < 10 ? 18 : 19) : 40; });
  RunEngineTest(folders);
  EXPECT_EQ(Display.EngineBest, 3000);
  EXPECT_EQ(Display.EngineCount, 3000);
  EXPECT_EQ(Display.SpriteBudget[1], 2699);
}

TEST_F(EngineTestTest, AMachineTooSlowForAThousandSpritesBecomesASlowSystem) {
  REQUIRE_DISPLAY();
  FakeMachine machine([](int n, int) { return n <= 500 ? 16 : 25; });
  const auto log = RunEngineTest(folders);
  EXPECT_EQ(Display.EngineBest, 0);
  EXPECT_EQ(Display.SpriteBudget[1], 1000);
  EXPECT_EQ(Display.SpriteBudget[3], 500);
  EXPECT_EQ(Core.SetupValues[SetupESS], 1);
  EXPECT_EQ(Display.TargetFps, 30);
  EXPECT_NE(std::find(log.begin(), log.end(), "\tMain sprites : 0"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "Settings Overwritten, Set to Default Lower Limits at 30fps."),
            log.end());
}

TEST_F(EngineTestTest, ASlowSystemAimsForThirty) {
  REQUIRE_DISPLAY();
  Core.SetupValues[SetupESS] = 1;
  // 40 ms frames are 25 per second: above the slow system's pass mark of 24.
  FakeMachine machine([](int n, int) { return n <= 5000 ? 40 : 50; });
  const auto log = RunEngineTest(folders);
  EXPECT_EQ(log[1], "Aiming for 30,2");
  EXPECT_EQ(Display.EngineBest, 5000);
  EXPECT_EQ(Display.SpriteBudget[1], 4499);
  EXPECT_NE(std::find(log.begin(), log.end(), "Settings Overwritten, Set to Default Lower Limits at 30fps."),
            log.end());
}
