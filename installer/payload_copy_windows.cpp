#include "installer/payload_copy_windows.h"

#include <cstring>

namespace {

enum : int32_t {
  kFileNameLimit = 259,  // characters of the name kept (260-byte buffer)
};

}  // namespace

bool CopyPayloadToFile(HINSTANCE module, const AnsiText& archiveName) {
  HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(kPayloadResourceId),
                                 MAKEINTRESOURCEA(10) /* RT_RCDATA */);
  if (resource == nullptr) {
    return false;
  }
  // The loaded resource serves as the address of its bytes.
  const void* data = LoadResource(module, resource);
  DWORD size = SizeofResource(module, resource);

  char fileName[kFileNameLimit + 1];
  int32_t length = archiveName.length < kFileNameLimit ? archiveName.length : kFileNameLimit;
  std::memcpy(fileName, archiveName.chars, static_cast<size_t>(length));
  fileName[length] = '\0';
  HANDLE file = CreateFileA(fileName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return true;
  }
  DWORD written = 0;
  WriteFile(file, data, size, &written, nullptr);
  CloseHandle(file);
  return true;
}
