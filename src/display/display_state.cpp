#include "display/display.h"

DisplayState Display;

void ResetDisplayState() { Display = DisplayState{}; }
