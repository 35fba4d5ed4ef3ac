// Writes 8-bit PNG pictures for the data generators. No time stamp or text chunk is written, so the
// same pixels always give the same file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// channels: 1 grey, 3 RGB, 4 RGBA; pixels row by row, top row first. Returns false on failure.
bool WritePng(const std::string& path, int width, int height, int channels,
              const std::vector<uint8_t>& pixels);
