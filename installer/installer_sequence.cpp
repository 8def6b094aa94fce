// The installer sequence: stale temporary archive removed, folders prepared,
// payload checked against its check record, copied to the temporary archive
// (in the current directory, or in the user's temporary folder where the
// current directory cannot take it) and unpacked with the progress display,
// temporary archive removed, desktop shortcut written, final message and start
// of the setup program. A run that installs every file ends with 1, one that
// stops at a box before that with 2.
#include "installer/installer_sequence.h"

#include "extraction/extract_archive.h"
#include "frame/file_system.h"
#include "frame/message_box.h"
#include "frame/process_variables_windows.h"
#include "frame/system_calls_windows.h"
#include "installer/common_controls_windows.h"
#include "installer/install_folders.h"
#include "installer/payload_copy_windows.h"
#include "installer/setup_launch.h"
#include "progress/progress_display.h"
#include "shortcut/desktop_shortcut.h"
#include "texts/installer_texts.h"

namespace {

// The extraction shows its progress in the progress window.
const ExtractionDisplay kProgressWindow = {StartProgressDisplay, SetControlText, SetProgressPercent,
                                           CloseProgressDisplay, ProgressLabelHandle};

// Deletes the temporary archive when it is there as a plain file.
void RemoveTemporaryArchive(const AnsiText& archiveName) {
  if (!IsTextEmpty(archiveName) && !IsTextEmpty(FindFirstName(archiveName, 0))) {
    DeleteMatchingFiles(archiveName);
  }
}

// The code page of the payload's names where the system's differs from it, 0
// where the names are the system's (or their code page is not recorded).
UINT ChooseNamesCodePage(HINSTANCE module) {
  UINT recorded = RecordedNamesCodePage(module);
  return recorded == GetACP() ? 0 : recorded;
}

// "Code Page <codePage> Not Installed!"
AnsiText CodePageMissingText(UINT codePage) {
  AnsiText text = TextFrom(kCodePageMissingStart);
  AppendDecimal(&text, codePage);
  AppendText(&text, kCodePageMissingEnd);
  return text;
}

}  // namespace

int32_t RunInstallerSequence(HINSTANCE instance, HINSTANCE, const WCHAR*, int32_t) {
  instanceHandle = instance;
  StartCommonControls();
  const AnsiText archiveName = TextFrom(kTemporaryArchiveName);
  const AnsiText fallbackArchive = TemporaryFolderArchive(kTemporaryArchiveName);
  RemoveTemporaryArchive(archiveName);
  RemoveTemporaryArchive(fallbackArchive);

  // Names written in a code page the system lacks cannot be given their
  // Unicode form: nothing is touched, not even an earlier installation.
  const UINT namesCodePage = ChooseNamesCodePage(instanceHandle);
  if (namesCodePage != 0 && !IsValidCodePage(namesCodePage)) {
    ShowMessage(CodePageMissingText(namesCodePage), TextFrom(kSetupCaption), MB_OK);
    return kInstallationIncomplete;
  }

  AnsiText installFolder;
  if (!PrepareInstallFolders(&installFolder)) {
    return kInstallationIncomplete;
  }
  // A start folder on a read-only medium or a full disk cannot take the
  // archive; the user's temporary folder then holds it.
  AnsiText archivePath;
  PayloadCopy copy = CopyPayloadToFile(instanceHandle, archiveName, fallbackArchive, &archivePath);
  switch (copy) {
    case kPayloadMissing:
      ShowMessage(TextFrom(kResourceNotFoundText), TextFrom(kSetupCaption), MB_OK);
      return kInstallationIncomplete;
    case kPayloadMismatch:
      // Damaged in a download or on a disk: nothing of it is unpacked.
      ShowMessage(TextFrom(kPayloadDamagedText), TextFrom(kSetupCaption), MB_OK);
      return kInstallationIncomplete;
    case kPayloadNotWritten:
      // Unpacking a missing or shortened archive would install a broken
      // product and still announce it: the user is told instead, of the last
      // place tried.
      ShowUnableMessage(kWriteAction, ResolveFullPath(archivePath));
      return kInstallationIncomplete;
    case kPayloadCopied:
      break;
  }

  ExtractionOutcome outcome = ExtractArchive(kProgressWindow, GetDesktopWindow(), archivePath,
                                             installFolder, namesCodePage);
  RemoveTemporaryArchive(archivePath);
  if (outcome.archiveMissing) {
    // Written whole, then gone or locked before the unpacking could open it
    // (a scanner that quarantines it takes this way): nothing is installed.
    ShowUnableMessage(kWriteAction, ResolveFullPath(archivePath));
    return kInstallationIncomplete;
  }
  // An installation that lacks files of the payload, or holds other files
  // under their names (a kept SETUP.EXE would be started), is neither linked
  // nor started: the user is told instead.
  if (outcome.archiveDamaged) {
    ShowMessage(TextFrom(kPayloadDamagedText), TextFrom(kSetupCaption), MB_OK);
    return kInstallationIncomplete;
  }
  if (outcome.unwrittenCount > 0) {
    // The path is in the code page of the names.
    ShowUnableMessage(kWriteAction, outcome.firstUnwrittenPath, namesCodePage);
    return kInstallationIncomplete;
  }

  AnsiText setupProgram = installFolder;
  AppendText(&setupProgram, kSetupProgramName);
  CreateDesktopShortcut(setupProgram, installFolder, TextFrom(kShortcutName));
  LaunchSetupProgram(installFolder);
  return kInstallationComplete;
}
