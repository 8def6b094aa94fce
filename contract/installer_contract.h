// What the installer and the tools around it agree on: where the installer
// unpacks, the longest path it writes, and the resources it reads its payload
// and icon from. eek judges a payload's names against the same folder and
// limit and writes the same resources, the fuzzers and tests check against
// them, and the scripts ask eek (eek installer --facts). Each fact is written
// here once.
//
// The resource names are macros as well, so that the resource scripts, read
// by the resource compiler's preprocessor (RC_INVOKED), name them from here
// too. No includes, no Windows types: any layer and any tool may include it.
#pragma once

// The payload archive: RCDATA resource number 10.
#define INSTALLER_PAYLOAD_RESOURCE 10
// The payload check record beside it: RCDATA named PAYLOADCHECK, a name and
// not a number, so that it cannot be taken for the payload.
#define INSTALLER_PAYLOAD_CHECK_RESOURCE PAYLOADCHECK
// The icon group of the progress window's class.
#define INSTALLER_ICON_GROUP OSTREL

#ifndef RC_INVOKED

#define INSTALLER_CONTRACT_TEXT(name) INSTALLER_CONTRACT_TEXT_OF(name)
#define INSTALLER_CONTRACT_TEXT_OF(name) #name

inline constexpr int kPayloadResourceId = INSTALLER_PAYLOAD_RESOURCE;
inline constexpr char kPayloadCheckResourceName[] =
    INSTALLER_CONTRACT_TEXT(INSTALLER_PAYLOAD_CHECK_RESOURCE);
inline constexpr char kIconGroupName[] = INSTALLER_CONTRACT_TEXT(INSTALLER_ICON_GROUP);

// The base folder and the installation folder, on the drive of the Windows
// directory (usually C:): both made when missing; the installation folder is
// cleared of its plain files and is the place of every file unpacked.
inline constexpr char kBaseFolderName[] = "\\Ostrel Setup";
inline constexpr char kInstallFolderName[] = "\\Ostrel Setup\\Tarvine64";

// UTF-16 units of a path that the installer's file open takes: a file whose
// path in the installation folder is longer is not written.
inline constexpr int kInstalledPathLimit = 255;

#endif
