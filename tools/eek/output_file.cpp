// Writing an output under the tool's one rule (output_file.h).
#include "tools/eek/output_file.h"

#include <filesystem>
#include <random>
#include <system_error>

#include "tools/eek/host_path.h"
#include "tools/eek/host_platform.h"
#include "tools/eek/messages.h"

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
    if (NameUnnamedFile(output->file.fd.get(), candidate, &exists, error)) {
      SetTempName(&output->file, candidate);
      return true;
    }
    if (!exists) {
      return false;
    }
  }
  *error = "no free name beside it";
  return false;
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
  output->inPlace = false;
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
    output->file.fd = FileDescriptor(OpenOutputInPlace(path, error));
    return output->file.fd.valid();
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
  return CreateTempFile(output->target, TempFileUse::kNamedLater, &output->file, error);
}

bool CommitOutputFile(OutputFile* output, std::string* error) {
  TempFile& file = output->file;
  if (output->inPlace) {
    if (!file.fd.Close()) {
      *error = "close failed: " + LastErrorText();
      return false;
    }
    return true;
  }
  // The bytes reach the disk before the name does: a crash after the rename
  // or link then finds the whole file under it, or the old one.
  if (!FlushFileToDisk(file.fd.get(), error)) {
    *error = "flush failed: " + *error;
    AbandonOutputFile(output);
    return false;
  }
  if (file.unnamed) {
    // A new name takes the file at once; an existing one is replaced by a
    // rename from a name beside it, as a named file would be.
    bool exists = false;
    if (NameUnnamedFile(file.fd.get(), output->target, &exists, error)) {
      if (!file.fd.Close()) {
        *error = "close failed: " + LastErrorText();
        RemoveFile(output->target);
        return false;
      }
      return FlushNewName(output, error);
    }
    if (!exists || !NameBeside(output, error)) {
      AbandonOutputFile(output);
      return false;
    }
  }
  if (!file.fd.Close()) {
    *error = "close failed: " + LastErrorText();
    DropTempFile(&file);
    return false;
  }
  if (!ReplaceFileWith(file.name, output->target, error)) {
    // On Windows, typically another program holding the file open.
    *error = "cannot replace the existing file (" + *error + "); it is left as it was";
    DropTempFile(&file);
    return false;
  }
  KeepTempName(&file);
  return FlushNewName(output, error);
}

void AbandonOutputFile(OutputFile* output) {
  DropTempFile(&output->file);
}

bool IsOutputOneOf(const std::string& outputPath, const std::string& inputPath,
                   const std::string& what) {
  std::error_code fsError;
  if (!fs::equivalent(HostPath(outputPath), HostPath(inputPath), fsError)) {
    return false;
  }
  ReportProblem(outputPath + ": is " + what + " (" + inputPath + "); nothing was written");
  return true;
}
