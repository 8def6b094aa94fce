// What the installer and the tools around it agree on: where the installer
// unpacks, the longest path it writes, the resources it reads its payload
// and icon from, and how large it may be in memory and still start. eek judges a payload's names
// against the same folder and limit and writes the same resources, the fuzzers and tests check
// against them, and the scripts ask eek (eek installer --facts). Each fact is written here once.
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

// Archives stay below 2 GiB: every position and size in one is a signed
// 32-bit number. The resources that carry them, and the resource section they
// are written into, are held to the same limit.
inline constexpr long long kArchiveSizeLimit = 1LL << 31;

// The largest installer image (SizeOfImage: headers, sections and the
// resource section with the payload, all mapped before the program runs)
// measured to start and install, for each stub architecture: PE32 (the
// shipping stub) and PE32+. A larger image is never run: CreateProcess fails,
// or the new process dies before the installer's code when the system's own
// DLLs no longer fit beside it. Measured under Wine 8 with incompressible
// payloads and the shipped stubs (scripts/find-payload-ceiling.sh), each
// confirmed by a whole run. The PE32 value is the lowest of the 32-bit Wines
// measured: under qemu's i386 emulation an image of 962 MiB installed and one
// of 1,153 MiB did not start, where 32-bit code running natively installed
// one of 1,909.1 MiB; an installer must start on every machine it meets, and
// Windows lays out its DLLs by rules of its own. The PE32+ value is the
// largest image tried: the largest payload eek accepts.
inline constexpr unsigned kPe32ImageCeiling = 1008730112;      // 962 MiB
inline constexpr unsigned kPe32PlusImageCeiling = 2146525184;  // 2,047.1 MiB
// No PE32 image can start past the user address space of a 32-bit process:
// 2 GiB less the 64 KiB kept unmapped at its bottom and at its top.
inline constexpr unsigned kPe32AddressSpaceLimit = 0x80000000u - 2 * 0x10000u;

#endif
