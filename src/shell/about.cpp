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
      "Font : Clear Sans by Intel",
      "Font : Lato by Lukasz Dziedzic",
      "Font : Open Sans by Steve Matteson",
      "Font : DotGothic16 by Fontworks",
      "All other graphics by Tolvaner",
      "",
      "Music/SFX by Tolvaner",
      "",
      "Additional Sound Effects",
      "created using",
      "Tolvaner's own effect synthesiser",
      "source: tools/make_sounds.cpp",
      "",
      "Music : Falling Code",
      "source: tools/make_music.cpp",
      "Tolvaner",
  };
  Core.AboutLines.fill("");
  for (size_t i = 0; i < std::size(lines); ++i) Core.AboutLines[i] = lines[i];
}
