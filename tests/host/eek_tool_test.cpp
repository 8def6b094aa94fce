// The archive tool's own pieces: the buffered host file over real files, the
// extraction's writer thread under more files than it holds at once, a carried
// archive tested and measured through one opening, and the judgement of an
// installer's size in memory against its ceilings.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "archive/container.h"
#include "archive/crc32.h"
#include "contract/installer_contract.h"
#include "peimage/little_endian.h"
#include "peimage/pe_format.h"
#include "tools/eek/buffered_file.h"
#include "tools/eek/code_page.h"
#include "tools/eek/commands.h"
#include "tools/eek/image_ceiling.h"
#include "tools/eek/installer_writing.h"
#include "tools/eek/output_queue.h"
#include "tools/eek/payload_file.h"
#include "tools/eek/sha256.h"

namespace {

std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed, int alphabet) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(count);
  for (uint8_t& byte : bytes) {
    byte = static_cast<uint8_t>(random() % alphabet);
  }
  return bytes;
}

struct TempFolder {
  std::filesystem::path path;
  TempFolder() {
    char pattern[] = "/tmp/eek_tool_test.XXXXXX";
    path = mkdtemp(pattern);
  }
  ~TempFolder() { std::filesystem::remove_all(path); }
};

std::vector<uint8_t> ContentOf(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

TEST(BufferedFile, ReadsAndSeeksLikeTheFileItself) {
  TempFolder folder;
  std::vector<uint8_t> bytes = RandomBytes(3 * kHostFileBufferSize + 123, 7, 256);
  std::ofstream(folder.path / "data", std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  BufferedFile buffered;
  BinaryFile file;
  // What the reads hand on: the file from its start, each byte once, in order,
  // up to where a seek past the bytes read left it.
  std::vector<uint8_t> seen;
  buffered.seeRead = [&seen](const uint8_t* read, size_t count) {
    seen.insert(seen.end(), read, read + count);
  };
  AttachBufferedReader(&buffered, open((folder.path / "data").c_str(), O_RDONLY), &file);
  EXPECT_EQ(BinaryFileLength(&file), static_cast<int64_t>(bytes.size()));

  // Seeks forward and back, within the buffered bytes and beyond them, reads
  // smaller and larger than the buffer, and a read that runs past the end.
  struct Step {
    int32_t seek;  // -1: read on from where the last read ended
    int32_t count;
  };
  const Step steps[] = {
      {0, 10},       {-1, 2048},   {5, 100},  {-1, kHostFileBufferSize + 5},
      {100000, 1},   {600000, 9},  {3, 2},    {-1, 2 * kHostFileBufferSize},
      {-1, 1000000}, {786400, 10}, {40, 129}, {static_cast<int32_t>(bytes.size()), 4}};
  int64_t position = 0;
  for (const Step& step : steps) {
    if (step.seek >= 0) {
      SeekBinaryFile(&file, step.seek);
      position = step.seek;
    }
    std::vector<uint8_t> got(static_cast<size_t>(step.count));
    int32_t delivered = ReadBinaryFile(&file, got.data(), step.count);
    int64_t expected = std::min<int64_t>(step.count, static_cast<int64_t>(bytes.size()) - position);
    ASSERT_EQ(delivered, expected) << "at " << position;
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + delivered, bytes.begin() + position));
    EXPECT_EQ(BinaryFileAtEnd(&file), delivered < step.count);
    position += delivered;
  }
  CloseBinaryFile(&file);
  EXPECT_FALSE(buffered.failed);
  ASSERT_EQ(static_cast<int64_t>(seen.size()), buffered.seenUpTo);
  EXPECT_GE(buffered.seenUpTo, int64_t{kHostFileBufferSize});
  EXPECT_TRUE(std::equal(seen.begin(), seen.end(), bytes.begin()));
}

