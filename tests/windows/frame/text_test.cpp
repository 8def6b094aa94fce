// Texts: the fixed-capacity ANSI text, the conversions to and from UTF-16 in
// code page 1252 and in a named one, the message box service and the
// command-line tail.
#include <future>

#include "startup/command_line_windows.h"
#include "frame/message_box.h"
#include "frame/text_conversion_windows.h"
#include "frame_test_support.h"
#include "watcher/message_box_reader.h"

TEST(AnsiTextTest, AppendingKeepsWhatFitsAndTheZeroByte) {
  AnsiText text = TextFrom("Ostrel");
  AppendText(&text, TextFrom(" Setup"));
  EXPECT_EQ(std::string(text.chars, text.length), "Ostrel Setup");
  EXPECT_TRUE(AreTextsEqual(text, TextFromChars("Ostrel Setup\0", 12)));
  EXPECT_FALSE(AreTextsEqual(text, TextFromChars("Ostrel Setup\0", 13)));

  std::string full(kTextCapacity - 2, 'a');
  AnsiText filled = TextFrom(full.c_str());
  AppendText(&filled, "bcd");
  EXPECT_EQ(filled.length, kTextCapacity);
  EXPECT_EQ(std::string(filled.chars), full + "bc");
}

TEST(TextConversionTest, Code1252RoundTripsThroughUtf16) {
  ASSERT_EQ(GetACP(), 1252u) << "the Wine session is meant to run with the en-US defaults";
  // Euro sign, en dash, umlauts, accents, y with diaeresis: bytes 0x80..0xFF.
  const char ansi[] =
      "\x80 Gr\xF6\xDF"
      "e \x96 caf\xE9 \xFF\xC0";
  const WCHAR wide[] = L"\u20AC Gr\u00F6\u00DFe \u2013 caf\u00E9 \u00FF\u00C0";
  WideText converted = ToWide(TextFrom(ansi));
  EXPECT_EQ(std::wstring(converted.units, converted.length), std::wstring(wide));
  EXPECT_EQ(converted.units[converted.length], 0);
  AnsiText back = ToAnsi(converted);
  EXPECT_EQ(std::string(back.chars, back.length), std::string(ansi));
  EXPECT_EQ(std::string(ToAnsi(wide).chars), std::string(ansi));

  std::string every;
  for (int byte = 1; byte < 256; ++byte) {
    every.push_back(static_cast<char>(byte));
  }
  AnsiText all = TextFrom(every.c_str());
  EXPECT_TRUE(AreTextsEqual(ToAnsi(ToWide(all)), all));
}

// A conversion in a named code page leaves the next one, without a code page,
// in the system's: the names of a payload written in 932 are no concern of
// the texts converted after them.
TEST(TextConversionTest, NamedCodePageConvertsThatCallAlone) {
  ASSERT_EQ(GetACP(), 1252u);
  const AnsiText name = TextFrom("\x95\x5C.TXT");  // 表.TXT in 932
  WideText inNames = ToWide(name, 932);
  EXPECT_EQ(std::wstring(inNames.units, inNames.length), L"\u8868.TXT");
  WideText inSystem = ToWide(name);
  EXPECT_EQ(std::wstring(inSystem.units, inSystem.length), L"\u2022\\.TXT");
}

TEST(TextConversionTest, EmptyTextStaysEmpty) {
  EXPECT_EQ(ToWide(EmptyText()).length, 0);
  EXPECT_EQ(ToWide(EmptyText()).units[0], 0);
  EXPECT_EQ(ToAnsi(L"").length, 0);
  EXPECT_EQ(ToAnsi(L"").chars[0], '\0');
}

TEST(MessageBoxTest, ShowsConvertedTextsWithoutOwnerAndReturnsTheButton) {
  auto answered = std::async(std::launch::async, [] {
    HWND box = WaitForMessageBox(GetCurrentProcessId(), 10000);
    MessageBoxView view = box != nullptr ? ReadMessageBox(box) : MessageBoxView{};
    if (box != nullptr) {
      view.window = GetWindow(box, GW_OWNER);
      PressMessageBoxButton(box);
    }
    return view;
  });
  int32_t button = ShowMessage(TextFrom("Gr\xF6\xDF"
                                        "e \x80"),
                               TextFrom("Caf\xE9"), MB_OKCANCEL);
  MessageBoxView view = answered.get();
  EXPECT_EQ(button, IDOK);
  EXPECT_EQ(view.caption, L"Caf\u00E9");
  EXPECT_EQ(view.text, L"Gr\u00F6\u00DFe \u20AC");
  EXPECT_EQ(view.buttons.size(), 2u);
  EXPECT_EQ(view.window, nullptr) << "the box has no owner window";
}

TEST(CommandLineTest, TailFollowsTheProgramName) {
  EXPECT_EQ(std::wstring(CommandLineTail(L"setup.exe  /a b")), L"/a b");
  EXPECT_EQ(std::wstring(CommandLineTail(L"\"C:\\Ostrel Setup\\x.exe\"   -q")), L"-q");
  EXPECT_EQ(std::wstring(CommandLineTail(L"\"C:\\a b\\x.exe\"next")), L"next");
  EXPECT_EQ(std::wstring(CommandLineTail(L"\"unterminated name")), L"");
  EXPECT_EQ(std::wstring(CommandLineTail(L"x.exe\targ")), L"\targ");
  EXPECT_EQ(std::wstring(CommandLineTail(L"x.exe")), L"");
}
