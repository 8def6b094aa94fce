// The forwarding operations of a checked output.
#include "archive/checked_output.h"

namespace {

CheckedOutput* CheckedOf(void* handle) {
  return static_cast<CheckedOutput*>(handle);
}

int32_t ReadChecked(void* handle, uint8_t* bytes, int32_t count) {
  return ReadBinaryFile(&CheckedOf(handle)->file, bytes, count);
}

int32_t WriteChecked(void* handle, const uint8_t* bytes, int32_t count) {
  CheckedOutput* checked = CheckedOf(handle);
  int32_t written = WriteBinaryFile(&checked->file, bytes, count);
  if (written < count) {
    checked->shortWrite = true;
  }
  return written;
}

void SeekChecked(void* handle, int32_t position) {
  SeekBinaryFile(&CheckedOf(handle)->file, position);
}

int64_t CheckedLength(void* handle) {
  return BinaryFileLength(&CheckedOf(handle)->file);
}

void CloseChecked(void* handle) {
  CloseBinaryFile(&CheckedOf(handle)->file);
}

const BinaryFileOps kCheckedOps = {ReadChecked, WriteChecked, SeekChecked, CheckedLength,
                                   CloseChecked};

}  // namespace

BinaryFile CheckOutput(CheckedOutput* checked, BinaryFile file) {
  checked->file = file;
  checked->shortWrite = false;
  // An output that could not be opened stays unopened: the writer drops its
  // bytes without any write being tried.
  if (!IsBinaryFileOpen(&file)) {
    return UnopenedBinaryFile();
  }
  BinaryFile wrapped = UnopenedBinaryFile();
  wrapped.ops = &kCheckedOps;
  wrapped.handle = checked;
  return wrapped;
}
