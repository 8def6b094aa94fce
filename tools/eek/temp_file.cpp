// The tool's temporary files (temp_file.h).
#include "tools/eek/temp_file.h"

#include "tools/eek/host_platform.h"

TempFile::~TempFile() {
  DropTempFile(this);
}

bool CreateTempFile(const std::string& besidePath, TempFileUse use, TempFile* file,
                    std::string* error) {
  DropTempFile(file);
  file->fd = FileDescriptor(CreateUnnamedFileBeside(besidePath, error));
  if (file->fd.valid()) {
    file->unnamed = true;
    file->shown = besidePath + " (unnamed)";
    return true;
  }
  if (!error->empty()) {
    return false;  // the system offers unnamed files and failed to make one
  }
  std::string name;
  file->fd = FileDescriptor(CreateTempFileBeside(besidePath, &name, error));
  if (!file->fd.valid()) {
    return false;
  }
  file->shown = name;
  if (use == TempFileUse::kReadOnlyByTool && RemoveFile(name)) {
    return true;
  }
  SetTempName(file, name);
  return true;
}

void SetTempName(TempFile* file, const std::string& name) {
  file->name = name;
  RemoveFileOnInterrupt(name);
}

void KeepTempName(TempFile* file) {
  if (!file->name.empty()) {
    KeepFileOnInterrupt(file->name);
    file->name.clear();
  }
}

void DropTempFile(TempFile* file) {
  file->fd.Close();
  if (!file->name.empty()) {
    RemoveFile(file->name);
    KeepTempName(file);
  }
  file->unnamed = false;
}
