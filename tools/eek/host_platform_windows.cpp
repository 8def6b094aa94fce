// Windows file calls of the archive tool. Paths are UTF-8, as the standard
// library's paths are here; the wide calls receive them in UTF-16, so that any
// name the file system holds can be read and written whatever the ANSI code
// page.
#include "tools/eek/host_platform.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// windows.h first: shellapi.h needs its types.
#include <shellapi.h>

#include <cstddef>
#include <vector>

#include "tools/eek/code_page.h"

namespace {

// The UTF-16 form of a UTF-8 path, zero-terminated; empty (no file) when the
// path is not UTF-8.
std::wstring Wide(const std::string& utf8) {
  std::u16string units;
  if (!Utf8ToUtf16(utf8, &units)) {
    return std::wstring();
  }
  return std::wstring(units.begin(), units.end());
}

std::string Utf8(const WCHAR* wide, size_t length) {
  std::string utf8;
  Utf16ToUtf8(std::u16string(wide, wide + length), &utf8);
  return utf8;
}

std::string SystemErrorText(DWORD code) {
  char text[512];
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                code, 0, text, sizeof text, nullptr);
  while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' ||
                        text[length - 1] == '.' || text[length - 1] == ' ')) {
    length--;
  }
  return length > 0 ? std::string(text, length) : "system error " + std::to_string(code);
}

// Keeps the handle only when it is a plain file on disk (not a folder, a device
// or a reparse point such as a symbolic link) and turns it into a descriptor.
int AdoptPlainFile(HANDLE handle, int flags, std::string* error) {
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info)) {
    *error = "is not a plain file";
  } else if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    *error = "is a symbolic link; refusing to write through it";
  } else if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    *error = "is a folder";
  } else {
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags | _O_BINARY);
    if (fd >= 0) {
      return fd;
    }
    *error = strerror(errno);
  }
  CloseHandle(handle);
  return -1;
}

// The temporary files an interrupt removes: every one that is open at once
// (eek installer's packed payload and its output's file beside it). The
// console runs the handler on a thread of its own, so the list is guarded.
struct InterruptFiles {
  CRITICAL_SECTION lock;
  std::vector<std::wstring> paths;
  bool handlerSet = false;
  bool interrupted = false;
  InterruptFiles() { InitializeCriticalSection(&lock); }
};

InterruptFiles& TheInterruptFiles() {
  static InterruptFiles files;
  return files;
}

// The files are opened with FILE_SHARE_DELETE, so the delete succeeds while
// the tool still holds them: they are gone when the process has ended.
BOOL WINAPI RemoveOnInterrupt(DWORD) {
  InterruptFiles& files = TheInterruptFiles();
  EnterCriticalSection(&files.lock);
  files.interrupted = true;
  for (const std::wstring& path : files.paths) {
    DeleteFileW(path.c_str());
  }
  LeaveCriticalSection(&files.lock);
  return FALSE;  // the next handler, the system's, ends the process
}

}  // namespace

int OpenInputFile(const std::string& path, std::string* error) {
  HANDLE handle = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    *error = SystemErrorText(GetLastError());
    return -1;
  }
  return AdoptPlainFile(handle, _O_RDONLY, error);
}

int CreateTempFileBeside(const std::string& path, std::string* tempPath, std::string* error) {
  for (unsigned attempt = 0; attempt < 1000; attempt++) {
    std::string candidate =
        path + ".tmp" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt);
    // Shared for deletion only, so that an interrupt can remove it while it
    // is open (RemoveOnInterrupt).
    HANDLE handle =
        CreateFileW(Wide(candidate).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE,
                    nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      *tempPath = candidate;
      return AdoptPlainFile(handle, _O_RDWR, error);
    }
    if (GetLastError() != ERROR_FILE_EXISTS) {
      *error = SystemErrorText(GetLastError());
      return -1;
    }
  }
  *error = "no free temporary name";
  return -1;
}

bool ReplaceFileWith(const std::string& from, const std::string& to, std::string* error) {
  if (!MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    *error = SystemErrorText(GetLastError());
    return false;
  }
  return true;
}

bool RemoveFile(const std::string& path) {
  return DeleteFileW(Wide(path).c_str()) != 0;
}

int OpenOutputInPlace(const std::string& path, std::string* error) {
  HANDLE handle = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    *error = SystemErrorText(GetLastError());
    return -1;
  }
  int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
  if (fd < 0) {
    *error = strerror(errno);
    CloseHandle(handle);
  }
  return fd;
}

