// The platform-independent half of binary file access: the short-read mark and
// the behaviour of a file that is not open.
#include "archive/binary_file.h"

BinaryFile UnopenedBinaryFile() {
  BinaryFile file;
  file.ops = nullptr;
  file.handle = nullptr;
  file.shortRead = false;
  return file;
}

bool IsBinaryFileOpen(const BinaryFile* file) {
  return file->ops != nullptr;
}

int32_t ReadBinaryFile(BinaryFile* file, uint8_t* bytes, int32_t count) {
  if (count < 0) {
    count = 0;
  }
  int32_t delivered = 0;
  if (IsBinaryFileOpen(file) && count > 0) {
    delivered = file->ops->read(file->handle, bytes, count);
    if (delivered < 0) {
      delivered = 0;
    } else if (delivered > count) {
      delivered = count;
    }
  }
  file->shortRead = delivered < count;
  return delivered;
}

int32_t WriteBinaryFile(BinaryFile* file, const uint8_t* bytes, int32_t count) {
  file->shortRead = false;
  if (!IsBinaryFileOpen(file) || count <= 0) {
    return 0;
  }
  int32_t written = file->ops->write(file->handle, bytes, count);
  if (written < 0) {
    return 0;
  }
  return written > count ? count : written;
}

void SeekBinaryFile(BinaryFile* file, int32_t position) {
  file->shortRead = false;
  if (IsBinaryFileOpen(file)) {
    file->ops->seek(file->handle, position);
  }
}

int64_t BinaryFileLength(const BinaryFile* file) {
  if (!IsBinaryFileOpen(file)) {
    return 0;
  }
  int64_t length = file->ops->length(file->handle);
  return length < 0 ? 0 : length;
}

bool BinaryFileAtEnd(const BinaryFile* file) {
  return !IsBinaryFileOpen(file) || file->shortRead;
}

void CloseBinaryFile(BinaryFile* file) {
  if (IsBinaryFileOpen(file)) {
    file->ops->close(file->handle);
  }
  *file = UnopenedBinaryFile();
}

bool IsOpenablePath(const char* path) {
  if (path == nullptr || path[0] == '\0') {
    return false;
  }
  for (const char* c = path; *c != '\0'; ++c) {
    if (*c == '*' || *c == '?') {
      return false;
    }
  }
  return true;
}
