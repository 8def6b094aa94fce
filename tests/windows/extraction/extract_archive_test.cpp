// ExtractArchive on real folders, with the progress display replaced by a
// recording one: what is written where, what is kept, and the display calls.
#include <algorithm>
#include <map>

#include "archive/decoder_routine.h"
#include "extraction/binary_file_windows.h"
#include "extraction/extract_archive.h"
#include "extraction_test_support.h"
#include "frame_test_support.h"

namespace {

const char kCaption[] = "caption Extracting Installation Files...";

std::vector<std::string> Calls(std::vector<std::string> middle) {
  std::vector<std::string> calls = {"start", kCaption};
  calls.insert(calls.end(), middle.begin(), middle.end());
  calls.push_back("close");
  return calls;
}

// A scratch folder holding the archive "payload.eek" and the output folder "out".
class ExtractArchiveTest : public ScratchFolderTest {
 protected:
  void SetUp() override {
    ScratchFolderTest::SetUp();
    out = Path(L"out");
    archive = Path(L"payload.eek");
    ASSERT_TRUE(CreateDirectoryW(out.c_str(), nullptr));
  }

  // Writes the archive and extracts it into folderText.
  ExtractionOutcome Extract(const std::string& bytes, const std::wstring& folderText) {
    WriteWholeFile(archive, bytes);
    return ExtractFile(archive, folderText);
  }

  ExtractionOutcome ExtractFile(const std::wstring& path, const std::wstring& folderText) {
    ClearDisplayCalls();
    return ExtractArchive(recordingDisplay, GetDesktopWindow(), Ansi(path), Ansi(folderText));
  }

  // Expects that the output folder holds exactly these files and contents.
  void ExpectOutput(const std::map<std::wstring, std::string>& files) {
    std::vector<std::wstring> listed = SystemOrder(out);
    EXPECT_EQ(listed.size(), files.size());
    for (const auto& file : files) {
      EXPECT_EQ(std::count(listed.begin(), listed.end(), file.first), 1)
          << "not listed with this exact name: " << Ansi(file.first).chars;
      EXPECT_EQ(ReadWholeFile(out + L"\\" + file.first), file.second) << Ansi(file.first).chars;
    }
  }

  std::wstring out;
  std::wstring archive;
};

}  // namespace

TEST_F(ExtractArchiveTest, WritesEveryEntryUnderItsNormalisedNameReplacingStaleFiles) {
  WriteWholeFile(Path(L"out\\A.TXT"), std::string(5000, 's'));
  WriteWholeFile(Path(L"out\\EMPTY.DAT"), "stale");
  WriteWholeFile(Path(L"out\\OTHER.TXT"), "untouched");
  TestEntry inner = PackedEntry("inner.txt", "nested");
  TestEntry a = PackedEntry("a.txt", "short now");
  TestEntry setup = PackedEntry(" Setup.exe ", SampleContent(70000, 7));
  TestEntry nested = PackedEntry("Nested.eek", TaggedArchive({inner}));
  TestEntry empty = PackedEntry("empty.dat", "");
  Extract(TaggedArchive({a, setup, nested, empty}), out);
  ExpectOutput({{L"A.TXT", a.content},
                {L"SETUP.EXE", setup.content},
                {L"NESTED.EEK", nested.content},
                {L"EMPTY.DAT", ""},
                {L"OTHER.TXT", "untouched"}});
  EXPECT_EQ(displayParent, GetDesktopWindow());
  EXPECT_EQ(displayCalls.back(), "close");

  // The decoder's two routines, plain word moves and (where the processor has
  // them: SSE2 on the 32-bit build) vector moves, write the same files.
  TestEntry copies = PackedEntry("copies.bin", SampleContent(300000, 3));
  for (DecoderRoutine routine : {kWordDecoderRoutine, kVectorDecoderRoutine}) {
    if (!ChooseDecoderRoutine(routine)) {
      continue;  // a 32-bit processor without SSE2 has the word moves alone
    }
    Extract(TaggedArchive({copies}), out);
    EXPECT_EQ(ReadWholeFile(Path(L"out\\COPIES.BIN")), copies.content) << routine;
  }
}

