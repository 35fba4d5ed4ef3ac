// Where the player's own files live: "Files/" itself when it can be written (the build tree, a
// portable copy), else the per-user data folder, as an installed game's data folder is read-only.
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "core/core.h"
#include "shell/shell.h"

std::string PerUserDataFolder() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && xdg[0] == '/') return std::string(xdg) + "/" + ThisIdentity().ExecutableName;  // only an absolute one counts
  std::string home;
  if (const char* h = std::getenv("HOME"); h && h[0] == '/') home = h;
  else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) home = pw->pw_dir;
  return home.empty() ? std::string() : home + "/.local/share/" + ThisIdentity().ExecutableName;
}

std::string ChoosePlayerFolder(const std::string& filesDir) {
  auto writable = [](const std::string& dir) {
    return Shell.FolderWritable ? Shell.FolderWritable(dir) : FolderWritable(dir);
  };
  const std::string game = filesDir + "/" + GameFolder();
  if (writable(filesDir) && (!FolderExists(game) || writable(game))) return filesDir;
  const std::string own = PerUserDataFolder();
  if (!own.empty() && MakeFolders(own + "/" + GameFolder()) && writable(own)) return own;
  return filesDir;  // nowhere to write: the files are not saved, and the game goes on
}
