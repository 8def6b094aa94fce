// The few file-system calls of the archive tool that differ between POSIX and
// Windows. Files are plain descriptors; every failure leaves a readable reason
// in the error text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Opens an existing plain file for reading; refuses folders, devices and pipes
// without blocking on them. Returns the descriptor or -1.
int OpenInputFile(const std::string& path, std::string* error);

// Creates a new, empty file next to path (same folder) under a unique name and
// returns its descriptor, open for writing and reading (a written file is read
// back before it takes its name), or -1; tempPath receives the name.
int CreateTempFileBeside(const std::string& path, std::string* tempPath, std::string* error);

// Moves from onto to, replacing an existing file; on Windows the move is
// written through to the disk before the call returns.
bool ReplaceFileWith(const std::string& from, const std::string& to, std::string* error);

// Writes the file's data and length through to the disk (fsync,
// FlushFileBuffers), so that a name it takes afterwards never leads to an
// empty or partial file after a crash or a power cut; false with the reason.
bool FlushFileToDisk(int fd, std::string* error);
// Writes the folder that holds path through to the disk after a name was made
// or replaced in it (Linux: fsync of the folder), so that the name survives a
// crash too. True where the system has nothing to flush (Windows writes the
// move through itself) or the file system does not flush folders; false with
// the reason when the flush failed.
bool FlushFolderOf(const std::string& path, std::string* error);

// Removes the file, by the same kind of path as the calls above create it.
bool RemoveFile(const std::string& path);

// Opens an existing file that is not a plain file (a device, a pipe) for
// writing in place, as tar -cf and cp do; returns the descriptor or -1.
int OpenOutputInPlace(const std::string& path, std::string* error);

// Where the system offers it, creates a new file without a name in the folder
// of path and returns its descriptor, open for writing and reading; -1 with an
// empty error where it does not (the caller then takes a named file), with a
// reason where it failed.
int CreateUnnamedFileBeside(const std::string& path, std::string* error);
// Gives the unnamed file the name path, which must not exist; false with
// exists set when it does, else with the reason in error.
bool NameUnnamedFile(int fd, const std::string& path, bool* exists, std::string* error);

// Reads and writes transfer at most count bytes and return how many, or -1.
int64_t ReadFileBytes(int fd, uint8_t* bytes, int64_t count);
int64_t WriteFileBytes(int fd, const uint8_t* bytes, int64_t count);
bool SeekFile(int fd, int64_t position);
int64_t FileSize(int fd);
// Closes the descriptor; false when the data could not be committed.
bool CloseFile(int fd);

// The reason for the most recent failed call, as the platform words it.
std::string LastErrorText();

bool IsStderrTerminal();

// True when path is the tool's standard output (eek pack /dev/stdout ...), a
// pipe or device included: the commands then print no summary line into
// their own output.
bool IsStandardOutput(const std::string& path);

// The folder that holds the running program, or an empty text when the
// platform cannot tell.
std::string ProgramFolder();

// While a path is registered, an interrupt (Ctrl+C, a termination request)
// removes that file before the tool ends; every temporary file that is open
// at once is registered. KeepFileOnInterrupt drops a path from the list (the
// file was removed or has taken its final name).
void RemoveFileOnInterrupt(const std::string& path);
void KeepFileOnInterrupt(const std::string& path);

// The command line as UTF-8 texts, the program's name first: argv itself on
// POSIX, the wide command line on Windows (argv there is in the ANSI code page).
std::vector<std::string> ProgramArguments(int argc, char** argv);
