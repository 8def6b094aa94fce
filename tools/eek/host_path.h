// Paths of the host's file system from and to eek's UTF-8 texts. On Windows the
// standard library reads a narrow path in another encoding than it writes one,
// so every conversion says UTF-8 explicitly.
#pragma once

#include <filesystem>
#include <string>

inline std::filesystem::path HostPath(const std::string& utf8) {
  return std::filesystem::u8path(utf8);
}

inline std::string HostPathText(const std::filesystem::path& path) {
  return path.u8string();
}
