#include "extraction_test_support.h"

#include <gtest/gtest.h>

#include "archive/writing/encoder.h"

namespace {

void AppendLittleEndian32(std::string* bytes, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) {
    bytes->push_back(static_cast<char>((value >> shift) & 0xFF));
  }
}

}  // namespace

TestEntry PackedEntry(const std::string& storedName, const std::string& content) {
  TestEntry entry{storedName, content, {}};
  CompressBytes(reinterpret_cast<const uint8_t*>(content.data()), content.size(), &entry.packed);
  return entry;
}

TestEntry LiteralEntry(const std::string& storedName, int32_t packedSize) {
  EXPECT_NE(packedSize, 1) << "no token stream is one byte long";
  TestEntry entry{storedName, "", {}};
  int32_t left = packedSize;
  uint8_t next = 0;
  while (left > 0) {
    // Runs of 128 bytes (129 packed), without leaving a single byte over.
    int32_t token = left > 129 ? (left - 129 == 1 ? 65 : 129) : left;
    entry.packed.push_back(static_cast<uint8_t>(token - 2));
    for (int32_t i = 1; i < token; ++i) {
      entry.packed.push_back(next);
      entry.content.push_back(static_cast<char>(next));
      next = static_cast<uint8_t>(next * 7 + 13);
    }
    left -= token;
  }
  return entry;
}

std::string TaggedArchive(const std::vector<TestEntry>& entries) {
  std::string bytes;
  for (const TestEntry& entry : entries) {
    bytes.push_back(0x02);
    bytes.push_back(static_cast<char>(entry.storedName.size() - 1));
    AppendLittleEndian32(&bytes, static_cast<uint32_t>(entry.packed.size()));
    AppendLittleEndian32(&bytes, static_cast<uint32_t>(entry.content.size()));
    bytes += entry.storedName;
    bytes.append(entry.packed.begin(), entry.packed.end());
  }
  return bytes;
}

std::string FixedArchive(const std::vector<TestEntry>& entries) {
  std::string bytes;
  for (const TestEntry& entry : entries) {
    std::string name = entry.storedName;
    name.resize(12, ' ');
    std::string end = std::to_string(bytes.size() + 20 + entry.packed.size());
    bytes += name + std::string(8 - end.size(), ' ') + end;
    bytes.append(entry.packed.begin(), entry.packed.end());
  }
  return bytes;
}

std::string SampleContent(int32_t length, uint32_t seed) {
  std::string content;
  uint32_t state = seed;
  while (static_cast<int32_t>(content.size()) < length) {
    state = state * 1103515245u + 12345u;
    if ((state >> 28) < 6 && content.size() > 300) {
      // Repeat a stretch from the last 256 bytes, so the encoder makes copies.
      size_t from = content.size() - 1 - ((state >> 8) % 250);
      content += content.substr(from, 4 + (state >> 20) % 40);
    } else {
      content.push_back(static_cast<char>(state >> 16));
    }
  }
  content.resize(static_cast<size_t>(length));
  return content;
}

void WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  ASSERT_EQ(written, bytes.size());
}

std::string ReadWholeFile(const std::wstring& path) {
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return "<missing>";
  }
  std::string bytes;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
    bytes.append(buffer, got);
  }
  CloseHandle(file);
  return bytes;
}
