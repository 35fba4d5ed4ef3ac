// Shared state, identity, hooks and the process exit.
#include "core/core.h"

#include <cstdio>
#include <cstdlib>

CoreState Core;
ProgramHooks Hooks;

static const GameDefinition* CurrentGame = nullptr;

const GameDefinition& ThisGame() {
  if (!CurrentGame) {  // a program of the engine that never named its game: a fault of the program
    std::fputs("The program has no game: call RunGameProgram (or UseGame) with its definition first.\n", stderr);
    std::abort();
  }
  return *CurrentGame;
}

std::string UseGame(const GameDefinition& game) {
  std::string missing;
  auto need = [&missing](bool present, const char* what) {
    if (!present) missing += (missing.empty() ? "" : ", ") + std::string(what);
  };
  const GameIdentity* id = game.Identity;
  need(id != nullptr, "identity");
  if (id) {
    need(id->WeekNumber > 0, "week number");
    need(id->TitleWord1 && *id->TitleWord1, "first title word");
    need(id->TitleWord2 != nullptr, "second title word");
    need(id->Tagline && *id->Tagline, "tagline");
    need(id->GameCode && *id->GameCode, "game code");
    need(id->ExecutableName && *id->ExecutableName, "executable name");
  }
  need(game.AboutLines != nullptr, "About lines");
  need(game.ResetState != nullptr, "ResetState callback");
  need(game.LoadAssets != nullptr, "LoadAssets callback");
  need(game.AllocateArrays != nullptr, "AllocateArrays callback");
  need(game.DrawTitleLogo != nullptr, "DrawTitleLogo callback");
  need(game.PlayGame != nullptr, "PlayGame callback");
  need(game.DrawScorePops != nullptr, "DrawScorePops callback");
  if (!missing.empty()) return "the game's definition lacks its " + missing;
  CurrentGame = &game;
  return "";
}

std::string WindowTitle(const GameIdentity& game) {
  return "#" + std::to_string(game.WeekNumber) + " : " + game.TitleWord1 + " " + game.TitleWord2;
}
std::string WindowTitle() { return WindowTitle(ThisIdentity()); }

std::string GameFolder(const GameIdentity& game) { return LastChars("000" + std::to_string(game.WeekNumber), 3) + "/"; }
std::string GameFolder() { return GameFolder(ThisIdentity()); }

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