int CreateUnnamedFileBeside(const std::string&, std::string* error) {
  error->clear();  // Windows has no unnamed files: a named one beside the output
  return -1;
}

bool NameUnnamedFile(int, const std::string&, bool* exists, std::string* error) {
  *exists = false;
  *error = "unnamed files are not offered here";
  return false;
}

bool FlushFileToDisk(int fd, std::string* error) {
  if (!FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(fd)))) {
    *error = SystemErrorText(GetLastError());
    return false;
  }
  return true;
}

bool FlushFolderOf(const std::string&, std::string*) {
  return true;  // the move itself is written through (ReplaceFileWith)
}

int64_t ReadFileBytes(int fd, uint8_t* bytes, int64_t count) {
  int64_t done = 0;
  while (done < count) {
    int64_t piece = count - done < (1 << 30) ? count - done : (1 << 30);
    int n = _read(fd, bytes + done, static_cast<unsigned>(piece));
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
    int64_t piece = count - done < (1 << 30) ? count - done : (1 << 30);
    int n = _write(fd, bytes + done, static_cast<unsigned>(piece));
    if (n <= 0) {
      return done > 0 ? done : -1;
    }
    done += n;
  }
  return done;
}

bool SeekFile(int fd, int64_t position) {
  return _lseeki64(fd, position, SEEK_SET) == position;
}

int64_t FileSize(int fd) {
  return _filelengthi64(fd);
}

bool CloseFile(int fd) {
  return _close(fd) == 0;
}

std::string LastErrorText() {
  return strerror(errno);
}

bool IsStderrTerminal() {
  return _isatty(_fileno(stderr)) != 0;
}

bool IsStandardOutput(const std::string& path) {
  BY_HANDLE_FILE_INFORMATION named;
  BY_HANDLE_FILE_INFORMATION output;
  HANDLE handle = CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return false;
  }
  bool same = GetFileInformationByHandle(handle, &named) &&
              GetFileInformationByHandle(GetStdHandle(STD_OUTPUT_HANDLE), &output) &&
              named.dwVolumeSerialNumber == output.dwVolumeSerialNumber &&
              named.nFileIndexHigh == output.nFileIndexHigh &&
              named.nFileIndexLow == output.nFileIndexLow;
  CloseHandle(handle);
  return same;
}

std::string ProgramFolder() {
  WCHAR path[MAX_PATH + 1];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) {
    return std::string();
  }
  std::string program = Utf8(path, length);
  size_t separator = program.find_last_of("\\/");
  return separator == std::string::npos ? std::string() : program.substr(0, separator);
}

void RemoveFileOnInterrupt(const std::string& path) {
  std::wstring wide = Wide(path);
  if (wide.empty()) {
    return;
  }
  InterruptFiles& files = TheInterruptFiles();
  EnterCriticalSection(&files.lock);
  if (files.interrupted) {
    DeleteFileW(wide.c_str());  // made while the handler ran: the process is ending
  } else {
    files.paths.push_back(wide);
  }
  if (!files.handlerSet) {
    // Ctrl+C, Ctrl+Break and the console's closing alike. A process started
    // in a new process group ignores Ctrl+C unless it enables it: eek keeps
    // that choice of its parent, which can still stop it with Ctrl+Break.
    files.handlerSet = SetConsoleCtrlHandler(RemoveOnInterrupt, TRUE) != 0;
  }
  LeaveCriticalSection(&files.lock);
}

void KeepFileOnInterrupt(const std::string& path) {
  std::wstring wide = Wide(path);
  InterruptFiles& files = TheInterruptFiles();
  EnterCriticalSection(&files.lock);
  for (size_t i = 0; i < files.paths.size(); ++i) {
    if (files.paths[i] == wide) {
      files.paths.erase(files.paths.begin() + static_cast<std::ptrdiff_t>(i));
      break;
    }
  }
  LeaveCriticalSection(&files.lock);
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  int count = 0;
  WCHAR** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  if (wide == nullptr) {
    arguments.assign(argv, argv + argc);
    return arguments;
  }
  for (int i = 0; i < count; ++i) {
    arguments.push_back(Utf8(wide[i], wcslen(wide[i])));
  }
  LocalFree(wide);
  return arguments;
}
