// The screen from the setup values: the modes offered, the back end, the crash fall-back, fullscreen
// depth, the virtual space, and then every asset.
#include <cstdio>

#include "core/core.h"
#include "display/display.h"

void BuildModeList(const std::vector<TGraphicsMode>& modes) {
  auto& values = Core.SetupValues;
  Display.ModeCount = 0;
  for (const TGraphicsMode& m : modes) {
    const int w = m.width, h = m.height;
    // Integer division, as the ratios have always been tested.
    const bool ratio = h == w * 10 / 16 || h == w * 9 / 16 || h == w * 3 / 4;
    if (!ratio) continue;
    bool listed = false;
    for (int i = 1; i <= Display.ModeCount && !listed; ++i)
      listed = Display.ModeWidths[i] == w && Display.ModeHeights[i] == h;
    if (listed || Display.ModeCount + 1 >= static_cast<int>(Display.ModeWidths.size())) continue;
    ++Display.ModeCount;
    Display.ModeWidths[Display.ModeCount] = w;
    Display.ModeHeights[Display.ModeCount] = h;
    if (w == values[SetupWidth] && h == values[SetupHeight]) {
      values[SetupModeIndex] = Display.ModeCount;
      Display.ScreenWidth = w;
      Display.ScreenHeight = h;
    }
  }
}

static std::vector<TGraphicsMode> ScreenModes() {
  if (Display.ModeSource) return Display.ModeSource();
  std::vector<TGraphicsMode> modes(CountScreenModes());
  for (int i = 0; i < static_cast<int>(modes.size()); ++i)
    GetScreenMode(i, modes[i].width, modes[i].height, modes[i].depth, modes[i].hertz);
  return modes;
}

// Opens the screen; when the mode cannot be opened, an 800 x 600 window instead, and when not even a
// window can be opened (no display) the program says so and ends.
static void OpenTheScreen(int depth) {
  if (OpenScreen(Display.ScreenWidth, Display.ScreenHeight, depth, 60, 0)) return;
  DebugLine("\tCould not open " + std::to_string(Display.ScreenWidth) + "x" + std::to_string(Display.ScreenHeight) +
            "," + std::to_string(depth) + "; trying an 800x600 window");
  Display.ScreenWidth = 800;
  Display.ScreenHeight = 600;
  Core.SetupValues[SetupWidth] = 800;
  Core.SetupValues[SetupHeight] = 600;
  if (OpenScreen(800, 600, 0, 60, 0)) {
    ShowNotice("Can't open that screen mode: using an 800x600 window.", 1);
    return;
  }
  const std::string message = "No window could be opened (is a display available?)";
  DebugLine(message);
  std::fprintf(stderr, "%s %s: %s\n", ThisIdentity().TitleWord1, ThisIdentity().TitleWord2, message.c_str());
  // Not a crash of the drawing back end: the next run must not fall back for it.
  RemoveCrashMarker();
  EndProcess(1);
}

void ApplyGraphicsSettings() {
  auto& values = Core.SetupValues;
  const std::vector<TGraphicsMode> modes = ScreenModes();
  BuildModeList(modes);
  // A requested size that is not offered is replaced by the current one.
  values[SetupWidth] = Display.ScreenWidth;
  values[SetupHeight] = Display.ScreenHeight;

  DebugLine("");
  DebugLine("-=-=-=-=-=-=-=-=-=-=-=-=-=-");
  DebugLine("Applying Graphical Settings");
  if (Display.GraphicsReady == 1) {
    CloseScreen();
    DebugLine("\tChanged Graphics Mode ingame.");
  }

  // A run that died while opening the screen under OpenGL left the marker: use Direct3D 9 now.
  const std::string marker = PlayerGameFile("crash.dat");
  if (FileExists(marker) && values[SetupEngine] == 0) values[SetupEngine] = 1;
  if (values[SetupEngine] == 1) {
    SelectGraphicsDriver(D3D9PelmoDriver(), 2);
    DebugLine("\tUsing DirectX 9 Driver");
  } else if (values[SetupEngine] == 2) {
    SelectGraphicsDriver(D3D7PelmoDriver(), 2);
    DebugLine("\tUsing DirectX 7 Driver");
  } else {
    SelectGraphicsDriver(GLPelmoDriver(), 2);
    DebugLine("\tUsing OpenGL Driver");
  }

  int depth = 0;
  if (values[SetupFullscreen] == 1) {
    for (int d : {32, 24, 16}) {
      for (const TGraphicsMode& m : modes)
        if (m.width == Display.ScreenWidth && m.height == Display.ScreenHeight && m.depth == d) depth = d;
      if (depth != 0) break;
    }
    if (depth == 0) ShowNotice("Can't set to fullscreen in this resolution.", 1);
  }
  DebugLine("\tResolution : " + std::to_string(Display.ScreenWidth) + "x" + std::to_string(Display.ScreenHeight) + "," +
            std::to_string(depth));

  // The marker exists exactly while the screen opens and everything loads and is measured.
  if (std::FILE* f = std::fopen(marker.c_str(), "wb")) {
    std::fclose(f);
    const std::string dir = CurrentDir();
    Display.CrashMarker = marker[0] == '/' || dir.empty() ? marker : dir + "/" + marker;
  }
  OpenTheScreen(depth);

  values[SetupWidescreen] = 0;
  Display.VirtualWidth = 1280;
  Display.VirtualHeight = 960;
  if (Display.ScreenHeight == Display.ScreenWidth * 9 / 16) {
    values[SetupWidescreen] = 1;
    Display.VirtualWidth = 1600;
    Display.VirtualHeight = 900;
    DebugLine("\tWidescreen mode!");
  }
  if (Display.ScreenHeight == Display.ScreenWidth * 10 / 16) {
    values[SetupWidescreen] = 1;
    Display.VirtualWidth = 1440;
    Display.VirtualHeight = 900;
    DebugLine("\tWidescreen mode B (10:16)!");
  }
  SetVirtualSize(static_cast<float>(Display.VirtualWidth), static_cast<float>(Display.VirtualHeight));

  LoadCommonAssets();
  if (Hooks.LoadGameAssets) Hooks.LoadGameAssets();

  DebugLine("-=-=-=-=-=-=-=-=-=-=-=-=-=-");
  RemoveCrashMarker();
}

void RemoveCrashMarker() {
  if (Display.CrashMarker.empty()) return;
  std::remove(Display.CrashMarker.c_str());
  Display.CrashMarker.clear();
}
