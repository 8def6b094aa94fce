// Entry names: trimming per layout, and the rule that keeps extracted files
// inside their folder.
#include "archive/entry_name.h"

#include <gtest/gtest.h>

#include <string>

#include "archive/container.h"

namespace {

std::string Trim(const std::string& stored, int32_t layout) {
  int32_t first = -1;
  int32_t length =
      TrimEntryName(stored.data(), static_cast<int32_t>(stored.size()), layout, &first);
  EXPECT_GE(first, 0);
  return stored.substr(static_cast<size_t>(first), static_cast<size_t>(length));
}

bool IsSafe(const std::u16string& name) {
  return IsSafeEntryName(name.data(), static_cast<int32_t>(name.size()));
}

// A code page 1252 name as the rule sees it: the characters it singles out
// (ASCII and the superscripts 0xB2, 0xB3, 0xB9) have the byte's value in UTF-16.
bool IsSafe(const std::string& name) {
  std::u16string units;
  for (char c : name) {
    units.push_back(static_cast<char16_t>(static_cast<uint8_t>(c)));
  }
  return IsSafe(units);
}

TEST(EntryNameTest, TrimsSpacesPerLayout) {
  EXPECT_EQ(Trim(" Setup.exe ", kTaggedLayout), "Setup.exe");
  EXPECT_EQ(Trim("  Setup.exe ", kFixedLayout), "  Setup.exe");
  EXPECT_EQ(Trim("README.TXT  ", kFixedLayout), "README.TXT");
  EXPECT_EQ(Trim("   ", kTaggedLayout), "");
  EXPECT_EQ(Trim("            ", kFixedLayout), "");
  // Only 0x20 is trimmed; other blanks stay.
  EXPECT_EQ(Trim("\ta b\t", kTaggedLayout), "\ta b\t");
  EXPECT_EQ(Trim(std::string(256, 'q'), kTaggedLayout), std::string(256, 'q'));
}

TEST(EntryNameTest, SafeNamesStayInsideTheFolder) {
  const char* accepted[] = {
      "SETUP.EXE",   " LEADING SPACE", "CAF\xC9.TXT", "A.B.C",
      "CONSOLE.TXT", "CON1",           "COM10",       "LPT",
      "NULL",        "XCON",           "COM\xB4",     "AUX_",
      "CONIN",       "\xFF\x80",       ".HIDDEN",     "..A",
  };
  for (const char* name : accepted) {
    EXPECT_TRUE(IsSafe(name)) << name;
  }
  const char* refused[] = {
      ".",           "..",       "...",          "A\\B",        "\\ROOT",     "A/B",    "C:X",
      "FILE:STREAM", "A\x01",    "\x1F",         "A\x7F",       "A<B",        "A>B",    "A\"B",
      "A|B",         "A?",       "*.*",          "SETUP.EXE.",  "SETUP.EXE ", "CON",    "con",
      "CON.TXT",     "CON .TXT", "Con  .tar.gz", "NUL",         "AUX.LOG",    "PRN",    "COM0",
      "COM1",        "lpt9.doc", "COM\xB9",      "LPT\xB2.TXT", "com\xB3",    "CONIN$", "conout$.x",
  };
  for (const char* name : refused) {
    EXPECT_FALSE(IsSafe(name)) << name;
  }
  EXPECT_FALSE(IsSafe(""));
  EXPECT_FALSE(IsSafe(std::string("A\0B", 3)));
}

TEST(EntryNameTest, JudgesCharactersNotBytes) {
  // Code page 932 stores these with the trail byte 0x5C or 0x7C (a backslash or | in ASCII);
  // as characters they are plain, and so is a fullwidth device-like name.
  for (const std::u16string& name :
       {std::u16string(u"\u8868.TXT"), std::u16string(u"\u30BD\u30D5\u30C8"),
        std::u16string(u"\u80FD\u529B"), std::u16string(u"\uFF23\uFF2F\uFF2E"),
        std::u16string(u"\u00A5\u20A9")}) {
    EXPECT_TRUE(IsSafe(name));
  }
  for (const std::u16string& name :
       {std::u16string(u"\u8868\\X"), std::u16string(u"\u8868|"), std::u16string(u"COM\u00B9.TXT"),
        std::u16string(u"\u8868.")}) {
    EXPECT_FALSE(IsSafe(name));
  }
}

}  // namespace
