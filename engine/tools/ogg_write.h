// Writes Ogg Vorbis files through libvorbisenc for the data generators. The stream serial number is
// fixed and no date or time goes into the stream, so the same samples always give the same bytes.
#pragma once

#include <string>
#include <vector>

// samples: -1..1, interleaved when channels is 2. quality: libvorbis VBR quality, -0.1..1.
bool WriteOgg(const std::string& path, const std::vector<float>& samples, int channels, int rate,
              float quality);
