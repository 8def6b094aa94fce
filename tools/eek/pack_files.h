// Packing the collected input files into an archive, as eek pack and eek
// installer both do.
#pragma once

#include <cstdint>
#include <vector>

#include "archive/binary_file.h"
#include "tools/eek/pack_inputs.h"

// Compresses every file into archive (an open, empty file), drawing a progress
// bar on stderr for large inputs. Returns false after reporting the first
// problem: a file of 2 GiB or more, one that cannot be read or changes while
// it is packed, an entry the archive cannot take. totalSize receives the bytes
// packed, archiveSize the archive's length.
bool PackFiles(const std::vector<PackInput>& files, BinaryFile* archive, int64_t* totalSize,
               int64_t* archiveSize);
