#include "frame/ansi_text.h"

#include <cstring>

AnsiText EmptyText() {
  AnsiText text;
  text.length = 0;
  text.chars[0] = '\0';
  return text;
}

AnsiText TextFrom(const char* zeroTerminated) {
  AnsiText text = EmptyText();
  AppendText(&text, zeroTerminated);
  return text;
}

AnsiText TextFromChars(const char* chars, int32_t length) {
  AnsiText text = EmptyText();
  AppendChars(&text, chars, length);
  return text;
}

bool IsTextEmpty(const AnsiText& text) {
  return text.length == 0;
}

bool AreTextsEqual(const AnsiText& left, const AnsiText& right) {
  return left.length == right.length &&
         std::memcmp(left.chars, right.chars, static_cast<size_t>(left.length)) == 0;
}

void AppendChars(AnsiText* text, const char* chars, int32_t length) {
  int32_t room = kTextCapacity - text->length;
  int32_t count = length < room ? length : room;
  if (count > 0) {
    std::memcpy(text->chars + text->length, chars, static_cast<size_t>(count));
    text->length += count;
  }
  text->chars[text->length] = '\0';
}

void AppendText(AnsiText* text, const char* zeroTerminated) {
  AppendChars(text, zeroTerminated, static_cast<int32_t>(std::strlen(zeroTerminated)));
}

void AppendText(AnsiText* text, const AnsiText& tail) {
  AppendChars(text, tail.chars, tail.length);
}

void AppendDecimal(AnsiText* text, uint32_t number) {
  char digits[10];
  int32_t count = 0;
  do {
    digits[count++] = static_cast<char>('0' + number % 10);
    number /= 10;
  } while (number != 0);
  while (count > 0) {
    AppendChars(text, &digits[--count], 1);
  }
}
