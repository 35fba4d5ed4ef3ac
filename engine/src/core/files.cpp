// Plain files relative to the working directory; player files are replaced atomically.
#include "core/core.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool FolderExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ExecutableFolder() {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return std::string();
  const std::string path(buffer, static_cast<size_t>(n));
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool MakeFolders(const std::string& path) {
  if (path.empty()) return false;
  for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
    ::mkdir(path.substr(0, slash).c_str(), 0755);
  ::mkdir(path.c_str(), 0755);
  return FolderExists(path);
}

bool FolderWritable(const std::string& path) {
  const std::string probe = path + "/.vq-write-test-" + std::to_string(::getpid());
  const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

std::string PlayerFile(const std::string& name) {
  return Core.PlayerDir.empty() ? "../" + name : Core.PlayerDir + "/" + name;
}

std::string PlayerGameFile(const std::string& name) {
  return Core.PlayerDir.empty() ? name : Core.PlayerDir + "/" + GameFolder() + name;
}

bool ChangeDir(const std::string& path) { return ::chdir(path.c_str()) == 0; }

std::string CurrentDir() {
  char buffer[PATH_MAX];
  return ::getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string();
}

bool ReadTextLines(const std::string& path, std::vector<std::string>& lines) {
  lines.clear();
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  std::string line;
  char buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
    for (size_t i = 0; i < got; ++i) {
      const char c = buffer[i];
      if (c == '\n') {
        lines.push_back(std::move(line));
        line.clear();
      } else if (c != '\r') {
        line.push_back(c);
      }
    }
  }
  const bool ok = !std::ferror(f);
  std::fclose(f);
  if (!line.empty()) lines.push_back(std::move(line));
  return ok;
}

// The folder part of a path ("." for a bare name).
static std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The name part of a path.
static std::string NameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Flushes a folder's entries to disk, so a rename in it survives a power cut or a kill.
static bool SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0 || errno == EINVAL;  // some file systems cannot sync folders
  ::close(fd);
  return ok;
}

// The file a write to path replaces: path itself, or the file a link at path names. "" when path is
// a link that leads nowhere.
static std::string RealTarget(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char real[PATH_MAX];
  return ::realpath(path.c_str(), real) ? std::string(real) : std::string();
}

// Sixteen hexadecimal digits nobody can guess, for the name of a temporary file.
static std::string UnguessableSuffix() {
  uint64_t bits = 0;
  if (::getrandom(&bits, sizeof bits, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bits))
    bits = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) * 0x9E3779B97F4A7C15ull;
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(bits));
  return text;
}

// Temporary files of a path are named path + ".tmp." + the writer's process id + "." + 16 random
// hexadecimal digits; older versions of the program used path + ".tmp" alone.
static const char TempMark[] = ".tmp";

void RemoveLeftoverTemp(const std::string& path) {
  const std::string real = RealTarget(path);
  if (real.empty()) return;
  const std::string folder = FolderOf(real);
  const std::string old = NameOf(real) + TempMark;
  const std::string prefix = old + ".";
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != old) {
      if (name.compare(0, prefix.size(), prefix) != 0) continue;
      // Another running copy of the program may be writing its temporary file right now.
      const long pid = std::strtol(name.c_str() + prefix.size(), nullptr, 10);
      if (pid > 0 && pid != ::getpid() && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM)) continue;
    }
    const std::string leftover = folder + "/" + name;
    struct stat st;
    // A plain file or a link is removed (removing a link leaves what it names alone); a folder stays.
    if (::lstat(leftover.c_str(), &st) == 0 && (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)))
      ::unlink(leftover.c_str());
  }
  ::closedir(dir);
}

bool WriteFileAtomic(const std::string& given, const std::function<bool(std::FILE*)>& write, unsigned newMode) {
  // A link is followed, so the file it names is replaced and the link stays; only a plain file (or
  // none) is ever replaced: a device or a folder stays what it is.
  const std::string path = RealTarget(given);
  if (path.empty()) return false;
  struct stat st;
  const bool replacing = ::stat(path.c_str(), &st) == 0;
  if (replacing && !S_ISREG(st.st_mode)) {
    errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    return false;
  }
  // The temporary file is made new, under a name nobody can plant a link or a file at beforehand,
  // so a shared folder cannot turn the write against another file, and two copies of the program
  // saving at once each write their own.
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 8 && fd < 0; ++attempt) {
    temp = path + TempMark + "." + std::to_string(::getpid()) + "." + UnguessableSuffix();
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, static_cast<mode_t>(newMode));
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  // The new file keeps the mode of the one it replaces (the score file holds the credentials).
  if (replacing) ::fchmod(fd, st.st_mode & 07777);
  std::FILE* f = ::fdopen(fd, "wb");
  if (!f) {
    ::close(fd);
    ::unlink(temp.c_str());
    return false;
  }
  bool ok = write(f);
  ok = ok && std::fflush(f) == 0 && !std::ferror(f) && ::fsync(::fileno(f)) == 0;
  ok = (std::fclose(f) == 0) && ok;
  if (ok) ok = std::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  if (ok) SyncFolder(FolderOf(path));  // the file is whole either way; this makes the rename last
  return ok;
}

bool ReadFileBytes(const std::string& path, std::string& bytes) {
  bytes.clear();
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  char buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, got);
  const bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

bool WriteTextFileAtomic(const std::string& path, const std::vector<std::string>& lines, unsigned newMode) {
  return WriteFileAtomic(path, [&lines](std::FILE* f) {
    for (const std::string& line : lines)
      if (std::fwrite(line.data(), 1, line.size(), f) != line.size() || std::fwrite("\r\n", 1, 2, f) != 2) return false;
    return true;
  }, newMode);
}
