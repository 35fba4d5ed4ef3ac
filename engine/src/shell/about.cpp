// The lines of the About page: the game's own, from its definition.
#include "core/core.h"
#include "shell/shell.h"

void FillAboutLines() {
  Core.AboutLines.fill("");
  const char* const* lines = ThisGame().AboutLines;
  for (size_t i = 1; lines && lines[i - 1] && i < Core.AboutLines.size(); ++i) Core.AboutLines[i] = lines[i - 1];
}
