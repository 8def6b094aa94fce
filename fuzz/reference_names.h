// Reference statements of the entry-name rules for the fuzz targets, written
// apart from the installer's own code: the trimming and the upper case of
// code page 1252 (as the installer's system mapping gives it), the set of names
// that may become files in the destination folder, and a model of how
// Windows resolves a path joined from the folder and a name.
#pragma once

#include <cstdint>
#include <string>

// Code page 1252 upper case through the C library's Unicode mapping: a byte
// becomes the upper case of its character when that has a byte of its own.
std::string ReferenceUpperCase(const std::string& text);

// Spaces trimmed at both ends (tagged layout, 2) or at the end only (fixed
// layout, 1).
std::string ReferenceTrimName(const std::string& stored, int32_t layout);

// The UTF-16 units of a code page 1252 name as far as the safe-name rule can
// tell: each byte as the unit of the same value. The rule singles out only
// ASCII characters and the superscripts 0xB2, 0xB3 and 0xB9, which code page
// 1252 maps to the same values.
std::u16string WidenCodePage1252(const char* name, int32_t length);

// True when a name may be created as a plain file in the destination folder:
// not empty; no control character (0x00-0x1F, 0x7F); none of \ / : < > " | ? *;
// no trailing dot or space (so neither "." nor ".."); not a device name, which
// Windows recognises in ASCII letters of any case, followed by an extension
// or not, and with spaces between the name and the extension.
bool ReferenceIsSafeName(const std::string& name);

// The device that a path component names, upper-cased (as "CON", "COM1"), or
// an empty text for an ordinary file name.
std::string DeviceNamedBy(const std::string& component);

// Joins folder and name as the extraction does (the folder's trailing
// backslashes removed, one backslash, the name) and resolves the result as
// Windows does when it opens a file: "/" and "\" both separate components;
// "." and ".." components move within the path; trailing dots and spaces are
// dropped from every component; a device name in any component makes the path
// that device ("\\.\CON"). The result is in ASCII upper case, as Windows
// compares paths without regard to case.
std::string ResolveJoinedPath(const std::string& folder, const std::string& name);
