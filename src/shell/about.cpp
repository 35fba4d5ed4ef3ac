// The lines of the About page.
#include "core/core.h"
#include "shell/shell.h"

void FillAboutLines() {
  static constexpr const char* lines[] = {
      "",  // line 0 is not shown
      "A Game by Tolvaner",
      "Tolvaner's Weekly Games | Quobble",
      "",
      "-=-=--=-=-=-=-=-=-=-=-",
      "Instructions",
      "",
      "Destroy the Red Code before",
      "it reaches the bottom of the screen.",
      "-=-=--=-=-=-=-=-=-=-=-",
      "",
      "Credits",
      "",
      "Game",
      "Made with C++, SDL2 and OpenGL",
      "using Tolvaner's Framework",
      "",
      "Graphics",
      "Font : DejaVu Sans by Bitstream and the DejaVu fonts team",
      "Font : DejaVu Sans Bold by Bitstream and the DejaVu fonts team",
      "Font : DejaVu Sans Condensed by Bitstream and the DejaVu fonts team",
      "Font : DejaVu Sans Mono by Bitstream and the DejaVu fonts team",
      "All other graphics by Tolvaner",
      "",
      "Music/SFX by Tolvaner",
      "",
      "Additional Sound Effects",
      "created using",
      "Tolvaner's own effect synthesiser",
      "in the game's tools folder",
      "",
      "Music : Falling Code",
      "made with the game's own tools",
      "Tolvaner",
  };
  Core.AboutLines.fill("");
  for (size_t i = 0; i < std::size(lines); ++i) Core.AboutLines[i] = lines[i];
}
