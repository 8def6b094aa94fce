// CRC-32 of the IEEE polynomial (reflected 0xEDB88320, initial and final value
// all ones), the checksum of zip, gzip and zlib's crc32(), so that a value
// computed here can be checked with common tools.
#pragma once

#include <cstddef>
#include <cstdint>

// The CRC-32 of the bytes before, continued over size more bytes at data:
// crc is 0 for the first piece, then the result of the previous call.
uint32_t UpdateCrc32(uint32_t crc, const uint8_t* data, size_t size);
