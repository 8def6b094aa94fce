// The installer sequence: stale temporary archive removed, folders prepared,
// payload checked against its check record, copied to the temporary archive
// and unpacked with the progress display, temporary archive removed, desktop
// shortcut written, final message and start of the setup program. Every path
// ends with the result 1.
#include "installer/installer_sequence.h"

#include "extraction/extract_archive.h"
#include "frame/file_system.h"
#include "frame/message_box.h"
#include "frame/process_variables_windows.h"
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

enum : int32_t {
  kSequenceResult = 1,
};

// Deletes the temporary archive when it is there as a plain file.
void RemoveTemporaryArchive(const AnsiText& archiveName) {
  if (!IsTextEmpty(FindFirstName(archiveName, 0))) {
    DeleteMatchingFiles(archiveName);
  }
}

}  // namespace

int32_t RunInstallerSequence(HINSTANCE instance, HINSTANCE, const WCHAR*, int32_t) {
  instanceHandle = instance;
  StartCommonControls();
  const AnsiText archiveName = TextFrom(kTemporaryArchiveName);
  RemoveTemporaryArchive(archiveName);

  AnsiText installFolder;
  if (!PrepareInstallFolders(&installFolder)) {
    return kSequenceResult;
  }
  switch (CopyPayloadToFile(instanceHandle, archiveName)) {
    case kPayloadMissing:
      ShowMessage(TextFrom(kResourceNotFoundText), TextFrom(kSetupCaption), MB_OK);
      return kSequenceResult;
    case kPayloadMismatch:
      // Damaged in a download or on a disk: nothing of it is unpacked.
      ShowMessage(TextFrom(kPayloadDamagedText), TextFrom(kSetupCaption), MB_OK);
      return kSequenceResult;
    case kPayloadNotWritten:
      // Unpacking a missing or shortened archive would install a broken
      // product and still announce it: the user is told instead.
      ShowUnableMessage(kWriteAction, ResolveFullPath(archiveName));
      return kSequenceResult;
    case kPayloadCopied:
      break;
  }

  ExtractionOutcome outcome =
      ExtractArchive(kProgressWindow, GetDesktopWindow(), archiveName, installFolder);
  RemoveTemporaryArchive(archiveName);
  // An installation that lacks files of the payload, or holds other files
  // under their names (a kept SETUP.EXE would be started), is neither linked
  // nor started: the user is told instead.
  if (outcome.archiveDamaged) {
    ShowMessage(TextFrom(kPayloadDamagedText), TextFrom(kSetupCaption), MB_OK);
    return kSequenceResult;
  }
  if (outcome.unwrittenCount > 0) {
    ShowUnableMessage(kWriteAction, outcome.firstUnwrittenPath);
    return kSequenceResult;
  }

  AnsiText setupProgram = installFolder;
  AppendText(&setupProgram, kSetupProgramName);
  CreateDesktopShortcut(setupProgram, installFolder, TextFrom(kShortcutName));
  LaunchSetupProgram(installFolder);
  return kSequenceResult;
}
