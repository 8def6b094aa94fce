// Files written whole or not at all: the bytes go to a new file beside the
// destination, which replaces it only once they are all written and closed.
#pragma once

#include <cstdint>
#include <string>

// Writes size bytes at data as path. On failure, reports the problem (naming
// path) and leaves path and its folder as they were; false then.
bool WriteFileReplacing(const std::string& path, const uint8_t* data, int64_t size);
