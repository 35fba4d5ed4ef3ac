#include <gtest/gtest.h>

#include <cstdlib>

#include "audio/audio.h"
#include "core/core.h"
#include "display/display.h"
#include "game/game.h"
#include "input/input.h"
#include "render/render.h"
#include "support/test_support.h"

// The tree the build generated loads whole: every font, picture and sound the program asks for.
TEST(GeneratedAssets, EveryAssetTheProgramAsksForLoads) {
  REQUIRE_DISPLAY();
  const char* build = std::getenv("VQ_BUILD_DIR");
  if (!build) GTEST_SKIP() << "run through ctest, which names the build folder";
  ResetAllState();
  SetDefaultSetupValues();
  UseRecordingAudio();
  TempDir restore;  // puts the working directory back afterwards
  ASSERT_TRUE(ChangeDir(std::string(build) + "/Files/278"));
  ASSERT_NE(OpenScreen(800, 600, 0, 60, 0), nullptr);
  SetVirtualSize(1280, 960);
  // A slow machine, so the engine test stops after its first counts.
  Hooks.DrawScorePops = [] { Input.FakeNow += 40; };

  LoadCommonAssets();
  LoadGameAssets();

  for (int i = 1; i <= 13; ++i) EXPECT_NE(Display.Fonts[i], nullptr) << "Fonts " << i;
  for (int family = 0; family < 3; ++family)
    for (int step = 0; step <= 8; ++step)
      EXPECT_NE(Display.SizedFonts[family * 10 + step], nullptr) << family << "," << step;
  for (const auto* image : {&Display.IconsFiltered, &Display.IconsSharp, &Display.LogoImage, &Display.SiteLogo,
                            &Display.BadgeImage, &Game.GameLogo, &Game.GlyphsLarge, &Game.GlyphsSmall})
    EXPECT_NE(*image, nullptr);
  EXPECT_EQ(ImageFrames(Display.IconsFiltered.get()), 64);
  EXPECT_EQ(ImageFrames(Game.GlyphsLarge.get()), 60);
  EXPECT_EQ(ImageFrames(Game.GlyphsSmall.get()), 100);
  EXPECT_NE(Display.BadgeSound, nullptr);
  EXPECT_NE(Game.MusicLoop, nullptr);
  for (int n : {2, 4, 5, 98, 99}) EXPECT_NE(Audio.SoundBank[n], nullptr) << "sound " << n;
  EXPECT_EQ(Audio.InstrumentCount[1], 4);
  for (int n = 1; n <= 8; ++n) EXPECT_NE(Audio.MusicSamples[n], nullptr) << "drum " << n;
  ResetRenderState();
}
