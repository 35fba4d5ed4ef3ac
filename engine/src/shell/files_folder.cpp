// Where the Files/ folder is.
#include <sys/stat.h>

#include "shell/shell.h"

static bool IsFolder(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string FindFilesFolder(const std::string& override, const std::string& exeDir, const std::string& cwd,
                            const std::string& installedData) {
  if (!override.empty()) return IsFolder(override) ? override : std::string();
  if (!exeDir.empty() && IsFolder(exeDir + "/Files")) return exeDir + "/Files";
  if (!exeDir.empty() && !installedData.empty() && IsFolder(exeDir + "/" + installedData))
    return exeDir + "/" + installedData;
  if (!cwd.empty() && IsFolder(cwd + "/Files")) return cwd + "/Files";
  return std::string();
}
