// The copy of the payload resource (RT_RCDATA, identifier 10) to the temporary
// archive file, byte for byte, straight from the loaded resource.
#pragma once

#include <windows.h>

#include "frame/ansi_text.h"

enum : int32_t {
  kPayloadResourceId = 10,
};

// Writes the payload resource of module into the file archiveName (made or
// emptied) with one write. False when module has no payload; the file is then
// not touched. A file that cannot be made or written is not reported: the
// extraction that follows finds no archive or a short one.
bool CopyPayloadToFile(HINSTANCE module, const AnsiText& archiveName);
