// Binary file access: the short-read mark, a file that is not open, and the
// POSIX open that mirrors the installer's (create if missing, keep existing
// content, fall back to read-only).
#include "archive/binary_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/host/posix_binary_file.h"
#include <string>

#include "tests/host/memory_file.h"

namespace {

TEST(BinaryFileTest, ShortReadMark) {
  MemoryFile memory;
  memory.bytes = BytesOf("abcdef");
  BinaryFile file = OpenMemoryFile(&memory);
  uint8_t buffer[16];
  EXPECT_EQ(ReadBinaryFile(&file, buffer, 4), 4);
  EXPECT_FALSE(BinaryFileAtEnd(&file));
  EXPECT_EQ(ReadBinaryFile(&file, buffer, 4), 2);  // fewer than asked
  EXPECT_TRUE(BinaryFileAtEnd(&file));
  EXPECT_EQ(ReadBinaryFile(&file, buffer, 0), 0);  // a 0-byte read gets all it asked for
  EXPECT_FALSE(BinaryFileAtEnd(&file));
  EXPECT_EQ(ReadBinaryFile(&file, buffer, 1), 0);
  EXPECT_TRUE(BinaryFileAtEnd(&file));
  SeekBinaryFile(&file, 1);
  EXPECT_FALSE(BinaryFileAtEnd(&file));
  EXPECT_EQ(ReadBinaryFile(&file, buffer, 10), 5);
  EXPECT_TRUE(BinaryFileAtEnd(&file));
  EXPECT_EQ(WriteBinaryFile(&file, buffer, 2), 2);
  EXPECT_FALSE(BinaryFileAtEnd(&file));
  EXPECT_EQ(BinaryFileLength(&file), 8);
  CloseBinaryFile(&file);
  EXPECT_EQ(memory.closeCount, 1);
  EXPECT_FALSE(IsBinaryFileOpen(&file));
  CloseBinaryFile(&file);  // closing twice reaches the platform once
  EXPECT_EQ(memory.closeCount, 1);
}

TEST(BinaryFileTest, UnopenedFileDoesNothing) {
  BinaryFile file = UnopenedBinaryFile();
  uint8_t buffer[4] = {1, 2, 3, 4};
  EXPECT_FALSE(IsBinaryFileOpen(&file));
  EXPECT_TRUE(BinaryFileAtEnd(&file));
  EXPECT_EQ(ReadBinaryFile(&file, buffer, 4), 0);
  EXPECT_TRUE(BinaryFileAtEnd(&file));
  EXPECT_EQ(WriteBinaryFile(&file, buffer, 4), 0);
  EXPECT_TRUE(BinaryFileAtEnd(&file));
  SeekBinaryFile(&file, 3);
  EXPECT_EQ(BinaryFileLength(&file), 0);
  CloseBinaryFile(&file);
  EXPECT_TRUE(BinaryFileAtEnd(&file));
}

class OpenBinaryFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/binary_file_test_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  std::string folder_;
};

std::string ReadWholeFile(const std::string& path) {
  std::ifstream stream(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

TEST_F(OpenBinaryFileTest, CreatesMissingFilesAndKeepsExistingOnes) {
  std::string path = folder_ + "/NEW.BIN";
  BinaryFile file;
  ASSERT_TRUE(OpenPosixBinaryFile(&file, path.c_str()));
  EXPECT_EQ(BinaryFileLength(&file), 0);
  const uint8_t bytes[] = {'h', 'e', 'l', 'l', 'o'};
  EXPECT_EQ(WriteBinaryFile(&file, bytes, 5), 5);
  CloseBinaryFile(&file);

  ASSERT_TRUE(OpenPosixBinaryFile(&file, path.c_str()));
  EXPECT_EQ(BinaryFileLength(&file), 5);  // opened unchanged, position at the start
  uint8_t buffer[8];
  EXPECT_EQ(ReadBinaryFile(&file, buffer, 2), 2);
  EXPECT_EQ(buffer[0], 'h');
  SeekBinaryFile(&file, 4);
  EXPECT_EQ(ReadBinaryFile(&file, buffer, 8), 1);
  EXPECT_EQ(buffer[0], 'o');
  EXPECT_TRUE(BinaryFileAtEnd(&file));
  CloseBinaryFile(&file);
  EXPECT_EQ(ReadWholeFile(path), "hello");
}

TEST_F(OpenBinaryFileTest, RefusesWhatCannotBeAFile) {
  BinaryFile file;
  std::string missingFolder = folder_ + "/missing/FILE.BIN";
  std::string wildcard = folder_ + "/A*.BIN";
  std::string question = folder_ + "/A?.BIN";
  for (const std::string& path : {std::string(), missingFolder, wildcard, question, folder_}) {
    EXPECT_FALSE(OpenPosixBinaryFile(&file, path.c_str())) << path;
    EXPECT_FALSE(IsBinaryFileOpen(&file)) << path;
  }
  EXPECT_EQ(access(wildcard.c_str(), F_OK), -1);  // refused without creating anything
}

TEST_F(OpenBinaryFileTest, FallsBackToReadOnly) {
  std::string path = folder_ + "/READONLY.BIN";
  { std::ofstream(path, std::ios::binary) << "kept"; }
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  if (geteuid() == 0) {
    // Permissions do not stop the superuser; a kernel file without write access does.
    path = "/sys/kernel/notes";
    if (access(path.c_str(), R_OK) != 0) {
      GTEST_SKIP() << "no read-only file available to the superuser";
    }
  }
  std::string before = ReadWholeFile(path);
  BinaryFile file;
  ASSERT_TRUE(OpenPosixBinaryFile(&file, path.c_str()));
  uint8_t buffer[4];
  EXPECT_EQ(ReadBinaryFile(&file, buffer, 4), 4);
  EXPECT_EQ(WriteBinaryFile(&file, buffer, 4), 0);
  CloseBinaryFile(&file);
  EXPECT_EQ(ReadWholeFile(path), before);
}

}  // namespace