TEST(BufferedFile, WritesEverythingAndReportsAFailedWrite) {
  TempFolder folder;
  std::vector<uint8_t> bytes = RandomBytes(2 * kHostFileBufferSize + 77, 9, 256);
  BufferedFile buffered;
  BinaryFile file;
  int fd = open((folder.path / "out").c_str(), O_WRONLY | O_CREAT, 0644);
  AttachBufferedWriter(&buffered, fd, &file);
  // Decoder-sized pieces, then one larger than the buffer, then the rest.
  size_t at = 0;
  for (; at < 100 * 2100; at += 2100) {
    WriteBinaryFile(&file, bytes.data() + at, 2100);
  }
  WriteBinaryFile(&file, bytes.data() + at, kHostFileBufferSize + 1);
  at += kHostFileBufferSize + 1;
  WriteBinaryFile(&file, bytes.data() + at, static_cast<int32_t>(bytes.size() - at));
  EXPECT_EQ(BinaryFileLength(&file), static_cast<int64_t>(bytes.size()));
  CloseBinaryFile(&file);
  EXPECT_FALSE(buffered.failed);
  EXPECT_EQ(buffered.bytesWritten, static_cast<int64_t>(bytes.size()));
  EXPECT_EQ(ContentOf(folder.path / "out"), bytes);

  // A device that is always full: the failure shows after the close.
  AttachBufferedWriter(&buffered, open("/dev/full", O_WRONLY), &file);
  WriteBinaryFile(&file, bytes.data(), 100);
  CloseBinaryFile(&file);
  EXPECT_TRUE(buffered.failed);
  EXPECT_NE(buffered.error.find("write failed"), std::string::npos) << buffered.error;
}

// An --archive is tested and measured in one pass over one opening, and the
// installer is written from that opening: its measure is that of every byte,
// and an archive changed after its test is never carried.
TEST(CarriedArchive, IsMeasuredAsTestedAndCaughtWhenChangedAfterwards) {
  TempFolder folder;
  std::vector<uint8_t> setup = RandomBytes(3 * kHostFileBufferSize, 11, 5);
  std::ofstream(folder.path / "setup.exe", std::ios::binary)
      .write(reinterpret_cast<const char*>(setup.data()),
             static_cast<std::streamsize>(setup.size()));
  std::string archivePath = (folder.path / "payload.eek").string();
  ASSERT_EQ(
      RunPackCommand(archivePath, {(folder.path / "setup.exe").string()}, kDefaultCodePage, true),
      0);
  std::vector<uint8_t> archive = ContentOf(archivePath);

  PayloadFile payload;
  ASSERT_TRUE(OpenCarriedArchive(archivePath, &payload));
  ASSERT_TRUE(TestCarriedArchive(false, kDefaultCodePage, &payload));
  EXPECT_EQ(payload.size, static_cast<int64_t>(archive.size()));
  EXPECT_EQ(payload.crc, UpdateCrc32(0, archive.data(), archive.size()));
  EXPECT_EQ(payload.sum.length, archive.size());

  // One byte changed in place, as another program would.
  std::fstream change(archivePath, std::ios::in | std::ios::out | std::ios::binary);
  change.seekp(static_cast<std::streamoff>(archive.size() / 2));
  change.put(static_cast<char>(archive[archive.size() / 2] ^ 1));
  change.close();
  std::string outputPath = (folder.path / "made.exe").string();
  {
    OutputFile output;
    std::string error;
    ASSERT_TRUE(OpenOutputFile(outputPath, &output, &error)) << error;
    PeImageParts parts{{'M', 'Z'}, 0, {0}};
    EXPECT_FALSE(WriteInstaller(output, parts, payload, &error));
    EXPECT_NE(error.find("payload.eek: the archive changed while the installer was written"),
              std::string::npos)
        << error;
  }
  EXPECT_FALSE(std::filesystem::exists(outputPath));
}

