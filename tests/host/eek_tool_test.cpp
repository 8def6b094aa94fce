// The archive tool's own pieces: the token check against the real decoder and
// encoder, the buffered host file over real files, and the extraction's
// writer thread under more files than it holds at once.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "archive/decoder.h"
#include "archive/container.h"
#include "archive/encoder.h"
#include "tests/host/memory_file.h"
#include "tools/eek/buffered_file.h"
#include "tools/eek/code_page.h"
#include "tools/eek/output_queue.h"
#include "tools/eek/token_check.h"

namespace {

std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed, int alphabet) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(count);
  for (uint8_t& byte : bytes) {
    byte = static_cast<uint8_t>(random() % alphabet);
  }
  return bytes;
}

// Feeds the stream in pieces of the given size and ends the check.
TokenCheck CheckInPieces(const std::vector<uint8_t>& stream, size_t piece) {
  TokenCheck check;
  BeginTokenCheck(&check);
  for (size_t at = 0; at < stream.size(); at += piece) {
    size_t count = std::min(piece, stream.size() - at);
    FeedTokenCheck(&check, stream.data() + at, static_cast<int32_t>(count));
  }
  EndTokenCheck(&check);
  return check;
}

int64_t DecodedLength(const std::vector<uint8_t>& stream) {
  MemoryFile archive;
  archive.bytes = stream;
  MemoryFile output;
  BinaryFile in = OpenMemoryFile(&archive);
  BinaryFile out = OpenMemoryFile(&output);
  DecompressEntry(&in, 0, static_cast<int32_t>(stream.size()), &out, nullptr, nullptr);
  return static_cast<int64_t>(output.bytes.size());
}

TEST(TokenCheck, AcceptsWhatTheEncoderWritesInAnyPieces) {
  std::vector<std::vector<uint8_t>> inputs = {RandomBytes(70000, 1, 256), RandomBytes(70000, 2, 3),
                                              std::vector<uint8_t>(5000, 'z'),
                                              BytesOf(std::string(300, 'a') + "tail")};
  for (const std::vector<uint8_t>& input : inputs) {
    std::vector<uint8_t> packed;
    CompressBytes(input.data(), input.size(), &packed);
    for (size_t piece : {size_t{1}, size_t{7}, size_t{2048}, packed.size()}) {
      TokenCheck check = CheckInPieces(packed, piece);
      EXPECT_EQ(check.problem, nullptr) << "piece " << piece;
      EXPECT_EQ(check.produced, static_cast<int64_t>(input.size()));
    }
  }
}

// Random token streams, each copy placed inside or (now and then) outside the
// window and the last token sometimes cut: the check must flag exactly the
// streams that hold a bad token, and for the others count the length that
// the decoder produces.
TEST(TokenCheck, AgreesWithTheDecoderOnRandomStreams) {
  int sound = 0;
  for (uint32_t seed = 0; seed < 2000; seed++) {
    std::mt19937 random(seed);
    std::vector<uint8_t> stream;
    int64_t produced = 0;
    bool bad = false;
    int tokens = 1 + static_cast<int>(random() % 30);
    for (int t = 0; t < tokens; t++) {
      int64_t window = std::min<int64_t>(produced, kHistoryWindowSize);
      int32_t n = 4 + static_cast<int32_t>(random() % 128);
      if (random() % 2 == 0 || window < n) {
        int32_t run = 1 + static_cast<int32_t>(random() % 128);
        stream.push_back(static_cast<uint8_t>(run - 1));
        stream.insert(stream.end(), static_cast<size_t>(run), static_cast<uint8_t>(random()));
        produced += run;
        continue;
      }
      int64_t q = 1 + static_cast<int64_t>(random() % (window - n + 1));
      if (random() % 25 == 0) {
        q = window - n + 2 + static_cast<int64_t>(random() % (n - 1));  // runs past the newest byte
        bad = true;
      }
      stream.push_back(static_cast<uint8_t>(n + 124));
      stream.push_back(static_cast<uint8_t>(q));
      produced += n;
    }
    if (random() % 10 == 0) {
      stream.pop_back();  // cuts the last token
      bad = true;
    }
    TokenCheck check = CheckInPieces(stream, 1 + seed % 300);
    ASSERT_EQ(check.problem != nullptr, bad) << "seed " << seed;
    if (!bad) {
      sound++;
      EXPECT_EQ(check.produced, produced) << "seed " << seed;
      EXPECT_EQ(DecodedLength(stream), produced) << "seed " << seed;
    }
  }
  EXPECT_GT(sound, 1000);
}

TEST(TokenCheck, FlagsCopiesOutsideTheWindowAndCutTokens) {
  struct Case {
    std::string hex;
    bool sound;
    int64_t problemOffset;
  };
  const Case cases[] = {
      {"03 41 42 43 44 80 01", true, 0},        // copy 4 from position 1 of 4 bytes
      {"03 41 42 43 44 80 02", false, 5},       // would run one byte past the window
      {"03 41 42 43 44 80 00", false, 5},       // position 0
      {"80 01", false, 0},                      // a copy before any output
      {"00 41 00 42 05 41 42", false, 4},       // literal run cut short
      {"03 41 42 43 44 81", false, 5},          // copy without its position byte
      {"03 41 42 43 44 80 01 84 01", true, 0},  // the copy may reach the newest byte
  };
  for (const Case& c : cases) {
    TokenCheck check = CheckInPieces(BytesOfHex(c.hex), 1);
    EXPECT_EQ(check.problem == nullptr, c.sound) << c.hex;
    if (!c.sound) {
      EXPECT_EQ(check.problemOffset, c.problemOffset) << c.hex;
    }
  }
  // Past 256 produced bytes the window stays 256 long: position 256 holds the
  // newest byte, and a copy of 4 may start no later than position 253.
  std::vector<uint8_t> full;
  for (int run = 0; run < 3; run++) {
    full.push_back(0x7F);
    full.insert(full.end(), 128, static_cast<uint8_t>('x' + run));
  }
  std::vector<uint8_t> inside = full;
  inside.insert(inside.end(), {0x80, 0xFD});
  std::vector<uint8_t> outside = full;
  outside.insert(outside.end(), {0x80, 0xFE});
  EXPECT_EQ(CheckInPieces(inside, 3).problem, nullptr);
  EXPECT_NE(CheckInPieces(outside, 3).problem, nullptr);
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
  BinaryFile last = OpenQueuedOutput(&queue, "LAST", -1);
  CloseBinaryFile(&last);
  EXPECT_FALSE(EndOutputQueue(&queue));
  for (const auto& [name, bytes] : expected) {
    ASSERT_EQ(ContentOf(folder.path / name), bytes) << name;
  }
  EXPECT_TRUE(std::filesystem::is_directory(folder.path / "BLOCKED"));
  EXPECT_TRUE(std::filesystem::exists(folder.path / "LAST"));
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

  auto normalise = [](int codePage, const std::string& stored) {
    return NormaliseNameInCodePage(codePage, stored.data(), static_cast<int32_t>(stored.size()),
                                   kTaggedLayout);
  };
  // Code page 1252 as the installer's own table maps it.
  EXPECT_EQ(normalise(1252, " caf\xE9\xFF\xB5\xDF.txt "), "CAF\xC9\x9F\xB5\xDF.TXT");
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
