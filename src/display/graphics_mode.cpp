// Opening the screen from the setup values.
#include <cstdio>

#include "core/core.h"
#include "display/display.h"
#include "render/render.h"

void ApplyGraphicsSettings() {
  Core.SetupValues[SetupWidth] = Display.ScreenWidth;
  Core.SetupValues[SetupHeight] = Display.ScreenHeight;
  if (!OpenScreen(Display.ScreenWidth, Display.ScreenHeight, 0, 60, 0)) {
    const std::string message = "No window could be opened (is a display available?)";
    DebugLine(message);
    std::fprintf(stderr, "%s: %s\n", TitleWord1, message.c_str());
    EndProcess(1);
  }
}
