// Buffered BinaryFile operations over a descriptor.
#include "tools/eek/buffered_file.h"

#include <algorithm>
#include <cstring>

#include "tools/eek/host_platform.h"

namespace {

BufferedFile* Of(void* handle) {
  return static_cast<BufferedFile*>(handle);
}

void Fail(BufferedFile* file, const char* what) {
  if (!file->failed) {
    file->failed = true;
    file->error = std::string(what) + ": " + LastErrorText();
  }
}

bool FlushPending(BufferedFile* file) {
  if (file->bufferFill == 0 || file->fd < 0) {
    file->bufferPosition += file->bufferFill;
    file->bufferFill = 0;
    return true;
  }
  int64_t written = WriteFileBytes(file->fd, file->buffer.data(), file->bufferFill);
  if (written != file->bufferFill) {
    Fail(file, "write failed");
  }
  file->bufferPosition += file->bufferFill;
  file->bufferFill = 0;
  return !file->failed;
}

// Hands the bytes just read at position on to seeRead, from where it stands.
void SeeRead(BufferedFile* file, int64_t position, const uint8_t* bytes, int64_t count) {
  if (file->seeRead && position <= file->seenUpTo && position + count > file->seenUpTo) {
    int64_t skip = file->seenUpTo - position;
    file->seeRead(bytes + skip, static_cast<size_t>(count - skip));
    file->seenUpTo = position + count;
  }
}

int32_t ReadBuffered(void* handle, uint8_t* bytes, int32_t count) {
  BufferedFile* file = Of(handle);
  int32_t done = 0;
  while (done < count) {
    if (file->cursor == file->bufferFill) {
      file->bufferPosition += file->bufferFill;
      file->bufferFill = 0;
      file->cursor = 0;
      // A request as large as the buffer goes straight to the caller's bytes.
      bool direct = count - done >= kHostFileBufferSize;
      uint8_t* target = direct ? bytes + done : file->buffer.data();
      int64_t wanted = direct ? count - done : kHostFileBufferSize;
      wanted = std::min(wanted, std::max<int64_t>(file->length - file->bufferPosition, 0));
      if (wanted == 0) {
        break;
      }
      int64_t got = ReadFileBytes(file->fd, target, wanted);
      if (got < 0) {
        Fail(file, "read failed");
      }
      if (got <= 0) {
        break;
      }
      SeeRead(file, file->bufferPosition, target, got);
      if (direct) {
        file->bufferPosition += got;
        done += static_cast<int32_t>(got);
        continue;
      }
      file->bufferFill = static_cast<int32_t>(got);
    }
    int32_t take = std::min(count - done, file->bufferFill - file->cursor);
    std::memcpy(bytes + done, file->buffer.data() + file->cursor, static_cast<size_t>(take));
    file->cursor += take;
    done += take;
  }
  return done;
}

int32_t WriteBuffered(void* handle, const uint8_t* bytes, int32_t count) {
  BufferedFile* file = Of(handle);
  file->bytesWritten += count;
  if (file->fd < 0) {
    return count;
  }
  if (file->bufferFill + count > kHostFileBufferSize) {
    FlushPending(file);
  }
  if (count >= kHostFileBufferSize) {
    int64_t written = WriteFileBytes(file->fd, bytes, count);
    if (written != count) {
      Fail(file, "write failed");
    }
    file->bufferPosition += std::max<int64_t>(written, 0);
    return written < 0 ? 0 : static_cast<int32_t>(written);
  }
  std::memcpy(file->buffer.data() + file->bufferFill, bytes, static_cast<size_t>(count));
  file->bufferFill += count;
  return count;
}

void SeekBuffered(void* handle, int32_t position) {
  BufferedFile* file = Of(handle);
  if (file->writing) {
    FlushPending(file);
  } else if (position >= file->bufferPosition &&
             position <= file->bufferPosition + file->bufferFill) {
    // Within the bytes held: the walk's seek to where it already stands costs nothing.
    file->cursor = static_cast<int32_t>(position - file->bufferPosition);
    return;
  }
  file->bufferFill = 0;
  file->cursor = 0;
  file->bufferPosition = position;
  if (file->fd >= 0 && !SeekFile(file->fd, file->base + position)) {
    Fail(file, "seek failed");
  }
}

int64_t LengthOfBuffered(void* handle) {
  BufferedFile* file = Of(handle);
  if (!file->writing) {
    return file->length;
  }
  int64_t onDisk = file->fd >= 0 ? FileSize(file->fd) : 0;
  return std::max(onDisk, file->bufferPosition + file->bufferFill);
}

void CloseBuffered(void* handle) {
  BufferedFile* file = Of(handle);
  if (file->writing) {
    FlushPending(file);
  }
  if (file->fd >= 0 && !file->keepOpen && !CloseFile(file->fd)) {
    Fail(file, "close failed");
  }
  file->fd = -1;
  file->closed = true;
}

const BinaryFileOps kBufferedOps = {ReadBuffered, WriteBuffered, SeekBuffered, LengthOfBuffered,
                                    CloseBuffered};

void Attach(BufferedFile* buffered, int fd, bool writing, BinaryFile* file, int64_t base = 0,
            int64_t length = -1) {
  buffered->fd = fd;
  // A record reused for many files keeps its buffer.
  if (fd >= 0 && buffered->buffer.size() < static_cast<size_t>(kHostFileBufferSize)) {
    buffered->buffer.resize(kHostFileBufferSize);
  }
  buffered->bufferPosition = 0;
  buffered->bufferFill = 0;
  buffered->cursor = 0;
  buffered->base = base;
  buffered->length = writing || fd < 0 ? 0 : std::max<int64_t>(FileSize(fd) - base, 0);
  if (length >= 0) {
    buffered->length = std::min(buffered->length, length);
  }
  buffered->bytesWritten = 0;
  buffered->seenUpTo = 0;
  buffered->writing = writing;
  buffered->keepOpen = false;
  buffered->closed = false;
  buffered->failed = false;
  buffered->error.clear();
  file->ops = &kBufferedOps;
  file->handle = buffered;
  file->shortRead = false;
  if (base != 0 && !SeekFile(fd, base)) {
    Fail(buffered, "seek failed");
  }
}

}  // namespace

void AttachBufferedReader(BufferedFile* buffered, int fd, BinaryFile* file, int64_t base,
                          int64_t length) {
  Attach(buffered, fd, false, file, base, length);
}

void AttachBufferedWriter(BufferedFile* buffered, int fd, BinaryFile* file, bool keepOpen) {
  Attach(buffered, fd, true, file);
  buffered->keepOpen = keepOpen;
}
