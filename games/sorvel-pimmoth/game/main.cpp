// Sorvel Pimmoth: the engine runs the game's definition.
#include "game/game.h"
#include "shell/shell.h"

int main(int argc, char** argv) { return RunGameProgram(SorvelPimmoth, argc, argv); }
