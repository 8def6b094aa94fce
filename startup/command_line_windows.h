// The parts of the process start-up information that the frame hands on.
#pragma once

#include <windows.h>

// The command line after the program name: a name that begins with a double
// quote ends at the next double quote, any other at the first character at or
// below the space; the spaces after the name are skipped.
const WCHAR* CommandLineTail(const WCHAR* commandLine);

// wShowWindow when the start-up information asks for it, else SW_SHOWDEFAULT.
int ShowCommandOf(const STARTUPINFOA& startup);
