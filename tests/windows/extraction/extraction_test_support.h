// Support for the extraction tests under Wine: archives built in memory in
// both entry layouts, whole-file reads and writes, and the calls that the
// extraction made to the (recording) progress display.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "extraction/extract_archive.h"

struct TestEntry {
  std::string storedName;
  std::string content;          // what the entry unpacks to
  std::vector<uint8_t> packed;  // its token stream
};

// An entry compressed by the project's encoder.
TestEntry PackedEntry(const std::string& storedName, const std::string& content);

// An entry of literal runs only, whose token stream is exactly packedSize bytes
// long (0 or at least 2).
TestEntry LiteralEntry(const std::string& storedName, int32_t packedSize);

// Tagged layout: 10-byte header, name, data.
std::string TaggedArchive(const std::vector<TestEntry>& entries);

// Fixed layout: 12-byte space-padded name, 8-character decimal end position, data.
std::string FixedArchive(const std::vector<TestEntry>& entries);

// Bytes of varied content that the encoder both copies and keeps literal.
std::string SampleContent(int32_t length, uint32_t seed);

void WriteWholeFile(const std::wstring& path, const std::string& bytes);
// The file's bytes; "<missing>" when it cannot be opened.
std::string ReadWholeFile(const std::wstring& path);

// A progress display that records the extraction's calls instead of showing a
// window: since the last ClearDisplayCalls, one line each in displayCalls:
// "start", "caption <text>" (a text for the window start returned), "label
// <text>", "bar <percent>", "close"; a text for any other window is
// "text <text>".
extern const ExtractionDisplay recordingDisplay;
extern std::vector<std::string> displayCalls;
void ClearDisplayCalls();
// The parent window that the last start was given.
extern HWND displayParent;
