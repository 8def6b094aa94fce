// Compression of an archive entry into the token stream that DecompressEntry reads.
//
// The parse is optimal: for every input the packed size is the smallest the
// token format allows. Tokens are literal runs of 1 to 128 bytes (control byte,
// then the bytes) and copies of 4 to 131 bytes (control byte, then a 1-based
// position in the window of the last 256 produced bytes). A copy's source lies
// wholly inside the window and before the copy's own output, so the decoder
// never has to clip it.
//
// The encoder keeps the whole input in memory and adds one byte per input byte
// for the parse, plus the packed output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Called every so often while compressing, with the number of input bytes done
// so far, and once at the end with the whole length.
typedef void (*CompressProgressCallback)(void* context, size_t bytesDone);

// Replaces packed with the compressed form of input[0..length).
void CompressBytes(const uint8_t* input, size_t length, std::vector<uint8_t>* packed,
                   CompressProgressCallback onProgress = nullptr, void* context = nullptr);
