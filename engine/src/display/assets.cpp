// The shared assets: fonts, icons and logos from the common folder, the start-up jingle, then the
// game folder's badges and numbered sound effects, then the local scores.
#include "audio/audio.h"
#include "core/core.h"
#include "display/display.h"

void FontSizeFactors(int screenWidth, float& f1, float& f2) {
  if (screenWidth >= 900) {
    f1 = 1.0f;
    f2 = 1.0f;
  } else if (screenWidth >= 600) {
    f1 = 1.2f;
    f2 = 1.4f;
  } else {
    f1 = 1.5f;
    f2 = 2.0f;
  }
}

// Pixel size = base x factor truncated, the factor a single-precision constant (so 40 x 1.2 is 48).
static int FontPixels(int base, float factor) { return TruncToInt(base * static_cast<double>(factor)); }

std::vector<FontChoice> CommonFontPlan(int screenWidth) {
  float f1, f2;
  FontSizeFactors(screenWidth, f1, f2);
  const std::string a = screenWidth <= 800 ? "SVBasicManual.ttf" : "November.ttf";
  const std::string b = "Blue Highway.ttf";
  const std::string c = "Acknowledge TT BRK.ttf";
  std::vector<FontChoice> plan = {
      {a, FontPixels(24, f1)}, {a, FontPixels(16, f2)}, {a, FontPixels(16, f2)}, {a, FontPixels(20, f1)},
      {b, FontPixels(96, f1)}, {b, FontPixels(72, f1)}, {b, FontPixels(32, f1)}, {a, FontPixels(32, f1)},
      {a, FontPixels(14, f1)}, {c, 112},                {c, 96},                 {c, 32},
      {c, 20},
  };
  for (const std::string& face : {a, b, c})
    for (int size : {8, 12, 18, 24, 32, 40, 52, 64, 96}) plan.push_back({face, FontPixels(size, f1)});
  return plan;
}

static void LoadFonts() {
  const std::vector<FontChoice> plan = CommonFontPlan(Display.ScreenWidth);
  for (int i = 1; i <= 13; ++i) Display.Fonts[i] = TImageFont::Load(plan[i - 1].file, plan[i - 1].size, FontSmooth);
  for (int family = 0; family < 3; ++family)
    for (int step = 0; step < 9; ++step) {
      const FontChoice& f = plan[13 + family * 9 + step];
      Display.SizedFonts[family * 10 + step] = TImageFont::Load(f.file, f.size, FontSmooth);
    }
}

void SelectSizedFont(int family, int step) {
  if (family < 1 || family > 3) family = 1;
  if (step < 0 || step > 8) step = 0;
  SelectFont(Display.SizedFonts[(family - 1) * 10 + step]);
}

void LoadCommonAssets() {
  SetAutoCentreHandle(1);
  // The way back to the game's folder. Without a "Common/" folder the loads below run in the parent
  // folder ("Files/"), and a second "../" would leave "Files/" altogether, taking the score file, the
  // game's assets and the crash marker with it; so the return goes by the folder's own path.
  const std::string gameFolder = CurrentDir();
  for (const char* line : {"", "Loading : Common Objects", "", "Switching to Default Folder", ""}) DebugLine(line);
  ChangeDir("../");
  ChangeDir("Common/");

  DebugLine("\tDefault Fonts");
  LoadFonts();

  DebugLine("\tDefault Icons");
  Display.IconsFiltered = LoadImageStrip("icons.png", 16, 16, 0, 64, ImageMasked | ImageFiltered);
  Display.IconsSharp = LoadImageStrip("icons.png", 16, 16, 0, 64, ImageMasked);

  DebugLine("\tLogos");
  const bool alternative = std::string(ThisIdentity().TitleWord1).find("Tamberlo") != std::string::npos;
  Display.LogoImage = LoadImageFile(alternative ? "logoalt.png" : "logo.png", ImageMasked | ImageFiltered);
  Display.SiteLogo = LoadImageFile("Quobble.png", ImageMasked | ImageFiltered);

  DebugLine("\tBadgeGet");
  Display.BadgeSound = LoadSoundFile("open.ogg", 0);

  if (Display.GraphicsReady == 0) {  // the first set-up only: the jingle plays once per run
    BeginFrame(1);
    PlayStartJingle(Display.BadgeSound);
    Flip(-1);
    Display.GraphicsReady = 1;
  }

  DebugLine("");
  DebugLine("Switching to Game Folder");
  if (gameFolder.empty() || !ChangeDir(gameFolder)) {
    ChangeDir("../");
    ChangeDir(GameFolder());
  }

  Display.BadgeImage = LoadImageStrip("badges.png", 64, 64, 0, 16, ImageMasked | ImageFiltered);

  DebugLine("");
  DebugLine("Loading Sound effects");
  for (int i = 1; i <= 200; ++i) {
    const std::string name = ZeroPad(i, 3) + ".wav";
    if (!FileExists(name)) continue;  // a missing number keeps its previous entry
    DebugLine("\tSFX(" + std::to_string(i) + ")");
    Audio.SoundBank[i] = LoadSoundFile(name, 0);
  }
  DebugLine("Sounds loaded");
  DebugLine("");

  if (Hooks.LoadScores) Hooks.LoadScores();
}
