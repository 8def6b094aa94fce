// The installation drive, and the base and installation folders: made,
// verified by listing (with the box when that fails) and cleared.
#include <algorithm>

#include "contract/installer_contract.h"
#include "frame_test_support.h"
#include "installer/install_drive.h"
#include "installer/install_folders.h"
#include "installer_parts_support.h"

namespace {

// The base and installation folders inside folder, as the installer names them
// on its drive.
std::wstring BaseFolderIn(const std::wstring& folder) {
  return folder + Wide(TextFrom(kBaseFolderName));
}
std::wstring InstallFolderIn(const std::wstring& folder) {
  return folder + Wide(TextFrom(kInstallFolderName));
}

std::string DriveOf(const char* windowsDirectory) {
  return DriveOfWindowsDirectory(TextFrom(windowsDirectory)).chars;
}

}  // namespace

TEST(InstallDriveTest, DriveIsTheTextUpToTheFirstColonUnlessTheColonComesFirst) {
  EXPECT_EQ(DriveOf("C:\\Windows"), "C:");
  EXPECT_EQ(DriveOf("E:\\WINNT"), "E:");
  EXPECT_EQ(DriveOf("AB:\\odd:name"), "AB:");
  EXPECT_EQ(DriveOf("\\\\server\\share\\Windows"), "C:");
  EXPECT_EQ(DriveOf(":\\Windows"), "C:");
  EXPECT_EQ(DriveOf(""), "C:");
  char windows[MAX_PATH] = {};
  ASSERT_NE(GetWindowsDirectoryA(windows, MAX_PATH), 0u);
  EXPECT_EQ(ChooseInstallDrive().chars, DriveOf(windows)) << windows;
}

using FolderPreparationTest = ScratchFolderTest;

TEST_F(FolderPreparationTest, FoldersAreMadeThenKeptAndOnlyPlainFilesAreCleared) {
  const std::wstring base = BaseFolderIn(folder), install = InstallFolderIn(folder);
  AnsiText prepared = EmptyText();
  auto prepare = [&] { EXPECT_TRUE(PrepareInstallFoldersOn(Ansi(folder), &prepared)); };
  EXPECT_TRUE(RunAnsweringBoxes(prepare).empty());
  EXPECT_EQ(Wide(prepared), install);

  CreateFileWith(base + L"\\base-file");
  for (int i = 0; i < 6; ++i) {
    CreateFileWith(install + L"\\old" + std::to_wstring(i));
  }
  CreateFileWith(install + L"\\hidden", FILE_ATTRIBUTE_HIDDEN);
  CreateFileWith(install + L"\\system", FILE_ATTRIBUTE_SYSTEM);
  CreateFolderWith(install + L"\\sub");
  CreateFileWith(install + L"\\sub\\inside");
  // The first plain file listed is read-only: the files after it still go.
  std::vector<std::wstring> order = SystemOrder(install);
  std::wstring readOnly = *std::find_if(order.begin(), order.end(), [](const std::wstring& name) {
    return name.rfind(L"old", 0) == 0;
  });
  ASSERT_TRUE(SetFileAttributesW((install + L"\\" + readOnly).c_str(), FILE_ATTRIBUTE_READONLY));

  EXPECT_TRUE(RunAnsweringBoxes(prepare).empty());
  std::vector<std::wstring> left = SystemOrder(install);
  std::vector<std::wstring> kept = {L"hidden", L"system", L"sub", readOnly};
  std::sort(left.begin(), left.end());
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(left, kept);
  EXPECT_TRUE(Exists(install + L"\\sub\\inside"));
  EXPECT_TRUE(Exists(base + L"\\base-file"));
  SetFileAttributesW((install + L"\\" + readOnly).c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(FolderPreparationTest, FolderThatCannotBeMadeOrListedFailsWithItsOwnBox) {
  // The obstacle takes the base folder's name.
  const std::wstring obstacle = BaseFolderIn(folder), install = InstallFolderIn(folder);
  struct Case {
    DWORD attributes;      // of the obstacle; INVALID_FILE_ATTRIBUTES: a plain file
    std::wstring failing;  // the folder named in the box
  };
  const Case cases[] = {
      {FILE_ATTRIBUTE_HIDDEN, obstacle},
      // Listing with directories admitted passes a plain file of the name.
      {INVALID_FILE_ATTRIBUTES, install},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(Ansi(test.failing).chars);
    if (test.attributes == INVALID_FILE_ATTRIBUTES) {
      CreateFileWith(obstacle);
    } else {
      CreateFolderWith(obstacle, test.attributes);
    }
    AnsiText prepared = TextFrom("untouched");
    std::vector<MessageBoxView> boxes =
        RunAnsweringBoxes([&] { EXPECT_FALSE(PrepareInstallFoldersOn(Ansi(folder), &prepared)); });
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, L"Ostrel Tarvine64 Setup");
    EXPECT_EQ(boxes[0].text, L"Unable to create \"" + test.failing + L"\" !");
    EXPECT_EQ(boxes[0].buttons, std::vector<std::wstring>{L"OK"});
    EXPECT_FALSE(boxes[0].hasIcon);
    EXPECT_STREQ(prepared.chars, "untouched");
    EXPECT_FALSE(Exists(install));
    SetFileAttributesW(obstacle.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!RemoveDirectoryW(obstacle.c_str())) {
      DeleteFileW(obstacle.c_str());
    }
  }
  EXPECT_EQ(RunAnsweringBoxes([&] { EnsureFolder(Ansi(Path(L"missing\\child"))); }).size(), 1u);
}

// Touches the installer's own folders, as the installer does: runs under the
// installer lock.
TEST(InstallFoldersOnWindowsDriveTest, FoldersAreOnTheDriveOfTheWindowsDirectory) {
  const std::wstring drive = Wide(ChooseInstallDrive());
  const std::wstring base = BaseFolderIn(drive), install = InstallFolderIn(drive);
  bool existed = Exists(base);
  AnsiText prepared = EmptyText();
  EXPECT_TRUE(RunAnsweringBoxes([&] { EXPECT_TRUE(PrepareInstallFolders(&prepared)); }).empty());
  EXPECT_EQ(Wide(prepared), install);
  EXPECT_TRUE(Exists(install));
  if (!existed) {
    RemoveDirectoryW(install.c_str());
    RemoveDirectoryW(base.c_str());
  }
}