TEST(OutputQueue, WritesManyFilesInOrderAndSkipsOnlyTheBlockedOne) {
  TempFolder folder;
  std::filesystem::create_directory(folder.path / "BLOCKED");
  OutputQueue queue;
  StartOutputQueue(&queue, folder.path.string());
  std::map<std::string, std::vector<uint8_t>> expected;
  // More files and bytes than the queue holds at once; some names come twice
  // (the later file wins), some files span several jobs, some are empty.
  for (uint32_t i = 0; i < 700; i++) {
    std::string name = "F" + std::to_string(i % 650);
    size_t size = i % 97 == 0 ? 600000 + i : (i % 13 == 0 ? 0 : 1000 + i * 37 % 9000);
    std::vector<uint8_t> bytes = RandomBytes(size, i, 256);
    BinaryFile file = OpenQueuedOutput(&queue, name, i % 2 == 0 ? static_cast<int64_t>(size) : -1);
    for (size_t at = 0; at < size; at += 2100) {
      WriteBinaryFile(&file, bytes.data() + at,
                      static_cast<int32_t>(std::min<size_t>(2100, size - at)));
    }
    CloseBinaryFile(&file);
    EXPECT_EQ(queue.bytesWritten, static_cast<int64_t>(size));
    expected[name] = bytes;
  }
  BinaryFile blocked = OpenQueuedOutput(&queue, "BLOCKED", 3);
  WriteBinaryFile(&blocked, reinterpret_cast<const uint8_t*>("abc"), 3);
  CloseBinaryFile(&blocked);
  // A file dropped once closed (it decoded wrong) never takes its name: the
  // file there stays as it was, and nothing is left beside it.
  std::ofstream(folder.path / "DROPPED") << "old";
  BinaryFile dropped = OpenQueuedOutput(&queue, "DROPPED", 3);
  WriteBinaryFile(&dropped, reinterpret_cast<const uint8_t*>("new"), 3);
  CloseBinaryFile(&dropped);
  DropClosedOutput(&queue);
  BinaryFile last = OpenQueuedOutput(&queue, "LAST", -1);
  CloseBinaryFile(&last);
  EXPECT_FALSE(EndOutputQueue(&queue));
  for (const auto& [name, bytes] : expected) {
    ASSERT_EQ(ContentOf(folder.path / name), bytes) << name;
  }
  EXPECT_TRUE(std::filesystem::is_directory(folder.path / "BLOCKED"));
  EXPECT_TRUE(std::filesystem::exists(folder.path / "LAST"));
  std::vector<uint8_t> old = {'o', 'l', 'd'};
  EXPECT_EQ(ContentOf(folder.path / "DROPPED"), old);
  size_t files = static_cast<size_t>(std::distance(std::filesystem::directory_iterator(folder.path),
                                                   std::filesystem::directory_iterator()));
  EXPECT_EQ(files, expected.size() + 3);
}

}  // namespace

namespace {

// Names in the target code page: converted from and to UTF-8, upper-cased and
// judged as the installer running on that code page would.
TEST(CodePageNames, ConvertNormaliseAndJudgeInTheTargetCodePage) {
  std::string ansi;
  ASSERT_TRUE(HostNameToAnsi(1252, "caf\xC3\xA9.txt", &ansi));
  EXPECT_EQ(ansi, "caf\xE9.txt");
  EXPECT_FALSE(HostNameToAnsi(1252, "\xE8\xA1\xA8.txt", &ansi));  // no such character
  EXPECT_FALSE(HostNameToAnsi(1252, "bad\xC3", &ansi));           // not UTF-8
  ASSERT_TRUE(HostNameToAnsi(932, "\xE8\xA1\xA8.txt", &ansi));
  EXPECT_EQ(ansi, "\x95\x5C.txt");
  std::string host;
  ASSERT_TRUE(AnsiToHostName(1251, "\xC4\xE0", &host));
  EXPECT_EQ(host, "\xD0\x94\xD0\xB0");
  EXPECT_FALSE(AnsiToHostName(932, "\x95", &host));  // a lead byte alone

  auto normalise = [](int codePage, const std::string& name) {
    return UpperCaseNameInCodePage(codePage, name);
  };
  // Code page 1252 as the system maps it: the y with diaeresis takes its
  // capital at 0x9F; the micro sign and the sharp s have none in the code page.
  EXPECT_EQ(normalise(1252, "caf\xE9\xFF\xB5\xDF.txt"), "CAF\xC9\x9F\xB5\xDF.TXT");
  // Cyrillic in 1251, and in 932 a fullwidth letter, while the trail byte 0x61
  // of a katakana is no "a" to upper-case.
  EXPECT_EQ(normalise(1251, "\xE4\xE0.txt"), "\xC4\xC0.TXT");
  EXPECT_EQ(normalise(932, "\x82\x81\x83\x61.txt"), "\x82\x60\x83\x61.TXT");

  EXPECT_TRUE(IsSafeNameInCodePage(932, "\x95\x5C.TXT"));
  EXPECT_TRUE(IsSafeNameInCodePage(950, "\xA5\x5C"));  // a Big5 character, trail byte 0x5C
  EXPECT_FALSE(IsSafeNameInCodePage(1252, "\x95\x5C.TXT"));
  EXPECT_FALSE(IsSafeNameInCodePage(932, "A\\B"));
  EXPECT_FALSE(IsSafeNameInCodePage(932, "\x95"));  // does not decode
}

}  // namespace

