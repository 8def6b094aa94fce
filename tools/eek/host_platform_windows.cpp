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

WCHAR interruptPath[MAX_PATH + 1];

BOOL WINAPI RemoveOnInterrupt(DWORD) {
  if (interruptPath[0] != 0) {
    DeleteFileW(interruptPath);
  }
  return FALSE;
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
    HANDLE handle = CreateFileW(Wide(candidate).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
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
  if (!MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING)) {
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
  interruptPath[0] = 0;
  std::wstring wide = Wide(path);
  if (wide.empty() || wide.size() > MAX_PATH) {
    SetConsoleCtrlHandler(RemoveOnInterrupt, FALSE);
    return;
  }
  std::memcpy(interruptPath + 1, wide.c_str() + 1, wide.size() * sizeof(WCHAR));
  interruptPath[0] = wide[0];
  SetConsoleCtrlHandler(RemoveOnInterrupt, TRUE);
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
