// Shared state, identity, hooks and the process exit.
#include "core/core.h"

#include <cstdlib>

CoreState Core;
ProgramHooks Hooks;

std::string WindowTitle() {
  return "#" + std::to_string(WeekNumber) + " : " + TitleWord1 + " " + TitleWord2;
}

std::string GameFolder() { return LastChars("000" + std::to_string(WeekNumber), 3) + "/"; }

void ResetCoreState() {
  CloseDebugLog();
  Core = CoreState{};
}

void SetDefaultSetupValues() {
  Core.SetupValues[SetupFullscreen] = 0;
  Core.SetupValues[SetupEngine] = 0;
  Core.SetupValues[SetupWidth] = 800;
  Core.SetupValues[SetupHeight] = 600;
  Core.SetupValues[SetupESS] = 0;
  Core.SetupValues[SetupMaster] = 50;
  Core.SetupValues[SetupSound] = 50;
  Core.SetupValues[SetupMusic] = 50;
  Core.SetupValues[SetupAudioDriver] = 0;
}

void EndProcess(int status) {
  if (Hooks.EndProcess) Hooks.EndProcess(status);
  std::exit(status);
}
