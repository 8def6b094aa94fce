// The base folder "\Ostrel Setup" and the installation folder
// "\Ostrel Setup\Tarvine64" on the installation drive: made when missing,
// verified by listing, and the installation folder emptied of its plain files.
#pragma once

#include "frame/ansi_text.h"

// Prepares both folders on the drive of the Windows directory. On success
// stores the installation folder (no trailing "\") and returns true; on
// failure the "Unable to create" box has been shown and it returns false.
bool PrepareInstallFolders(AnsiText* installFolder);

// The same on the given drive text, which may also be a folder standing in for
// a drive: the folders are the drive followed by their fixed names.
bool PrepareInstallFoldersOn(const AnsiText& drive, AnsiText* installFolder);

// The drive of the Windows directory, "C:" when it cannot be had.
AnsiText ChooseInstallDrive();

// Makes the folder path (its parent must exist) unless it is there, then
// verifies it by listing it with directories admitted: a hidden or system
// folder fails, a plain file of that name passes. A junction or symbolic link
// (any reparse point) fails too, so nothing is deleted or written where it
// leads. On failure shows
// Unable to create "<path>" ! and returns false.
bool EnsureFolder(const AnsiText& path);

// Deletes the plain files of folder one by one; a file that cannot be deleted
// (read-only) stays and the others still go. Hidden and system files and
// subfolders with their contents are left.
void ClearFolderFiles(const AnsiText& folder);
