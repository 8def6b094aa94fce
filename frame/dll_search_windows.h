// Where the installer's process finds the DLLs it loads after its start.
//
// An installer is typically started from a downloads folder, where anybody may
// have left a DLL named like a system one. Loads by plain name (those the
// system's own libraries make late, when a window or a COM object first needs
// them) would search the program's folder first; these routines keep every
// such load in the system folder.
#pragma once

#include <windows.h>

// Limits the search of later plain-name DLL loads to the system folder
// (SetDefaultDllDirectories, looked up at run time). Where the system lacks
// that call, takes at least the current directory out of the search
// (SetDllDirectoryW with an empty text). Call it first in the process entry.
void RestrictDllSearch();

// Loads a DLL of the system folder by its full path there, so that no search
// is made; null when it cannot be loaded. name is a plain file name.
HMODULE LoadSystemLibrary(const WCHAR* name);