// The FIPS 180-4 examples, the padding's edges (55, 56 and 64 bytes, where the
// length does or does not fit the last block) against digests from
// sha256sum, and the same bytes fed in uneven pieces.
TEST(Sha256, GivesTheStandardDigestsHoweverTheBytesArrive) {
  auto digest = [](const std::string& text, size_t piece) {
    Sha256 sha;
    for (size_t at = 0; at < text.size(); at += piece) {
      sha.Update(reinterpret_cast<const uint8_t*>(text.data()) + at,
                 std::min(piece, text.size() - at));
    }
    return sha.FinishHex();
  };
  const std::map<std::string, std::string> known = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(55, 'x'), "d5e285683cd4efc02d021a5c62014694958901005d6f71e89e0989fac77e4072"},
      {std::string(56, 'x'), "04c26261370ee7541549d16dee320c723e3fd14671e66a099afe0a377c16888e"},
      {std::string(64, 'x'), "7ce100971f64e7001e8fe5a51973ecdfe1ced42befe7ee8d5fd6219506b5393c"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& [text, expected] : known) {
    for (size_t piece : {size_t{1000000}, size_t{1}, size_t{63}, size_t{65}}) {
      EXPECT_EQ(digest(text, piece), expected) << text.size() << " bytes in pieces of " << piece;
    }
  }
}

namespace {

// Each format's verdict at and around its measured ceiling and its address
// space limit; an unknown format is held to PE32's, the smaller.
TEST(ImageCeiling, JudgesEachFormatAtItsOwnBounds) {
  struct Case {
    uint16_t magic;
    uint64_t sizeOfImage;
    ImageSizeVerdict verdict;
  };
  const uint64_t pe32 = kPe32ImageCeiling, pe32Plus = kPe32PlusImageCeiling;
  const Case cases[] = {
      {kPe32Magic, 4096, ImageSizeVerdict::kWithinTested},
      {kPe32Magic, pe32, ImageSizeVerdict::kWithinTested},
      {kPe32Magic, pe32 + 1, ImageSizeVerdict::kPastTested},
      {kPe32Magic, kPe32AddressSpaceLimit, ImageSizeVerdict::kPastTested},
      {kPe32Magic, kPe32AddressSpaceLimit + 1ull, ImageSizeVerdict::kPastAddressSpace},
      {kPe32PlusMagic, pe32 + 1, ImageSizeVerdict::kWithinTested},
      {kPe32PlusMagic, pe32Plus, ImageSizeVerdict::kWithinTested},
      {kPe32PlusMagic, kPe32AddressSpaceLimit + 1ull,
       pe32Plus > kPe32AddressSpaceLimit ? ImageSizeVerdict::kWithinTested
                                         : ImageSizeVerdict::kPastTested},
      {kPe32PlusMagic, UINT32_MAX, ImageSizeVerdict::kPastTested},
      {0x0107, pe32 + 1, ImageSizeVerdict::kPastTested},
  };
  // The measured ceilings lie between a small image and the address space.
  ASSERT_GT(pe32, 64u << 20);
  ASSERT_LT(pe32, kPe32AddressSpaceLimit);
  ASSERT_GE(pe32Plus, pe32);
  for (const Case& c : cases) {
    EXPECT_EQ(JudgeImageSize(ImageCeilingOf(c.magic), c.sizeOfImage), c.verdict)
        << "magic " << c.magic << ", SizeOfImage " << c.sizeOfImage;
  }
  EXPECT_STREQ(ImageCeilingOf(kPe32PlusMagic).format, "PE32+");
  EXPECT_STREQ(ImageCeilingOf(kPe32Magic).format, "PE32");
}

// The payload named as fitting does fit: an image is its other parts plus the
// payload's span rounded up to the section alignment, and the payload named
// keeps it within the limit without giving away more than two alignments.
TEST(ImageCeiling, PayloadThatFitsKeepsTheImageWithinTheLimit) {
  const uint64_t limit = kPe32ImageCeiling;
  std::mt19937_64 random(7);
  for (uint32_t alignment : {0x1000u, 0x10000u}) {
    for (int i = 0; i < 2000; ++i) {
      uint64_t rest = 0x10000 + random() % (64u << 20);
      uint64_t payload = 1 + random() % (2ull << 30);
      auto imageOf = [&](uint64_t bytes) { return rest + AlignUp(bytes + 20, alignment); };
      uint64_t fits = PayloadWithin(imageOf(payload), payload, limit, alignment);
      if (imageOf(payload) <= limit) {
        EXPECT_EQ(fits, payload);
        continue;
      }
      ASSERT_LT(fits, payload);
      if (fits > 0) {
        EXPECT_LE(imageOf(fits), limit) << "payload " << payload << ", rest " << rest;
        EXPECT_GT(imageOf(fits + 2 * alignment), limit) << "payload " << payload;
      } else {
        EXPECT_GT(imageOf(2 * alignment), limit) << "none fits, yet a payload would";
      }
    }
  }
}

}  // namespace
