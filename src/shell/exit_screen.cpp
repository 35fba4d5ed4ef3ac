// The single way the program ends.
#include "core/core.h"
#include "display/display.h"
#include "render/render.h"
#include "scores/scores.h"
#include "shell/shell.h"

void ExitScreen() {
  SetPointerVisible(1);
  // A quit while the screen opens or the machine is measured is not a crash: the next run keeps
  // its drawing back end.
  RemoveCrashMarker();
  WriteSetup();
  SaveScores();
  for (const char* line : {"Closing Up", "", "Bye!", "", "Play again, soon!!"}) DebugLine(line);
  CloseScreen();
  CloseDebugLog();
  EndProcess(0);
}
