// DeleteMatchingFiles, MakeDirectory and ChangeDirectory on real folders, with
// the failures they record and the path limits of all five services.
#include <algorithm>

#include "frame/failure_record.h"
#include "frame/file_system.h"
#include "frame_test_support.h"

namespace {

std::wstring CurrentDirectory() {
  wchar_t buffer[MAX_PATH * 2];
  DWORD length = GetCurrentDirectoryW(MAX_PATH * 2, buffer);
  return std::wstring(buffer, length);
}

// Expects that exactly one more failure has been recorded, by service with code.
void ExpectRecorded(const FailureRecord& before, FrameService service, uint32_t code) {
  FailureRecord after = ReadLastFailure();
  EXPECT_EQ(after.count, before.count + 1);
  EXPECT_EQ(after.service, service);
  EXPECT_EQ(after.errorCode, code);
}

}  // namespace

using FileSystemTest = ScratchFolderTest;

TEST_F(FileSystemTest, DeletionLeavesProtectedEntriesAndStopsAtReadOnlyFile) {
  for (int i = 0; i < 8; ++i) {
    CreateFileWith(Path(L"plain" + std::to_wstring(i)));
  }
  CreateFileWith(Path(L"hidden"), FILE_ATTRIBUTE_HIDDEN);
  CreateFileWith(Path(L"system"), FILE_ATTRIBUTE_SYSTEM);
  CreateFolderWith(Path(L"sub"));
  CreateFileWith(Path(L"sub\\inside"));
  // The read-only file is the plain file in the middle of the system's order.
  std::vector<std::wstring> order = SystemOrder(folder);
  std::vector<std::wstring> plain;
  std::copy_if(order.begin(), order.end(), std::back_inserter(plain),
               [](const std::wstring& name) { return name.rfind(L"plain", 0) == 0; });
  const std::wstring readOnly = plain[plain.size() / 2];
  ASSERT_TRUE(SetFileAttributesW(Path(readOnly).c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_EQ(SystemOrder(folder), order) << "the listing order changed with the attribute";

  FailureRecord before = ReadLastFailure();
  DeleteMatchingFiles(Ansi(folder + L"\\*.*"));

  bool walkStopped = false;
  for (const std::wstring& name : order) {
    walkStopped = walkStopped || name == readOnly;
    bool deletable = name.rfind(L"plain", 0) == 0 && name != readOnly;
    EXPECT_EQ(Exists(Path(name)), !deletable || walkStopped) << Ansi(name).chars;
  }
  EXPECT_TRUE(Exists(Path(L"sub\\inside")));
  ExpectRecorded(before, kDeleteMatchingFilesService, ERROR_ACCESS_DENIED);
}

TEST_F(FileSystemTest, DeletionOfOneNameAndOfNothing) {
  CreateFileWith(Path(L"keep.txt"));
  CreateFileWith(Path(L"gone.txt"));
  FailureRecord before = ReadLastFailure();
  DeleteMatchingFiles(Ansi(Path(L"gone.txt")));
  EXPECT_FALSE(Exists(Path(L"gone.txt")));
  EXPECT_TRUE(Exists(Path(L"keep.txt")));
  EXPECT_EQ(ReadLastFailure().count, before.count);

  DeleteMatchingFiles(Ansi(Path(L"*.none")));
  ExpectRecorded(before, kDeleteMatchingFilesService, ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(Exists(Path(L"keep.txt")));
}

TEST_F(FileSystemTest, DeletionDuringAListingLeavesTheListingInPlace) {
  for (int i = 0; i < 6; ++i) {
    CreateFileWith(Path(L"file" + std::to_wstring(i)));
  }
  int listed = 0;
  for (AnsiText name = FindFirstName(Ansi(Path(L"*.*")), 0); !IsTextEmpty(name);
       name = FindNextName(), ++listed) {
    DeleteMatchingFiles(Ansi(Path(Wide(name))));
  }
  EXPECT_EQ(listed, 6);
  EXPECT_EQ(SystemOrder(folder), std::vector<std::wstring>{});
}

TEST_F(FileSystemTest, MakeDirectoryCreatesOrLeavesExistingFolderAlone) {
  FailureRecord before = ReadLastFailure();
  MakeDirectory(Ansi(Path(L"new")));
  EXPECT_EQ(GetFileAttributesW(Path(L"new").c_str()) & FILE_ATTRIBUTE_DIRECTORY,
            static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(ReadLastFailure().count, before.count);

  CreateFileWith(Path(L"new\\content"));
  MakeDirectory(Ansi(Path(L"new")));
  ExpectRecorded(before, kMakeDirectoryService, ERROR_ALREADY_EXISTS);
  EXPECT_TRUE(Exists(Path(L"new\\content")));
}

TEST_F(FileSystemTest, WildcardsAreRefusedWithoutSystemCall) {
  CreateFolderWith(Path(L"sub"));
  const std::wstring start = CurrentDirectory();
  for (const wchar_t* name : {L"a*b", L"su?"}) {
    FailureRecord before = ReadLastFailure();
    MakeDirectory(Ansi(Path(name)));
    // The system would report an invalid name; path-not-found is the refusal's.
    ExpectRecorded(before, kMakeDirectoryService, ERROR_PATH_NOT_FOUND);
    before = ReadLastFailure();
    ChangeDirectory(Ansi(Path(name)));
    ExpectRecorded(before, kChangeDirectoryService, ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(CurrentDirectory(), start);
  }
  EXPECT_EQ(SystemOrder(folder), std::vector<std::wstring>{L"sub"});
}

// Searches keep 256 UTF-16 units of their path, directory services 255.
TEST_F(FileSystemTest, PathsAreCutAtTheirLimits) {
  auto pathOfLength = [&](const wchar_t* start, int32_t length) {
    std::wstring path = Path(start);
    return path + std::wstring(static_cast<size_t>(length) - path.size(), L'x');
  };
  const std::wstring file = pathOfLength(L"f", 256);
  CreateFileWith(file);
  const std::wstring name = file.substr(folder.size() + 1);
  EXPECT_EQ(Wide(FindFirstName(Ansi(file + L"Q"), 0)), name);
  DeleteMatchingFiles(Ansi(file + L"Q"));
  EXPECT_FALSE(Exists(file));

  const std::wstring directory = pathOfLength(L"d", 255);
  MakeDirectory(Ansi(directory + L"Q"));
  EXPECT_TRUE(Exists(directory));
  EXPECT_FALSE(Exists(directory + L"Q"));
  ChangeDirectory(Ansi(directory + L"Q"));
  EXPECT_EQ(CurrentDirectory(), directory);
}
