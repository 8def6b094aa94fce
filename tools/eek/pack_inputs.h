// The files that eek pack puts into an archive: the inputs expanded into plain
// files, in order, each with the name it gets in the archive.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PackInput {
  std::string path;
  // The file's own name: as the host spells it (UTF-8) when collected, in the
  // target code page, as written into the archive, once checked.
  std::string storedName;
  std::string normalisedName;  // the name the extraction gives the file
  int64_t size;
};

// Expands every input (a file, or a folder of plain files taken in byte order
// of their names) and checks the names: 1 to 256 bytes, accepted by the
// extraction, no two equal once normalised, all in codePage. Reports the
// first problem, naming the culprit, and returns false.
bool CollectPackInputs(const std::vector<std::string>& inputs, int codePage,
                       std::vector<PackInput>* files);
