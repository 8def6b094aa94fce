// The installation drive, taken from the text of the Windows directory.
#pragma once

#include "frame/ansi_text.h"

// Everything up to and including the first ":" of windowsDirectory when that
// colon is not its first character ("D:\WINDOWS" gives "D:"); "C:" when there
// is no colon or it comes first (a network path such as "\\server\share").
AnsiText DriveOfWindowsDirectory(const AnsiText& windowsDirectory);
