// The instruments of the game's music, each rendering one note as a mono sound that includes its
// release tail. The music loop plays them directly at every pitch; the composer's sample files are
// the same instruments recorded once at their base pitch.
#pragma once

#include <cstdint>

#include "synth.h"

// The frequency of a MIDI note number (69 = A4 = 440 Hz).
double NoteHz(double midi);

// Drums. tone varies the drum a little (0..1); seed picks its noise.
Wave Kick(float tone, uint64_t seed);
Wave BoomKick(uint64_t seed);
Wave Snare(float tone, uint64_t seed);
Wave NoiseSnare(uint64_t seed);
Wave Clap(uint64_t seed);
Wave HiHat(double decaySeconds, uint64_t seed);  // closed about 0.04, open about 0.3
Wave Ride(uint64_t seed);
Wave Crash(uint64_t seed);
Wave Tom(double hz, uint64_t seed);
Wave ZapTom(uint64_t seed);
Wave Shaker(uint64_t seed);
Wave Rim(uint64_t seed);
Wave Cowbell(uint64_t seed);
Wave Glitch(uint64_t seed);

// Pitched instruments: a note of frequency hz held for seconds, then released.
Wave PluckBass(double hz, double seconds);
Wave SubBass(double hz, double seconds);
Wave FmBass(double hz, double seconds);
Wave ReeseBass(double hz, double seconds);
Wave PulseLead(double hz, double seconds);
Wave BellLead(double hz, double seconds);
Wave SawLead(double hz, double seconds);
Wave SoftLead(double hz, double seconds);
Wave Pluck(double hz, double seconds, uint64_t seed);
Wave Pad(double hz, double seconds, uint64_t seed);
Wave ElectricPiano(double hz, double seconds);
