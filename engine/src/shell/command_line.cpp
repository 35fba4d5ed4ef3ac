// The program's command line: finds the Files/ folder and runs the game over it, or the composer.

#include <cstdio>
#include <cstring>
#include <string>

#include "core/core.h"
#include "online/online.h"
#include "shell/shell.h"

static void PrintUsage(std::FILE* out) {
  const char* name = ThisIdentity().ExecutableName;
  std::fprintf(out,
               "Usage: %s [--files DIR] [--online HOST[:PORT]]\n"
               "       %s [--files DIR] --compose NAME SEED [--wav FILE] [--seconds N] [--tempo MS]\n"
               "%s\n\n"
               "  --files DIR          use DIR as the Files/ folder (settings, log, scores and game data)\n"
               "  --online HOST[:PORT] switch the title screen's online page on for this run, with the\n"
               "                       score server at HOST (a name, an IPv4 address or [IPv6]), port 80\n"
               "                       unless given: log in, see the online table, offer the local best\n"
               "  --help               show this text\n"
               "  --version            show the version\n\n"
               "The music composer:\n"
               "  --compose NAME SEED  play the composer's music from music/NAME.ini of the game folder,\n"
               "                       composed from SEED (the same seed, the same music; -1 takes the\n"
               "                       clock), in a small window through the audio back end of Setup.ini,\n"
               "                       until a key is pressed or the window is closed\n"
               "  --wav FILE           render it instead into FILE, a 16-bit stereo 44 100 Hz WAVE file,\n"
               "                       without a window or an audio device\n"
               "  --seconds N          stop after N seconds (a render lasts 30 unless given)\n"
               "  --tempo MS           twice the length of a step in ms (234: sixteenths at 128 beats a\n"
               "                       minute)\n\n"
               "Without --files the program uses the Files/ folder beside itself, else its installed\n"
               "data (../share/%s from its own folder), else Files/ in the current folder.\n",
               name, name, ThisGame().Summary, name);
}

int RunGameProgram(const GameDefinition& game, int argc, char** argv) {
  if (const std::string missing = UseGame(game); !missing.empty()) {
    std::fprintf(stderr, "%s: %s\n", argv[0], missing.c_str());
    return 70;
  }
  const char* name = ThisIdentity().ExecutableName;
  std::string files;
  ComposeOptions compose;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      PrintUsage(stdout);
      return 0;
    } else if (arg == "--version") {
      std::printf("%s %s (%s)\n", name, ThisIdentity().Version, Utf8FromLatin1(WindowTitle()).c_str());
      return 0;
    } else if (arg == "--files" && i + 1 < argc) {
      files = argv[++i];
    } else if (arg.rfind("--files=", 0) == 0) {
      files = arg.substr(8);
    } else if (arg == "--online" || arg.rfind("--online=", 0) == 0) {
      const std::string server = arg != "--online" ? arg.substr(9) : i + 1 < argc ? argv[++i] : "";
      if (!SetScoreServer(server)) {
        std::fprintf(stderr,
                     "%s: --online needs the score server as HOST or HOST:PORT (port 1..65535, an\n"
                     "IPv6 address in brackets), not '%s'\n\n",
                     name, server.c_str());
        PrintUsage(stderr);
        return 2;
      }
      Online.Enabled = 1;
    } else if (TakeComposeArgument(argc, argv, i, compose)) {
      // the composer's command, checked whole below
    } else {
      std::fprintf(stderr, "%s: unknown argument '%s'\n\n", name, arg.c_str());
      PrintUsage(stderr);
      return 2;
    }
  }

  if (const std::string error = ComposeArgumentError(compose); !error.empty()) {
    std::fprintf(stderr, "%s: %s\n\n", name, error.c_str());
    PrintUsage(stderr);
    return 2;
  }

  const std::string found =
      FindFilesFolder(files, ExecutableFolder(), CurrentDir(), std::string(VQ_DATA_ROOT_FROM_BIN "/") + name);
  if (found.empty()) {
    if (!files.empty())
      std::fprintf(stderr, "%s: '%s' is not a folder.\n", name, files.c_str());
    else
      std::fprintf(stderr,
                   "%s: no Files/ folder beside the program (%s) or in the current folder (%s).\n"
                   "Build the game with ./run.sh, or point to the folder with --files DIR.\n",
                   name, ExecutableFolder().c_str(), CurrentDir().c_str());
    return 1;
  }
  if (compose.Wanted) return RunCompose(compose, found);
  RunProgram(found);
  return 0;
}
