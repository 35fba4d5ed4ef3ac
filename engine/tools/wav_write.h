// Writes 16-bit PCM RIFF WAVE files for the data generators.
#pragma once

#include <string>
#include <vector>

// samples: -1..1, interleaved when channels is 2; values outside are clipped. Returns false on failure.
bool WriteWav(const std::string& path, const std::vector<float>& samples, int channels, int rate);