TEST_F(ExtractArchiveTest, LaterEntryOfTheSameNameWins) {
  TestEntry first = PackedEntry("same.txt", SampleContent(9000, 1));
  TestEntry second = PackedEntry(" SAME.TXT", "the later one");
  Extract(TaggedArchive({first, second}), out);
  ExpectOutput({{L"SAME.TXT", second.content}});
}

TEST_F(ExtractArchiveTest, FixedLayoutKeepsLeadingSpacesAndCountsToTheWholeLength) {
  TestEntry readme = PackedEntry("readme.txt", SampleContent(3000, 3));
  TestEntry spaced = LiteralEntry("  setup.exe", 400);
  Extract(FixedArchive({readme, spaced}), out);
  ExpectOutput({{L"README.TXT", readme.content}, {L"  SETUP.EXE", spaced.content}});
  EXPECT_EQ(displayCalls.at(displayCalls.size() - 2), "bar 100");
}

// Files the clearing kept are never written: one whose bytes are the entry's
// is installed already, any other is reported, the first by its path.
TEST_F(ExtractArchiveTest, FilesTheClearingKeptAreLeftAndTheWalkStaysInStep) {
  CreateFileWith(Path(L"out\\READONLY.TXT"), FILE_ATTRIBUTE_READONLY);
  CreateFileWith(Path(L"out\\HIDDEN.TXT"), FILE_ATTRIBUTE_HIDDEN);
  CreateFileWith(Path(L"out\\SYSTEM.TXT"), FILE_ATTRIBUTE_SYSTEM);
  CreateFileWith(Path(L"out\\BUSY.TXT"));
  HANDLE busy = CreateFileW(Path(L"out\\BUSY.TXT").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            0, nullptr);
  ASSERT_NE(busy, INVALID_HANDLE_VALUE);
  std::vector<TestEntry> entries;
  for (const char* name : {"readonly.txt", "hidden.txt", "system.txt", "busy.txt", "same.txt",
                           "shorter.txt", "longer.txt", "samehid.txt", "after.txt"}) {
    entries.push_back(PackedEntry(name, SampleContent(5000, name[0] + name[4])));
  }
  std::map<std::wstring, std::string> kept = {{L"SAME.TXT", entries[4].content},
                                              {L"SHORTER.TXT", entries[5].content.substr(1)},
                                              {L"LONGER.TXT", entries[6].content + "+"},
                                              {L"SAMEHID.TXT", entries[7].content}};
  for (const auto& file : kept) {
    WriteWholeFile(Path(L"out\\" + file.first), file.second);
    SetFileAttributesW(Path(L"out\\" + file.first).c_str(), file.first == L"SAMEHID.TXT"
                                                                ? FILE_ATTRIBUTE_HIDDEN
                                                                : FILE_ATTRIBUTE_READONLY);
  }
  FILETIME before = {}, after = {};
  HANDLE same = CreateFileW(Path(L"out\\SAME.TXT").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  GetFileTime(same, nullptr, nullptr, &before);
  CloseHandle(same);
  ExtractionOutcome outcome = Extract(TaggedArchive(entries), out);
  CloseHandle(busy);
  kept.insert({{L"READONLY.TXT", "data"},
               {L"HIDDEN.TXT", "data"},
               {L"SYSTEM.TXT", "data"},
               {L"BUSY.TXT", "data"},
               {L"AFTER.TXT", entries.back().content}});
  ExpectOutput(kept);
  EXPECT_EQ(outcome.unwrittenCount, 6);  // all but SAME.TXT, SAMEHID.TXT and AFTER.TXT
  EXPECT_STREQ(outcome.firstUnwrittenPath.chars, Ansi(Path(L"out\\READONLY.TXT")).chars);
  EXPECT_EQ(GetFileAttributesW(Path(L"out\\SAME.TXT").c_str()) & FILE_ATTRIBUTE_READONLY,
            static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  same = CreateFileW(Path(L"out\\SAME.TXT").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                     OPEN_EXISTING, 0, nullptr);
  GetFileTime(same, nullptr, nullptr, &after);
  CloseHandle(same);
  EXPECT_EQ(CompareFileTime(&before, &after), 0) << "the kept file was written to";
}

TEST_F(ExtractArchiveTest, RefusedNamesWriteNothingAndTheWalkGoesOn) {
  WriteWholeFile(Path(L"SENTINEL.TXT"), "sentinel");
  std::wstring wideFolder = out + L"\\";
  std::string longest(kInstalledPathLimit - wideFolder.size(), 'L');
  // A path of exactly the limit is written; one unit more is refused, as the
  // open would cut it into a different name.
  std::vector<TestEntry> entries = {PackedEntry(longest, "fits exactly")};
  for (std::string name :
       {std::string("..\\SENTINEL.TXT"), Ansi(Path(L"SENTINEL.TXT")).chars + std::string(),
        std::string("sub\\x.txt"), std::string("../SENTINEL.TXT"), std::string("CON"),
        std::string("nul.txt"), std::string("name."), std::string("STREAM:x"),
        std::string(longest.size() + 1, 'M')}) {
    entries.push_back(PackedEntry(name, SampleContent(3000, 5)));
    entries.push_back(PackedEntry("after.txt", name));
  }
  ExtractionOutcome outcome = Extract(TaggedArchive(entries), out);
  ExpectOutput({{L"AFTER.TXT", std::string(longest.size() + 1, 'M')},
                {std::wstring(longest.begin(), longest.end()), "fits exactly"}});
  // Each refused name, and the over-long path, is an entry not installed;
  // the first is named by the path it would have had.
  EXPECT_FALSE(outcome.archiveDamaged);
  EXPECT_EQ(outcome.unwrittenCount, 9);
  EXPECT_EQ(outcome.firstUnwrittenPath.chars,
            Ansi(wideFolder).chars + std::string("..\\SENTINEL.TXT"));
  EXPECT_EQ(ReadWholeFile(Path(L"SENTINEL.TXT")), "sentinel");
  EXPECT_EQ(SystemOrder(folder).size(), 3u);  // out, payload.eek, SENTINEL.TXT

  // A name with nothing left once trimmed has no text to show: its number.
  outcome = Extract(TaggedArchive({PackedEntry("a.txt", "a"), PackedEntry("  ", "blank"),
                                   PackedEntry("con", "device"), PackedEntry("b.txt", "b")}),
                    out);
  EXPECT_EQ(outcome.unwrittenCount, 2);
  EXPECT_STREQ(outcome.firstUnwrittenPath.chars, "entry 2");
  EXPECT_EQ(ReadWholeFile(out + L"\\B.TXT"), "b");
}

// On a double-byte code page the rule judges characters, not bytes: in code
// page 932 the names 表 (95 5C) and ポ (83 7C) end in the ASCII bytes of a
// backslash and "|", and the trail byte 0x61 of ヂ is no "a" to upper-case. The test entry
// extraction_code_page_932 runs this under code page 932.
TEST_F(ExtractArchiveTest, DoubleByteNamesOnCodePage932) {
  if (GetACP() != 932) {
    GTEST_SKIP() << "needs ANSI code page 932, not " << GetACP();
  }
  Extract(TaggedArchive({PackedEntry("\x95\x5C", "hyou"), PackedEntry("\x83\x7C.txt", "po"),
                         PackedEntry("\x83\x61x.txt", "di"), PackedEntry("\x95\x5C\\x", "no")}),
          out);
  ExpectOutput({{L"\u8868", "hyou"}, {L"\u30DD.TXT", "po"}, {L"\u30C2X.TXT", "di"}});
}

TEST_F(ExtractArchiveTest, OutputPathRules) {
  TestEntry entry = PackedEntry("setup.exe", "content");
  Extract(TaggedArchive({entry}), out + L"\\\\");
  ExpectOutput({{L"SETUP.EXE", "content"}});

  ASSERT_TRUE(SetCurrentDirectoryW(Path(L"out").c_str()));
  TestEntry here = PackedEntry("here.txt", "in the current directory");
  Extract(TaggedArchive({here}), L"");
  EXPECT_EQ(ReadWholeFile(Path(L"out\\HERE.TXT")), here.content);

  std::wstring rootName = L"XT" + std::to_wstring(GetCurrentProcessId()) + L".TXT";
  TestEntry root = PackedEntry(Ansi(rootName).chars, "at the root");
  Extract(TaggedArchive({root}), L"C:\\");
  EXPECT_EQ(ReadWholeFile(L"C:\\" + rootName), root.content);
  DeleteFileW((L"C:\\" + rootName).c_str());
}

// An empty archive is one without entries; one that is gone or cannot be
// opened is missing, and is never made anew by the open.
TEST_F(ExtractArchiveTest, EmptyOrUnreadableArchiveOpensAndClosesTheDisplay) {
  ExtractionOutcome outcome = Extract("", out);
  EXPECT_EQ(displayCalls, Calls({}));
  EXPECT_FALSE(outcome.archiveMissing);

  WriteWholeFile(archive, TaggedArchive({PackedEntry("x.txt", "x")}));
  HANDLE held = CreateFileW(archive.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  outcome = ExtractFile(archive, out);
  CloseHandle(held);
  EXPECT_EQ(displayCalls, Calls({}));
  EXPECT_TRUE(outcome.archiveMissing);
  EXPECT_FALSE(outcome.archiveDamaged);
  ExpectOutput({});

  outcome = ExtractFile(Path(L"missing.eek"), out);
  EXPECT_TRUE(outcome.archiveMissing);
  EXPECT_TRUE(displayCalls.empty());
  EXPECT_FALSE(Exists(Path(L"missing.eek")));
}

TEST_F(ExtractArchiveTest, EachNewPercentageGoesToTheLabelThenTheBar) {
  Extract(TaggedArchive({LiteralEntry("EIGHT.XX", 3000)}), out);
  ASSERT_EQ(ReadWholeFile(archive).size(), 3018u);
  EXPECT_EQ(displayCalls, Calls({"label  68 %", "bar 68", "label  100 %", "bar 100"}));

  // Many entries: every change sent once, in rising order, label before bar.
  // Their 20-byte names are 1 % of the archive and not counted.
  std::vector<TestEntry> entries;
  for (int i = 0; i < 40; ++i) {
    std::string name = "F" + std::to_string(i);
    entries.push_back(LiteralEntry(name + std::string(20 - name.size(), '_'), 50 + 97 * i));
  }
  Extract(TaggedArchive(entries), out);
  int last = 0;
  for (size_t i = 2; i + 1 < displayCalls.size(); i += 2) {
    int percent = std::stoi(displayCalls[i + 1].substr(4));
    EXPECT_GT(percent, last);
    EXPECT_EQ(displayCalls[i], "label  " + std::to_string(percent) + " %");
    last = percent;
  }
  EXPECT_EQ(displayCalls.back(), "close");
  EXPECT_EQ(last, 99);
}

TEST_F(ExtractArchiveTest, DamagedOrCutArchiveEndsTheWalkAndClosesTheDisplay) {
  TestEntry good = PackedEntry("good.txt", SampleContent(4000, 9));
  TestEntry bad = PackedEntry("bad.txt", "bad");
  std::string bytes = TaggedArchive({good, bad, PackedEntry("later.txt", "later")});
  size_t badSize = TaggedArchive({good}).size() + 2;
  bytes[badSize + 3] = static_cast<char>(0x80);  // a negative packed size
  EXPECT_TRUE(Extract(bytes, out).archiveDamaged);
  ExpectOutput({{L"GOOD.TXT", good.content}});
  EXPECT_EQ(displayCalls.back(), "close");

  TestEntry cut = LiteralEntry("cut.txt", 3000);
  std::string cutBytes = TaggedArchive({cut});
  EXPECT_TRUE(Extract(cutBytes.substr(0, 17 + 129 * 4), out).archiveDamaged);
  EXPECT_EQ(ReadWholeFile(Path(L"out\\CUT.TXT")), cut.content.substr(0, 128 * 4));
  EXPECT_EQ(displayCalls.back(), "close");

  // One whole entry, then the first byte (or the first few) of the next
  // header: the cut header has no name to read, and must still count as cut.
  std::string whole = TaggedArchive({good});
  std::string two = TaggedArchive({good, bad});
  EXPECT_FALSE(Extract(whole, out).archiveDamaged);
  for (size_t extra : {1, 2, 9}) {
    EXPECT_TRUE(Extract(two.substr(0, whole.size() + extra), out).archiveDamaged) << extra;
  }
  // Data that decodes, but not as a writer's does: a copy from outside the window.
  TestEntry stray = {"stray.txt", "", {0x00, 'x', 0x80, 0x05}};
  EXPECT_TRUE(Extract(TaggedArchive({good, stray}), out).archiveDamaged);
}
