// Token-by-token check of packed data.
#include "tools/eek/token_check.h"

#include <algorithm>

#include "archive/decoder.h"

namespace {

void Flag(TokenCheck* check, const char* problem) {
  if (check->problem == nullptr) {
    check->problem = problem;
    check->problemOffset = check->tokenOffset;
  }
}

TokenCheck* Of(void* handle) {
  return static_cast<TokenCheck*>(handle);
}

int32_t ReadTapped(void* handle, uint8_t* bytes, int32_t count) {
  TokenCheck* check = Of(handle);
  int32_t delivered = ReadBinaryFile(check->source, bytes, count);
  FeedTokenCheck(check, bytes, delivered);
  return delivered;
}

int32_t WriteTapped(void* handle, const uint8_t* bytes, int32_t count) {
  return WriteBinaryFile(Of(handle)->source, bytes, count);
}

void SeekTapped(void* handle, int32_t position) {
  SeekBinaryFile(Of(handle)->source, position);
}

int64_t LengthOfTapped(void* handle) {
  return BinaryFileLength(Of(handle)->source);
}

// The archive stays open: it belongs to the walk, not to the tap.
void CloseTapped(void*) {}

const BinaryFileOps kTapOps = {ReadTapped, WriteTapped, SeekTapped, LengthOfTapped, CloseTapped};

}  // namespace

void BeginTokenCheck(TokenCheck* check) {
  check->consumed = 0;
  check->produced = 0;
  check->tokenOffset = 0;
  check->literalsLeft = 0;
  check->copyLength = 0;
  check->problem = nullptr;
  check->problemOffset = 0;
}

void FeedTokenCheck(TokenCheck* check, const uint8_t* bytes, int32_t count) {
  int32_t i = 0;
  while (i < count && check->problem == nullptr) {
    if (check->literalsLeft > 0) {
      int32_t take = count - i < check->literalsLeft ? count - i : check->literalsLeft;
      check->literalsLeft -= take;
      i += take;
      continue;
    }
    uint8_t byte = bytes[i];
    if (check->copyLength > 0) {
      int64_t window = std::min<int64_t>(check->produced, kHistoryWindowSize);
      if (byte == 0 || byte + check->copyLength - 1 > window) {
        Flag(check, "a copy reaches outside the history window");
      }
      check->produced += check->copyLength;
      check->copyLength = 0;
    } else {
      check->tokenOffset = check->consumed + i;
      if (byte < 0x80) {
        check->literalsLeft = byte + 1;
        check->produced += byte + 1;
      } else {
        check->copyLength = byte - 124;
      }
    }
    i++;
  }
  check->consumed += count;
}

bool EndTokenCheck(TokenCheck* check) {
  if (check->literalsLeft > 0) {
    Flag(check, "the data ends inside a literal run");
  } else if (check->copyLength > 0) {
    Flag(check, "the data ends inside a copy");
  }
  return check->problem == nullptr;
}

BinaryFile TapTokenCheck(TokenCheck* check, BinaryFile* source) {
  check->source = source;
  BinaryFile tap;
  tap.ops = &kTapOps;
  tap.handle = check;
  tap.shortRead = false;
  return tap;
}
