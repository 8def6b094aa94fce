// The one way the archive tool writes a file it was asked to write (pack's
// archive, an installer, an extracted entry, a check record):
// - an existing output that is not a plain file (a device, a pipe) is written
//   in place, as tar -cf and cp do, and a full device gives the write error;
// - a symbolic link stays, and its target is written as a plain file is;
// - a plain file, or a new name, is written whole beside it and renamed into
//   place only when complete, so that a failure leaves what was there. Where
//   the system offers files without a name (Linux), the new file has none
//   until it is whole, so that even a killed tool leaves nothing behind;
//   elsewhere a named file beside the output is removed on failure and on an
//   interrupt;
// - a new file is flushed to the disk before it takes the output's name, and
//   on Linux its folder after, so that after a crash or a power cut the name
//   holds the old file or the whole new one, never an empty or partial one.
#pragma once

#include <string>

#include "tools/eek/temp_file.h"

struct OutputFile {
  // The file written: the new file beside target (temp_file.h), or the device
  // or pipe written in place, which has no name of its own to remove. Whatever
  // is left of it when the record ends (neither committed nor abandoned) goes.
  TempFile file;
  std::string path;      // the output as named
  std::string target;    // the file written: path, or the end of its links
  bool inPlace = false;  // a device or pipe written as it is

  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
};

// Where path leads: the end of its symbolic links (path itself when it is
// none). False with the reason in error for a loop of links.
bool ResolveOutputPath(const std::string& path, std::string* target, std::string* error);

// Opens path for writing under the rule above; false with the reason in error
// (a folder, a read-only file, a file that cannot be created).
bool OpenOutputFile(const std::string& path, OutputFile* output, std::string* error);
// The error of OpenOutputFile for a read-only file, which is kept as it is.
extern const char kReadOnlyOutput[];
// Closes the output and, unless it was written in place, flushes the new file
// to the disk, puts it in place and flushes its folder (output_file.cpp);
// false with the reason in error, the old file then left as it was unless the
// error says the new one is in place and only its folder's flush failed.
bool CommitOutputFile(OutputFile* output, std::string* error);
// Drops the output: a new file beside it is closed and removed.
void AbandonOutputFile(OutputFile* output);

// A problem when the output is the same file as one of the command's inputs
// (by device and inode, or the Windows file index, also through a link): it is
// reported, naming the input as what, and nothing may be written.
bool IsOutputOneOf(const std::string& outputPath, const std::string& inputPath,
                   const std::string& what);
