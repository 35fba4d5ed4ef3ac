// Plain files relative to the working directory; player files are replaced atomically.
#include "core/core.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
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

// Flushes a folder's entries to disk, so a rename in it survives a power cut or a kill.
static bool SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0 || errno == EINVAL;  // some file systems cannot sync folders
  ::close(fd);
  return ok;
}

std::string TempFileFor(const std::string& path) { return path + ".tmp"; }

void RemoveLeftoverTemp(const std::string& path) {
  const std::string temp = TempFileFor(path);
  if (FileExists(temp)) std::remove(temp.c_str());
}

bool WriteFileAtomic(const std::string& given, const std::function<bool(std::FILE*)>& write) {
  // A link is followed, so the file it names is replaced and the link stays; only a plain file (or
  // none) is ever replaced: a device or a folder stays what it is.
  std::string path = given;
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    char real[PATH_MAX];
    if (!::realpath(path.c_str(), real)) return false;
    path = real;
  }
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    return false;
  }
  const std::string temp = TempFileFor(path);
  std::FILE* f = std::fopen(temp.c_str(), "wb");
  if (!f) return false;
  bool ok = write(f);
  ok = ok && std::fflush(f) == 0 && !std::ferror(f) && ::fsync(::fileno(f)) == 0;
  ok = (std::fclose(f) == 0) && ok;
  if (ok) ok = std::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) std::remove(temp.c_str());
  if (ok) SyncFolder(FolderOf(path));  // the file is whole either way; this makes the rename last
  return ok;
}

bool WriteTextFileAtomic(const std::string& path, const std::vector<std::string>& lines) {
  return WriteFileAtomic(path, [&lines](std::FILE* f) {
    for (const std::string& line : lines)
      if (std::fwrite(line.data(), 1, line.size(), f) != line.size() || std::fwrite("\r\n", 1, 2, f) != 2) return false;
    return true;
  });
}
