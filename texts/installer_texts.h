// Every text of the installer that a user reads or finds, but for the folder
// names (contract/installer_contract.h) and the frame of the "Unable to" box
// (ShowUnableMessage): box captions and messages, window captions, the
// progress window's class, file names. One home, so that a wording is
// changed, checked and translated in one place; any layer of the installer may include it (it
// includes nothing).
#pragma once

// The platform refusal, shown before anything else is set up (no caption: the
// system shows its default one).
inline constexpr char kPlatformRefusalText[] = "Win98 No Support";

// Caption of the installer's error boxes (folders, payload, files).
inline constexpr char kSetupCaption[] = "Ostrel Tarvine64 Setup";
// Actions of the "Unable to <action> "<path>" !" boxes (ShowUnableMessage).
inline constexpr char kCreateAction[] = "create";
inline constexpr char kWriteAction[] = "write";
inline constexpr char kResourceNotFoundText[] = "Resource Not Found!";
inline constexpr char kPayloadDamagedText[] = "Payload Damaged!";
// The box for a payload whose names are in a code page the system lacks:
// "Code Page <number> Not Installed!".
inline constexpr char kCodePageMissingStart[] = "Code Page ";
inline constexpr char kCodePageMissingEnd[] = " Not Installed!";
// What the "Unable to write" box names for an entry whose name has no
// Unicode form: "entry <number>", counted from 1 in the payload's order.
inline constexpr char kRefusedEntryStart[] = "entry ";

// The final message, before setup.exe is started.
inline constexpr char kFinalCaption[] = "Ostrel Tarvine64 Setup Message";
inline constexpr char kFinalText[] =
    "If the program setup screen does not come up, use the new desktop "
    "icon called 'Ostrel Tarvine64 Setup'";

// The progress window: its class, its caption at creation and during the
// extraction, and the box shown when its thread cannot be started.
inline constexpr char kProgressClassName[] = "TarvineSelfExtractProgressDialog";
inline constexpr char kProgressInitialCaption[] = "Extracting Files";
inline constexpr char kExtractingCaption[] = "Extracting Installation Files...";
inline constexpr char kThreadFailureCaption[] = "Ostrel Setup";
inline constexpr char kThreadFailureText[] = "Could Not Create Progress Thread";

// The files the installer writes or starts in the installation folder
// (contract/installer_contract.h), in the current directory or, for the
// temporary archive, in the user's temporary folder.
inline constexpr char kTemporaryArchiveName[] = "Bulktemp.eek";
// The unpacked setup program, joined to the installation folder.
inline constexpr char kSetupProgramName[] = "\\setup.exe";

// Name of the desktop shortcut, without ".lnk"; also its description.
inline constexpr char kShortcutName[] = "Ostrel Tarvine64 Setup";
