// Entry names: trimming per layout, the code page 1252 upper case of the host
// build, and the rule that keeps extracted files inside their folder.
#include "archive/entry_name.h"

#include <gtest/gtest.h>

#include <string>

#include "archive/container.h"

namespace {

std::string Normalise(const std::string& stored, int32_t layout) {
  char out[kMaxEntryNameLength + 1];
  int32_t length =
      NormaliseEntryName(stored.data(), static_cast<int32_t>(stored.size()), layout, out);
  EXPECT_EQ(out[length], '\0');
  return std::string(out, static_cast<size_t>(length));
}

std::string Upper(std::string text) {
  UpperCaseAnsi(&text[0], static_cast<int32_t>(text.size()));
  return text;
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
  EXPECT_EQ(Normalise(" Setup.exe ", kTaggedLayout), "SETUP.EXE");
  EXPECT_EQ(Normalise("  Setup.exe ", kFixedLayout), "  SETUP.EXE");
  EXPECT_EQ(Normalise("README.TXT  ", kFixedLayout), "README.TXT");
  EXPECT_EQ(Normalise("   ", kTaggedLayout), "");
  EXPECT_EQ(Normalise("            ", kFixedLayout), "");
  // Only 0x20 is trimmed; other blanks stay.
  EXPECT_EQ(Normalise("\ta b\t", kTaggedLayout), "\tA B\t");
  EXPECT_EQ(Normalise(std::string(256, 'q'), kTaggedLayout), std::string(256, 'Q'));
}

TEST(EntryNameTest, UpperCaseFollowsCodePage1252) {
  EXPECT_EQ(Upper("setup.exe_az{}`@"), "SETUP.EXE_AZ{}`@");
  // Accented letters, s/oe/z with caron, y with diaeresis.
  EXPECT_EQ(Upper("\xE0\xE9\xF6\xFE\x9A\x9C\x9E\xFF"), "\xC0\xC9\xD6\xDE\x8A\x8C\x8E\x9F");
  // Division sign, micro sign, sharp s and the capitals themselves stay.
  EXPECT_EQ(Upper("\xF7\xB5\xDF\xC0\x8A\x9F\xD7"), "\xF7\xB5\xDF\xC0\x8A\x9F\xD7");
  EXPECT_EQ(Upper(std::string("\x00\x80\x83\xAA\xBA", 5)), std::string("\x00\x80\x83\xAA\xBA", 5));
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
