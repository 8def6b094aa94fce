// Writing an output under the tool's one rule (output_file.h).
#include "tools/eek/output_file.h"

#include <filesystem>
#include <random>
#include <system_error>

#include "tools/eek/host_path.h"
#include "tools/eek/host_platform.h"

namespace fs = std::filesystem;

const char kReadOnlyOutput[] = "is read-only";

namespace {

const int kMostLinks = 40;  // as the kernel's own limit on a path's links

// A name beside target that nothing holds yet, for an unnamed file's first
// name before it replaces target.
bool NameBeside(OutputFile* output, std::string* error) {
  std::random_device seed;
  std::mt19937 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = output->target + "." + std::to_string(random() % 1000000000u);
    bool exists = false;
    if (NameUnnamedFile(output->fd.get(), candidate, &exists, error)) {
      output->tempPath = candidate;
      return true;
    }
    if (!exists) {
      return false;
    }
  }
  *error = "no free name beside it";
  return false;
}

void ForgetTemp(OutputFile* output) {
  if (!output->tempPath.empty()) {
    RemoveFile(output->tempPath);
    KeepFileOnInterrupt(output->tempPath);
    output->tempPath.clear();
  }
}

// The output's folder after its new name was made: the file is in place and
// whole; a failure here means only that the name may not survive a crash.
bool FlushNewName(OutputFile* output, std::string* error) {
  if (!FlushFolderOf(output->target, error)) {
    *error = "in place, but its folder could not be flushed: " + *error;
    return false;
  }
  return true;
}

}  // namespace

OutputFile::~OutputFile() {
  if (!committed) {
    AbandonOutputFile(this);
  }
}

bool ResolveOutputPath(const std::string& path, std::string* target, std::string* error) {
  fs::path at = HostPath(path);
  std::error_code fsError;
  for (int links = 0; fs::is_symlink(fs::symlink_status(at, fsError)); ++links) {
    if (links == kMostLinks) {
      *error = "too many levels of symbolic links";
      return false;
    }
    fs::path next = fs::read_symlink(at, fsError);
    if (fsError) {
      *error = fsError.message();
      return false;
    }
    at = next.is_absolute() ? next : at.parent_path() / next;
  }
  *target = HostPathText(at);
  return true;
}

bool OpenOutputFile(const std::string& path, OutputFile* output, std::string* error) {
  AbandonOutputFile(output);
  output->path = path;
  output->committed = false;
  output->inPlace = false;
  output->unnamed = false;
  // What the path leads to, through its links as the system follows them
  // (also /dev/stdout's, whose target is no path).
  std::error_code fsError;
  fs::file_status status = fs::status(HostPath(path), fsError);
  if (fs::is_directory(status)) {
    *error = "is a folder";
    return false;
  }
  if (fs::exists(status) && !fs::is_regular_file(status)) {
    output->inPlace = true;
    output->target = path;
    output->fd = FileDescriptor(OpenOutputInPlace(path, error));
    return output->fd.valid();
  }
  if (!ResolveOutputPath(path, &output->target, error)) {
    return false;
  }
  // A read-only file is kept, as Windows keeps it from being replaced; Linux
  // would replace it by the rename, the folder being writable.
  fs::file_status existing = fs::status(HostPath(output->target), fsError);
  if (fs::is_regular_file(existing) &&
      (existing.permissions() & fs::perms::owner_write) == fs::perms::none) {
    *error = kReadOnlyOutput;
    return false;
  }
  output->fd = FileDescriptor(CreateUnnamedFileBeside(output->target, error));
  if (output->fd.valid()) {
    output->unnamed = true;
    return true;
  }
  if (!error->empty()) {
    return false;
  }
  output->fd = FileDescriptor(CreateTempFileBeside(output->target, &output->tempPath, error));
  if (!output->fd.valid()) {
    output->tempPath.clear();
    return false;
  }
  RemoveFileOnInterrupt(output->tempPath);
  return true;
}

bool CommitOutputFile(OutputFile* output, std::string* error) {
  if (output->inPlace) {
    output->committed = true;
    if (!output->fd.Close()) {
      *error = "close failed: " + LastErrorText();
      return false;
    }
    return true;
  }
  // The bytes reach the disk before the name does: a crash after the rename
  // or link then finds the whole file under it, or the old one.
  if (!FlushFileToDisk(output->fd.get(), error)) {
    *error = "flush failed: " + *error;
    AbandonOutputFile(output);
    return false;
  }
  if (output->unnamed) {
    // A new name takes the file at once; an existing one is replaced by a
    // rename from a name beside it, as a named file would be.
    bool exists = false;
    if (NameUnnamedFile(output->fd.get(), output->target, &exists, error)) {
      if (!output->fd.Close()) {
        *error = "close failed: " + LastErrorText();
        RemoveFile(output->target);
        return false;
      }
      output->committed = true;
      return FlushNewName(output, error);
    }
    if (!exists || !NameBeside(output, error)) {
      AbandonOutputFile(output);
      return false;
    }
    RemoveFileOnInterrupt(output->tempPath);
  }
  if (!output->fd.Close()) {
    *error = "close failed: " + LastErrorText();
    ForgetTemp(output);
    return false;
  }
  if (!ReplaceFileWith(output->tempPath, output->target, error)) {
    // On Windows, typically another program holding the file open.
    *error = "cannot replace the existing file (" + *error + "); it is left as it was";
    ForgetTemp(output);
    return false;
  }
  KeepFileOnInterrupt(output->tempPath);
  output->tempPath.clear();
  output->committed = true;
  return FlushNewName(output, error);
}

void AbandonOutputFile(OutputFile* output) {
  output->fd.Close();
  ForgetTemp(output);
  output->committed = true;  // nothing is left to do for it
}
