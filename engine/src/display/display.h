// display: the screen mode and the virtual drawing space, the shared assets, the drawing helpers
// with their per-frame sprite budgets, the frame end that every screen loop calls once per frame,
// and the engine test that measures how many sprites the machine can draw.
//
// Assets are shared pointers (nullptr: nothing was loaded); drawing nullptr draws nothing.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "render/render.h"

class TSound;

// A three-second line at the bottom of the screen.
struct Notice {
  int tick = 0;  // frames shown so far
  std::string txt;
  int c = 0;     // kind given by the poster
};

struct DisplayState {
  // Screen and drawing space.
  int ScreenWidth = 800, ScreenHeight = 600;     // real pixels of the chosen mode
  int VirtualWidth = 1280, VirtualHeight = 960;  // the space every screen lays out in
  std::array<int, 2500> ModeWidths{}, ModeHeights{};  // the modes offered, from 1
  int ModeCount = 0;
  std::function<std::vector<TGraphicsMode>()> ModeSource;  // empty: the back end's list (tests set it)
  int GraphicsReady = 0;  // 1 after the first complete set-up
  std::string CrashMarker;  // full path of "crash.dat" while it exists, empty otherwise

  // Shared assets.
  std::array<std::shared_ptr<TImageFont>, 20> Fonts;       // 1..13
  std::array<std::shared_ptr<TImageFont>, 100> SizedFonts; // family (0 A, 1 B, 2 C) x 10 + step 0..8
  std::shared_ptr<TImage> IconsFiltered, IconsSharp;       // 64 icons of 16 x 16; 63 is the pointer
  std::shared_ptr<TImage> LogoImage, SiteLogo, BadgeImage;
  std::shared_ptr<TSound> BadgeSound;

  // Drawing helpers.
  std::array<int, 20> SpriteBudget{};  // by sprite kind: 1 main, 2 glow, 3 particles
  std::array<int, 20> SpritesDrawn{};
  int BlendKind = 1;
  std::array<float, 3> BackColour{0.2f, 0.0f, 1.0f};  // menu background, eased toward BackTarget
  std::array<float, 3> BackTarget{0.2f, 0.0f, 1.0f};

  // Frame end.
  int FrameParity = 0;
  int OverlayOn = 1;
  int64_t LastCollected = 0;   // bytes released by the last collection
  int FpsSmooth = 0;
  uint32_t LastFrameTime = 0;  // ms, clock at the end of the previous frame
  int PointerX = 0, PointerY = 0, PointerPrevX = 0, PointerPrevY = 0;  // virtual units
  std::vector<Notice> Notices;  // oldest first
  int PauseState = 0;           // 0 no game, 1 pause allowed, 2 pause menu running
  uint32_t GameStartTime = 0;   // ms
  int SettingsOpen = 0;         // the settings panel is wanted open (Tab)
  int FramesPresented = 0;      // frames shown so far

  // Engine test.
  int TargetFps = 60;
  int EngineBest = 0;   // best passing sprite count
  int EngineCount = 0;  // the count under test
};
extern DisplayState Display;

// Fresh display state (tests).
void ResetDisplayState();

// ---- Graphics mode ---------------------------------------------------------------------------------
// Turns the graphics setup values into an open screen and a virtual space, then loads the common
// assets and the game's assets (with the engine test). Ends the program with a message when no
// window can be opened at all.
void ApplyGraphicsSettings();
// The modes offered from the back end's list: 4:3, 16:9 and 16:10 sizes, each once, in list order.
void BuildModeList(const std::vector<TGraphicsMode>& modes);
// Removes the crash marker this run made, whatever the working directory is now: a player who quits
// while the screen opens or the machine is measured has not crashed.
void RemoveCrashMarker();

// ---- Assets ----------------------------------------------------------------------------------------
// The common folder's fonts, icons, logos and jingle, then the game folder's badges and sound effects,
// then the local scores.
void LoadCommonAssets();
// Font size factors by real screen width: f1 for most sizes, f2 for the small overlay lines.
void FontSizeFactors(int screenWidth, float& f1, float& f2);
// The font files and pixel sizes for a real screen width: entries 1..13 of Fonts, then SizedFonts
// family A steps 0..8, family B, family C.
struct FontChoice {
  std::string file;
  int size;
};
std::vector<FontChoice> CommonFontPlan(int screenWidth);
// Selects SizedFonts[(family - 1) x 10 + step]; family outside 1..3 counts as 1, step outside 0..8 as 0.
void SelectSizedFont(int family, int step);

// ---- Drawing helpers -------------------------------------------------------------------------------
// Text at (x, y); alignX/alignY 1 centre, 2 right or bottom, anything else left or top.
void WriteText(int x, int y, const std::string& text, int alignX = 0, int alignY = 0);
void Scale(float sx);
void Scale(float sx, float sy);
void Rotate(float degrees);
// Rotation 0, scale 1, white, alpha 1, alpha blending.
void ResetDraw();
// 0 solid, 1 alpha, 2 multiply, 3 additive.
void SetBlendKind(int kind);
// Colour from reals clamped to 0..255 and truncated; alpha clamped to 0..1 when given.
void Colour(double r, double g, double b);
void Colour(double r, double g, double b, double alpha);
double Clamp(double value, double low, double high);
// A budgeted sprite placed by its top-left corner.
void DrawSprite(const std::shared_ptr<TImage>& image, int x, int y, int frame, int kind);
// A budgeted sprite with an additive, enlarged copy of itself (or of glowImage) as its glow.
void DrawGlowSprite(const std::shared_ptr<TImage>& image, int x, int y, int frame,
                    const std::shared_ptr<TImage>& glowImage, float glowScale, float glowAlpha);
// Start of every frame: clear (when clear is 1) and reset the per-frame sprite counts.
void BeginFrame(int clear);
// 1 when the pointer lies strictly inside the rectangle.
int PointerIn(int x, int y, int w, int h);
// The animated background of the menus: bands turned 45 degrees, easing toward BackTarget.
void DrawMenuBackground();

// ---- Frame end -------------------------------------------------------------------------------------
// End of every frame: score pops, Tab, F11, Escape (pause menu), settings panel, overlay, pointer,
// pacing to 60 frames per second, notices, present, frame rate, Alt+F4 and window close. Returns the
// pause menu's result when it ran in this call, else 0.
int FrameEnd(int showPointer);
// Queues a three-second notice at the bottom of the screen.
void ShowNotice(const std::string& text, int kind);
// Bytes the program has allocated now (the overlay's "Used Memory").
int64_t AllocatedBytes();

// ---- Pause menu ------------------------------------------------------------------------------------
// Escape in a game: "Continue" and "Quit" over a spinning snapshot of the game, run inside the frame
// end (PauseState 2). Returns 1 to continue or 99 to end the game.
int PauseMenu();

// ---- Screenshots -----------------------------------------------------------------------------------
// F11: the frame drawn so far, every pixel opaque, as a PNG beside "Setup.ini" named by the title,
// date and time; a notice tells whether it was saved. A second shot within the same second gets
// "_2" (then "_3"...) after the name instead of replacing the first.
void TakeScreenshot();
// The text without # ' , ` . \ / : | * ? and the double quote.
std::string SafeFileName(const std::string& text);
// Sets every pixel's alpha to 255.
void MakeOpaque(TPixmap& pixmap);

// ---- Engine test -----------------------------------------------------------------------------------
// Measures how many sprites hold the target frame rate and sets the sprite budgets (and the slow
// system mode when even 1000 do not).
void EngineTest(int targetFps, float testScale);
