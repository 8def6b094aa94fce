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
// returns its descriptor, or -1; tempPath receives the name.
int CreateTempFileBeside(const std::string& path, std::string* tempPath, std::string* error);

// Moves from onto to, replacing an existing file.
bool ReplaceFileWith(const std::string& from, const std::string& to, std::string* error);

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

// The folder that holds the running program, or an empty text when the
// platform cannot tell.
std::string ProgramFolder();

// While a path is registered, an interrupt (Ctrl+C, a termination request)
// removes that file before the tool ends. An empty path clears it.
void RemoveFileOnInterrupt(const std::string& path);

// The command line as UTF-8 texts, the program's name first: argv itself on
// POSIX, the wide command line on Windows (argv there is in the ANSI code page).
std::vector<std::string> ProgramArguments(int argc, char** argv);
