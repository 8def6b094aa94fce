// The Windows binary file access on real files: the open mode and its
// read-only retry, the paths refused without a system call, devices and
// folders left unopened, the short-read mark, and the path limit.
#include <string>

#include "archive/binary_file.h"
#include "extraction/binary_file_windows.h"
#include "extraction_test_support.h"
#include "frame/failure_record.h"
#include "frame_test_support.h"

namespace {

std::string Narrow(const std::wstring& path) {
  return std::string(path.begin(), path.end());
}

std::string ReadAll(BinaryFile* file) {
  uint8_t bytes[64];
  int32_t got = ReadBinaryFile(file, bytes, sizeof(bytes));
  return std::string(reinterpret_cast<char*>(bytes), static_cast<size_t>(got));
}

int32_t Write(BinaryFile* file, const std::string& text) {
  return WriteBinaryFile(file, reinterpret_cast<const uint8_t*>(text.data()),
                         static_cast<int32_t>(text.size()));
}

}  // namespace

using BinaryFileWindowsTest = ScratchFolderTest;

TEST_F(BinaryFileWindowsTest, OpenKeepsExistingContentCreatesMissingFilesAndLocksThem) {
  CreateFileWith(Path(L"old"));  // holds "data"
  FailureRecord before = ReadLastFailure();
  BinaryFile file;
  ASSERT_TRUE(OpenBinaryFile(&file, Narrow(Path(L"old")).c_str()));
  EXPECT_EQ(ReadLastFailure().count, before.count) << "an existing file is no failure";
  EXPECT_EQ(BinaryFileLength(&file), 4);
  EXPECT_EQ(ReadAll(&file), "data");
  DWORD flags = 0;
  ASSERT_TRUE(GetHandleInformation(static_cast<HANDLE>(file.handle), &flags));
  EXPECT_NE(flags & HANDLE_FLAG_INHERIT, 0u);

  // No sharing: a second open of the same file fails in both modes.
  BinaryFile second;
  EXPECT_FALSE(OpenBinaryFile(&second, Narrow(Path(L"old")).c_str()));
  EXPECT_EQ(ReadLastFailure().service, kFileAccessService);
  EXPECT_EQ(ReadLastFailure().errorCode, static_cast<uint32_t>(ERROR_SHARING_VIOLATION));
  CloseBinaryFile(&file);
  EXPECT_FALSE(IsBinaryFileOpen(&file));

  ASSERT_TRUE(OpenBinaryFile(&file, Narrow(Path(L"new")).c_str()));
  EXPECT_EQ(BinaryFileLength(&file), 0);
  CloseBinaryFile(&file);
  EXPECT_EQ(ReadWholeFile(Path(L"new")), "");
  EXPECT_EQ(ReadWholeFile(Path(L"old")), "data");
}

TEST_F(BinaryFileWindowsTest, FileThatCannotBeWrittenOpensForReading) {
  // A read-only file is the usual case, but Wine lets a root user write to
  // one; a running program's image refuses writers for everybody (the kernel
  // reports it busy), so the server's own executable stands in here.
  CreateFileWith(Path(L"locked"), FILE_ATTRIBUTE_READONLY);
  int fallbacks = 0;
  for (const std::string& path : {Narrow(Path(L"locked")), std::string("Z:\\proc\\self\\exe")}) {
    HANDLE probe = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
      CloseHandle(probe);
      continue;  // writable for this user: nothing to fall back from
    }
    FailureRecord before = ReadLastFailure();
    BinaryFile file;
    ASSERT_TRUE(OpenBinaryFile(&file, path.c_str())) << path;
    EXPECT_EQ(ReadLastFailure().count, before.count + 1) << "the read-write attempt failed";
    EXPECT_GT(BinaryFileLength(&file), 0);
    uint8_t bytes[4] = {};
    EXPECT_EQ(ReadBinaryFile(&file, bytes, 4), 4);
    CloseBinaryFile(&file);
    ++fallbacks;
  }
  EXPECT_GE(fallbacks, 1);
}

TEST_F(BinaryFileWindowsTest, WildcardsAndEmptyPathsAreRefusedWithoutASystemCall) {
  const std::string refused[] = {"", Narrow(Path(L"a*b")), Narrow(Path(L"?")),
                                 Narrow(Path(L"x?y.txt"))};
  for (const std::string& path : refused) {
    FailureRecord before = ReadLastFailure();
    SetLastError(0xBEEF);  // a guarded call would clear it
    BinaryFile file;
    EXPECT_FALSE(OpenBinaryFile(&file, path.c_str())) << path;
    EXPECT_EQ(GetLastError(), 0xBEEFu) << path;
    EXPECT_EQ(ReadLastFailure().count, before.count) << path;
    EXPECT_FALSE(IsBinaryFileOpen(&file));
  }
  EXPECT_TRUE(SystemOrder(folder).empty());
}

TEST_F(BinaryFileWindowsTest, FoldersAndDevicesStayUnopened) {
  CreateFolderWith(Path(L"sub"));
  for (const std::string& path : {Narrow(Path(L"sub")), std::string("NUL"), std::string("CON")}) {
    BinaryFile file;
    EXPECT_FALSE(OpenBinaryFile(&file, path.c_str())) << path;
    uint8_t byte = 0;
    EXPECT_EQ(ReadBinaryFile(&file, &byte, 1), 0);
    EXPECT_EQ(WriteBinaryFile(&file, &byte, 1), 0);
    EXPECT_EQ(BinaryFileLength(&file), 0);
    EXPECT_TRUE(BinaryFileAtEnd(&file)) << path;
  }
}

TEST_F(BinaryFileWindowsTest, ShortReadMarkFollowsTheLastOperation) {
  BinaryFile file;
  ASSERT_TRUE(OpenBinaryFile(&file, Narrow(Path(L"f")).c_str()));
  EXPECT_EQ(Write(&file, "0123456789"), 10);
  SeekBinaryFile(&file, 6);
  uint8_t bytes[8];
  EXPECT_EQ(ReadBinaryFile(&file, bytes, 3), 3);
  EXPECT_FALSE(BinaryFileAtEnd(&file));
  EXPECT_EQ(ReadBinaryFile(&file, bytes, 3), 1);
  EXPECT_EQ(bytes[0], '9');
  EXPECT_TRUE(BinaryFileAtEnd(&file));
  SeekBinaryFile(&file, 2);
  EXPECT_FALSE(BinaryFileAtEnd(&file));
  EXPECT_EQ(ReadBinaryFile(&file, bytes, 20), 8);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes), 3), "234");
  EXPECT_TRUE(BinaryFileAtEnd(&file));
  EXPECT_EQ(Write(&file, "!"), 1);
  EXPECT_FALSE(BinaryFileAtEnd(&file));
  EXPECT_EQ(BinaryFileLength(&file), 11);
  CloseBinaryFile(&file);
  EXPECT_EQ(ReadWholeFile(Path(L"f")), "0123456789!");
}

TEST_F(BinaryFileWindowsTest, OnlyTheFirst255UnitsOfAPathAreUsed) {
  std::wstring prefix = folder + L"\\";
  std::wstring kept = prefix + std::wstring(kInstalledPathLimit - prefix.size(), L'n');
  BinaryFile file;
  ASSERT_TRUE(OpenBinaryFile(&file, Narrow(kept + L"tail.txt").c_str()));
  CloseBinaryFile(&file);
  EXPECT_TRUE(Exists(kept));
  EXPECT_EQ(SystemOrder(folder).size(), 1u);
}
