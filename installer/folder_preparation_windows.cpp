// PrepareInstallFolders, ChooseInstallDrive, EnsureFolder and ClearFolderFiles
// on the frame's file-system services.
#include <windows.h>

#include <cstring>

#include "contract/installer_contract.h"
#include "frame/file_system.h"
#include "frame/guarded_call_windows.h"
#include "frame/message_box.h"
#include "frame/system_calls_windows.h"
#include "frame/text_conversion_windows.h"
#include "installer/install_drive.h"
#include "installer/install_folders.h"
#include "texts/installer_texts.h"

namespace {

AnsiText JoinText(const AnsiText& head, const char* tail) {
  AnsiText joined = head;
  AppendText(&joined, tail);
  return joined;
}

// True for a junction, a symbolic link or another reparse point, and for a
// path whose attributes cannot be read. Such a folder leads elsewhere: the
// clearing would delete, and the extraction write, files outside it.
bool LeadsElsewhere(const AnsiText& path) {
  WideText wide = ToWide(path);
  TruncateWide(&wide, kDirectoryPathLimit);
  GuardedOutcome<DWORD> attributes = GuardedCall([&] { return GetFileAttributesW(wide.units); });
  return attributes.value == INVALID_FILE_ATTRIBUTES ||
         (attributes.value & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

}  // namespace

bool PrepareInstallFolders(AnsiText* installFolder) {
  return PrepareInstallFoldersOn(ChooseInstallDrive(), installFolder);
}

bool PrepareInstallFoldersOn(const AnsiText& drive, AnsiText* installFolder) {
  if (!EnsureFolder(JoinText(drive, kBaseFolderName))) {
    return false;
  }
  // Built from the drive and its own name, not by extending the base folder.
  AnsiText folder = JoinText(drive, kInstallFolderName);
  if (!EnsureFolder(folder)) {
    return false;
  }
  ClearFolderFiles(folder);
  *installFolder = folder;
  return true;
}

AnsiText ChooseInstallDrive() {
  char buffer[MAX_PATH];
  std::memset(buffer, 0, sizeof(buffer));
  if (GetWindowsDirectoryA(buffer, MAX_PATH) == 0) {
    return TextFrom("C:");
  }
  // A directory too long for the buffer leaves it empty, which gives "C:" too.
  return DriveOfWindowsDirectory(
      TextFromChars(buffer, static_cast<int32_t>(strnlen(buffer, MAX_PATH))));
}

bool EnsureFolder(const AnsiText& path) {
  MakeDirectory(path);  // an existing folder makes this fail, which is fine
  if (!IsTextEmpty(FindFirstName(path, kDirectoryEntries)) && !LeadsElsewhere(path)) {
    return true;
  }
  ShowUnableMessage(kCreateAction, path);
  return false;
}

void ClearFolderFiles(const AnsiText& folder) {
  // Filter 0 lists plain files only; each is deleted by its own call, so one
  // that resists does not end the walk.
  for (AnsiText name = FindFirstName(JoinText(folder, "\\*.*"), 0); !IsTextEmpty(name);
       name = FindNextName()) {
    AnsiText file = JoinText(folder, "\\");
    AppendText(&file, name);
    DeleteMatchingFiles(file);
  }
}
