// The new files the archive tool makes for itself: the temporary archive an
// installer's payload is packed into, and the new file beside an output that
// takes the output's name once whole (output_file.h). Each is made beside the
// file it is for, on its disk: without a name where the system offers that, so
// that even a killed tool leaves nothing behind; else under a name beside it,
// which an interrupt removes while the file is open and which goes when the
// record ends.
#pragma once

#include <string>

#include "tools/eek/file_descriptor.h"

struct TempFile {
  FileDescriptor fd;  // open for writing and reading
  std::string name;   // the name it still has, removed on an interrupt; empty when none
  std::string shown;  // as messages name it: its first name, or "BESIDE (unnamed)"
  bool unnamed = false;

  TempFile() = default;
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  // Closes the file and removes the name it still has.
  ~TempFile();
};

// Whether the file will take a name of its own (an output) or is only read
// back by the tool while it is open (a packed payload), whose named file then
// loses its name at once where the system lets an open file go.
enum class TempFileUse { kNamedLater, kReadOnlyByTool };

// Makes the file beside besidePath; false with the reason in error.
bool CreateTempFile(const std::string& besidePath, TempFileUse use, TempFile* file,
                    std::string* error);
// Gives the file the name that an interrupt removes while it is open.
void SetTempName(TempFile* file, const std::string& name);
// The file keeps its name: it has taken its place (or was removed by other means).
void KeepTempName(TempFile* file);
// Closes the file and removes the name it still has; the record may be used again.
void DropTempFile(TempFile* file);
