// Files read or written whole: a read that takes a file's bytes at once, and
// a write whose bytes go to a new file beside the destination, which replaces
// it only once they are all written and closed.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Reads the whole plain file at path into bytes. A file of sizeLimit bytes or
// more is refused with limitText as the reason. False after reporting the
// problem (naming path).
bool ReadFileWhole(const std::string& path, int64_t sizeLimit, const std::string& limitText,
                   std::vector<uint8_t>* bytes);

// Writes size bytes at data as path. On failure, reports the problem (naming
// path) and leaves path and its folder as they were; false then.
bool WriteFileReplacing(const std::string& path, const uint8_t* data, int64_t size);

// The same for a file written in pieces: write is given the descriptor of the
// new file and its name (to read it back before it is put in place; empty
// where there is no file to read back) and returns false with the reason in
// error, which is then reported naming path.
bool WriteFileReplacingBy(
    const std::string& path,
    const std::function<bool(int fd, const std::string& writtenPath, std::string* error)>& write);
