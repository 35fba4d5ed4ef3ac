// The single way the program ends.
#include "core/core.h"
#include "render/render.h"
#include "scores/scores.h"
#include "shell/shell.h"

void ExitScreen() {
  SetPointerVisible(1);
  WriteSetup();
  SaveScores();
  for (const char* line : {"Closing Up", "", "Bye!", "", "Play again, soon!!"}) DebugLine(line);
  CloseScreen();
  CloseDebugLog();
  EndProcess(0);
}
