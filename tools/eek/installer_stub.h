// The installer stub eek installer writes a payload into: where --stub's
// value leads (the shipped stubs, or a path), the stub read and judged, and
// how an executable's format is described.
#pragma once

#include <cstdint>
#include <string>

#include "peimage/pe_image.h"
#include "peimage/resource_tree.h"

extern const char kStubFileName[];
// Stubs are small programs; a file this large or larger is not one.
inline constexpr int64_t kStubSizeLimit = int64_t{256} << 20;

// Where a stub is: for an empty choice the shipped 32-bit stub eek takes by
// default, for "win32" and "win64" the shipped stubs (beside eek in a build
// tree, win64 in a folder of its own; in share/eek for an installed eek), for
// anything else the path given. found is false for a shipped stub that is
// not there, path then where it was looked for (empty when eek cannot tell
// its own folder); a path given is taken as it is, and read by LoadStub.
struct StubLocation {
  std::string path;
  bool shipped;
  bool found;
};
StubLocation LocateStub(const std::string& choice);

// Reads the stub, which must be an x86 Windows GUI program that carries the
// installer's icon group; false after reporting.
bool LoadStub(const std::string& path, PeImage* image, PeResourceTree* tree);

// "PE32 i386, Windows GUI subsystem" and the like.
std::string FormatText(const PeImage& image);
bool HasIconGroup(const PeResourceTree& tree);
