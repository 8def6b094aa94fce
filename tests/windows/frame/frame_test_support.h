// Support for the frame tests under Wine: the frame set up once per test
// program, scratch folders on drive C: and files with given attributes.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "frame/ansi_text.h"

// Installer paths are ANSI texts; the test paths are plain ASCII.
AnsiText Ansi(const std::wstring& path);
std::wstring Wide(const AnsiText& text);

// Creates an empty file and gives it the attributes (a test failure when the
// file system does not keep them).
void CreateFileWith(const std::wstring& path, DWORD attributes = FILE_ATTRIBUTE_NORMAL);
void CreateFolderWith(const std::wstring& path, DWORD attributes = FILE_ATTRIBUTE_NORMAL);
bool Exists(const std::wstring& path);

// The names FindFirstName/FindNextName deliver for pattern and filter.
std::set<std::string> ListNames(const std::wstring& pattern, uint32_t filter);

// The entries of a folder in the order the system lists them, without "." and "..".
std::vector<std::wstring> SystemOrder(const std::wstring& folder);

// A fresh folder C:\ft<process>-<n> for each test, removed with all its
// contents afterwards; the current directory is restored too.
class ScratchFolderTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::wstring Path(const std::wstring& name) const { return folder + L"\\" + name; }

  std::wstring folder;

 private:
  wchar_t savedDirectory[MAX_PATH];
};
