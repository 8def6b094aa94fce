// POSIX file calls of the archive tool.
#include "tools/eek/host_platform.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Opened without blocking so that a pipe or a device under the name cannot
// stall the tool; only a plain file is kept, for which the flag changes nothing.
int OpenPlainFile(const std::string& path, int flags, int64_t* size, std::string* error) {
  int fd = open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
  if (fd < 0) {
    // ELOOP: O_NOFOLLOW met a link; ENXIO: a pipe that nobody reads.
    *error = errno == ELOOP   ? "is a symbolic link; refusing to write through it"
             : errno == ENXIO ? "is not a plain file"
                              : strerror(errno);
    return -1;
  }
  struct stat info;
  if (fstat(fd, &info) != 0) {
    *error = strerror(errno);
    close(fd);
    return -1;
  }
  if (!S_ISREG(info.st_mode)) {
    *error = S_ISDIR(info.st_mode) ? "is a folder" : "is not a plain file";
    close(fd);
    return -1;
  }
  *size = info.st_size;
  return fd;
}

// The folder that holds path, as open() takes it.
std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
}

// The temporary files a signal removes, every one open at once. A path is
// written with its first byte last, and cleared by that byte, so that the
// handler never sees half a name.
const int kInterruptSlots = 4;
char interruptPaths[kInterruptSlots][4096];
std::mutex interruptLock;  // between the tool's own threads, not the handler

void RemoveAndEnd(int signalNumber) {
  for (char* path : interruptPaths) {
    if (path[0] != 0) {
      unlink(path);
    }
  }
  signal(signalNumber, SIG_DFL);
  raise(signalNumber);
}

}  // namespace

int OpenInputFile(const std::string& path, std::string* error) {
  int64_t size;
  return OpenPlainFile(path, O_RDONLY, &size, error);
}

int CreateTempFileBeside(const std::string& path, std::string* tempPath, std::string* error) {
  std::string pattern = path + ".XXXXXX";
  int fd = mkstemp(&pattern[0]);
  if (fd < 0) {
    *error = strerror(errno);
    return -1;
  }
  // mkstemp creates the file for its owner only; give it the usual mode.
  mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  *tempPath = pattern;
  return fd;
}

bool ReplaceFileWith(const std::string& from, const std::string& to, std::string* error) {
  if (rename(from.c_str(), to.c_str()) != 0) {
    *error = strerror(errno);
    return false;
  }
  return true;
}

bool RemoveFile(const std::string& path) {
  return unlink(path.c_str()) == 0;
}

int OpenOutputInPlace(const std::string& path, std::string* error) {
  // Blocks on a pipe until a reader comes, as tar and cp do.
  int fd = open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    *error = strerror(errno);
  }
  return fd;
}

int CreateUnnamedFileBeside(const std::string& path, std::string* error) {
  error->clear();
#if defined(O_TMPFILE)
  int fd = open(FolderOf(path).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
  if (fd >= 0) {
    return fd;
  }
  // A file system or kernel without unnamed files: the caller takes a named one.
  if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOENT) {
    *error = strerror(errno);
  }
#else
  (void)path;
#endif
  return -1;
}

bool NameUnnamedFile(int fd, const std::string& path, bool* exists, std::string* error) {
  *exists = false;
  std::string self = "/proc/self/fd/" + std::to_string(fd);
  if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) {
    return true;
  }
#if defined(AT_EMPTY_PATH)
  if (errno == ENOENT && linkat(fd, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0) {
    return true;  // no /proc: the descriptor itself, where privileges allow
  }
#endif
  *exists = errno == EEXIST;
  *error = strerror(errno);
  return false;
}

bool FlushFileToDisk(int fd, std::string* error) {
  while (fsync(fd) != 0) {
    if (errno != EINTR) {
      *error = strerror(errno);
      return false;
    }
  }
  return true;
}

bool FlushFolderOf(const std::string& path, std::string* error) {
  // A folder eek may write in but not read (mode -wx) cannot be opened to be
  // flushed: its names are left to the system's own write-back.
  int folder = open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) {
    return true;
  }
  bool flushed = FlushFileToDisk(folder, error);
  int reason = errno;
  close(folder);
  // File systems that keep no folders on a disk of their own refuse the call.
  return flushed || reason == EINVAL || reason == EROFS || reason == ENOTSUP;
}

int64_t ReadFileBytes(int fd, uint8_t* bytes, int64_t count) {
  int64_t done = 0;
  while (done < count) {
    ssize_t n = read(fd, bytes + done, static_cast<size_t>(count - done));
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0) {
      return done > 0 ? done : -1;
    }
    if (n == 0) {
      break;
    }
    done += n;
  }
  return done;
}

int64_t WriteFileBytes(int fd, const uint8_t* bytes, int64_t count) {
  int64_t done = 0;
  while (done < count) {
    ssize_t n = write(fd, bytes + done, static_cast<size_t>(count - done));
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      return done > 0 ? done : -1;
    }
    done += n;
  }
  return done;
}

bool SeekFile(int fd, int64_t position) {
  return lseek(fd, static_cast<off_t>(position), SEEK_SET) == static_cast<off_t>(position);
}

int64_t FileSize(int fd) {
  struct stat info;
  return fstat(fd, &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
}

bool CloseFile(int fd) {
  return close(fd) == 0;
}

std::string LastErrorText() {
  return strerror(errno);
}

bool IsStderrTerminal() {
  return isatty(STDERR_FILENO) != 0;
}

bool IsStandardOutput(const std::string& path) {
  struct stat named;
  struct stat output;
  return stat(path.c_str(), &named) == 0 && fstat(STDOUT_FILENO, &output) == 0 &&
         named.st_dev == output.st_dev && named.st_ino == output.st_ino;
}

std::string ProgramFolder() {
  char path[4096];
  ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) {
    return std::string();
  }
  std::string program(path, static_cast<size_t>(length));
  size_t slash = program.rfind('/');
  return slash == std::string::npos ? std::string() : program.substr(0, slash == 0 ? 1 : slash);
}

void RemoveFileOnInterrupt(const std::string& path) {
  std::lock_guard<std::mutex> hold(interruptLock);
  for (char* slot : interruptPaths) {
    if (slot[0] == 0 && !path.empty() && path.size() < sizeof interruptPaths[0]) {
      std::memcpy(slot + 1, path.c_str() + 1, path.size());
      slot[0] = path[0];
      for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        signal(signalNumber, RemoveAndEnd);
      }
      return;
    }
  }
}

void KeepFileOnInterrupt(const std::string& path) {
  std::lock_guard<std::mutex> hold(interruptLock);
  bool any = false;
  for (char* slot : interruptPaths) {
    if (slot[0] != 0 && path == slot) {
      slot[0] = 0;
    }
    any = any || slot[0] != 0;
  }
  if (!any) {
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
      signal(signalNumber, SIG_DFL);
    }
  }
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}
