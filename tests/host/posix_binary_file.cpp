// Binary files opened with POSIX calls, for the host tests.
#include "tests/host/posix_binary_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace {

int DescriptorOf(void* handle) {
  return static_cast<int>(reinterpret_cast<intptr_t>(handle));
}

int32_t ReadDescriptor(void* handle, uint8_t* bytes, int32_t count) {
  int32_t done = 0;
  while (done < count) {
    ssize_t got = read(DescriptorOf(handle), bytes + done, static_cast<size_t>(count - done));
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0) {
      break;
    }
    done += static_cast<int32_t>(got);
  }
  return done;
}

int32_t WriteDescriptor(void* handle, const uint8_t* bytes, int32_t count) {
  int32_t done = 0;
  while (done < count) {
    ssize_t put = write(DescriptorOf(handle), bytes + done, static_cast<size_t>(count - done));
    if (put < 0 && errno == EINTR) {
      continue;
    }
    if (put <= 0) {
      break;
    }
    done += static_cast<int32_t>(put);
  }
  return done;
}

void SeekDescriptor(void* handle, int32_t position) {
  lseek(DescriptorOf(handle), static_cast<off_t>(position), SEEK_SET);
}

int64_t DescriptorLength(void* handle) {
  struct stat status;
  if (fstat(DescriptorOf(handle), &status) != 0) {
    return 0;
  }
  return static_cast<int64_t>(status.st_size);
}

void CloseDescriptor(void* handle) {
  close(DescriptorOf(handle));
}

const BinaryFileOps kDescriptorOps = {ReadDescriptor, WriteDescriptor, SeekDescriptor,
                                      DescriptorLength, CloseDescriptor};

}  // namespace

bool OpenPosixBinaryFile(BinaryFile* file, const char* path) {
  *file = UnopenedBinaryFile();
  if (!IsOpenablePath(path)) {
    return false;
  }
  int descriptor = open(path, O_RDWR | O_CREAT, 0666);
  if (descriptor < 0) {
    descriptor = open(path, O_RDONLY);
  }
  if (descriptor < 0) {
    return false;
  }
  // A folder opens read-only here but not on Windows; treat it as not openable.
  struct stat status;
  if (fstat(descriptor, &status) != 0 || S_ISDIR(status.st_mode)) {
    close(descriptor);
    return false;
  }
  file->ops = &kDescriptorOps;
  file->handle = reinterpret_cast<void*>(static_cast<intptr_t>(descriptor));
  return true;
}
