#include <gtest/gtest.h>

#include "core/core.h"
#include "game/game.h"
#include "scores/scores.h"
#include "shell/shell.h"
#include "support/test_support.h"

namespace {

std::string FromHex(std::string_view hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
  return out;
}

// The record line of a Medium game scored 1200 by "Player" with badges 1 and 3 on 7 December 2011
// at 12:34:56.
const std::string RecordText = "1200|Player|5|64667939696|0|1|0|0" + std::string(ListSeparator) +
                               "0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0";

}  // namespace

class IdentityTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetAllState();
    BuildDefaultKey();
  }
};

// The game's default key and code, and what they make, worked out by hand from the format's rules:
// every score file and online request of the game ever made depends on these staying as they are.
TEST_F(IdentityTest, TheKeyAndCodeScrambleAsTheyAlwaysHave) {
  EXPECT_EQ(ScoreLists.DefaultKey,
            FromHex("3e5e4d61553a5849204d2c6568674d2b493e5b5467552b623a2f2a364f505e5366626937313c3d502e4f5d28"
                    "592521382d503c524b5d3b29603b24402c5d2f3c412a4d2d3f4d235c1f6032313e334d3e5c514c642568342e"
                    "3c3f3f49"));
  EXPECT_EQ(Scramble("A", "K"), "413030303139357B7B7A7D737C");
  EXPECT_EQ(Scramble("|", ThisIdentity().GameCode), "3655583B5D476007616501696B");
  EXPECT_EQ(Scramble("Hello, World", "ab"), "37333B6C2F23546C716F674B666F6F333332525151565254");
  EXPECT_EQ(Scramble(RecordText, ""),
            "44071E7954771F3E146764286A61357A53423F72446F1F067201186017424F6B721F2D5B2A3228323B466B247A4C"
            "5B7D1E3D31032D2FD20E3C73542930395E4E69346F517C727515444B6D4363182A0B2C571F230A580C41225A0F56"
            "6B5D50492300525D1A5527034F1A025220510757651B500E18");
}

TEST_F(IdentityTest, TheGameIsWeek278InItsOwnFolderAndWindow) {
  EXPECT_EQ(&ThisGame(), &VornelQuellor);
  EXPECT_EQ(GameFolder(), "278/");
  EXPECT_EQ(WindowTitle(), "#278 : Vornel Quellor");
  EXPECT_EQ(Core.AboutLines.size(), 100u);
  FillAboutLines();
  EXPECT_EQ(Core.AboutLines[7], "Destroy the Red Code before");
  EXPECT_EQ(Core.AboutLines[33], "Tolvaner");
  EXPECT_EQ(Core.AboutLines[34], "");
}
