// An owned file descriptor of the archive tool: closed when its owner ends,
// unless handed on with Release or closed with Close, which tells whether the
// data could be committed.
#pragma once

#include <utility>

#include "tools/eek/host_platform.h"

class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.Release()) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
      Close();
      fd_ = other.Release();
    }
    return *this;
  }
  ~FileDescriptor() { Close(); }

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int Release() { return std::exchange(fd_, -1); }
  // False when the close reported a failure (the data may not be on disk).
  bool Close() {
    int fd = Release();
    return fd < 0 || CloseFile(fd);
  }

 private:
  int fd_ = -1;
};
