// The pause menu.
#include "display/display.h"

int PauseMenu() { return 1; }
