// The debug log "Debug.txt": plain 8-bit lines ended by CR LF, truncated at every start.
#include "core/core.h"

bool OpenDebugLog(const std::string& path) {
  CloseDebugLog();
  Core.DebugStream = std::fopen(path.c_str(), "wb");
  return Core.DebugStream != nullptr;
}

void DebugLine(std::string_view text) {
  if (!Core.DebugStream) return;
  std::fwrite(text.data(), 1, text.size(), Core.DebugStream);
  std::fwrite("\r\n", 1, 2, Core.DebugStream);
  // Each line reaches the file at once, so the log tells how far a crashed run got.
  std::fflush(Core.DebugStream);
}

void CloseDebugLog() {
  if (!Core.DebugStream) return;
  std::fclose(Core.DebugStream);
  Core.DebugStream = nullptr;
}
