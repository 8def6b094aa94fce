// Installers read as archives, as 7-Zip and unzip read self-extractors: list,
// test, extract and checksum take an installer's payload (its RCDATA
// resource) in the place of an archive, read from its place in the file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "peimage/pe_image.h"
#include "peimage/resource_tree.h"
#include "tools/eek/commands.h"
#include "tools/eek/payload_check_resource.h"

// The largest installer eek installer makes carries a payload just under
// 2 GiB in a stub of at most 256 MiB.
extern const int64_t kInstallerSizeLimit;

// An installer as the archive commands see it: its headers, its resources
// with the payload's data left in the file, where the payload lies, and what
// its check record says of it.
struct InstallerPayload {
  PeImage headers;  // headers.bytes holds only the file's head
  PeResourceTree tree;
  bool found;  // a payload resource (contract/installer_contract.h)
  uint16_t language;
  int64_t offset;
  int64_t size;
  uint32_t crc;
  PayloadCheckReport check;
  int namesCodePage;  // the code page its names are read in (NamesCodePage)
};

// True when the file starts with "MZ", as executables do.
bool StartsWithMz(const std::string& path);

// Reads the installer's headers and resources and the payload once through
// its CRC-32, holding no more than a piece of it at a time. False after
// reporting a file that cannot be read or parsed; found false for an
// executable without a payload. codePage is the run's (--code-page).
bool FindInstallerPayload(const std::string& path, int codePage, InstallerPayload* payload);
// FindInstallerPayload for a command that needs the payload: an executable
// without one is reported too, and gives false.
bool ReadInstallerPayload(const std::string& path, int codePage, InstallerPayload* payload);

// Runs command on path itself when it is an archive, or on its payload when it
// is an executable ("MZ"), naming it "PATH (payload)". Returns the command's
// exit code, or 1 after reporting an executable without a payload; a payload
// that its check record does not match (which the installer refuses) is
// reported, still given to the command, and makes the exit code at least 1.
// An archive's names are read in codePage, an installer's in its own.
int RunOnArchiveOrInstaller(const std::string& path, int codePage,
                            const std::function<int(const ArchiveSource& source)>& command);
