// Names and texts of the installer that more than one of its steps uses.
#pragma once

// Caption of the installer's error boxes (folders, payload).
inline constexpr char kSetupCaption[] = "Ostrel Tarvine64 Setup";

// Name of the desktop shortcut, without ".lnk"; also its description.
inline constexpr char kShortcutName[] = "Ostrel Tarvine64 Setup";

// The unpacked setup program, joined to the installation folder.
inline constexpr char kSetupProgramName[] = "\\setup.exe";
