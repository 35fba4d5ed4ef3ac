#include "display/display_fixture.h"
#include "game/game.h"

// The frame end draws the settings panel after the score pops; it must find the drawing state reset
// and the notices' font selected whether or not any pop is alive.
TEST_F(DisplayTest, ScorePopsResetTheDrawingStateEveryFrameEvenWithoutPops) {
  REQUIRE_DISPLAY();
  for (auto& font : Display.Fonts) font = std::make_shared<TImageFont>();
  Hooks.DrawScorePops = DrawScorePops;
  static TPelmoGraphics seen;
  Hooks.SettingsScreen = [] { seen = *CurrentScreen(); };
  ASSERT_TRUE(Game.ScorePops.empty());
  SelectFont(Display.Fonts[9]);
  Colour(255, 0, 0, 0.3);
  Rotate(30);
  Scale(4);
  SetBlendKind(3);
  FrameEnd(0);
  EXPECT_EQ(seen.image_font, Display.Fonts[3]);
  EXPECT_EQ(seen.color_red, 255);
  EXPECT_EQ(seen.color_green, 255);
  EXPECT_FLOAT_EQ(seen.color_alpha, 1);
  EXPECT_FLOAT_EQ(seen.tform_rot, 0);
  EXPECT_FLOAT_EQ(seen.tform_scale_x, 1);
  EXPECT_EQ(seen.blend_mode, 3);  // alpha blending
}
