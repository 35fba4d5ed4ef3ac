#include "display/display.h"

#include "audio/audio.h"

DisplayState Display;

void ResetDisplayState() { Display = DisplayState{}; }
