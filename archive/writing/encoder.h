// Compression of an archive entry into the token stream that the entry decoder
// (archive/decoder.h) reads.
//
// The parse is optimal: for every input the packed size is the smallest the
// token format allows. Tokens are literal runs of 1 to 128 bytes (control byte,
// then the bytes) and copies of 4 to 131 bytes (control byte, then a 1-based
// position in the window of the last 256 produced bytes). A copy's source lies
// wholly inside the window and before the copy's own output, so the decoder
// never has to clip it.
//
// CompressBytes keeps the whole input in memory and adds one byte per input
// byte for the parse, plus the packed output. CompressStream reads its input
// twice, a block at a time, and holds about three blocks, whatever the size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Called every so often while compressing, with the number of input bytes done
// so far, and once at the end with the whole length.
typedef void (*CompressProgressCallback)(void* context, size_t bytesDone);

// Replaces packed with the compressed form of input[0..length).
void CompressBytes(const uint8_t* input, size_t length, std::vector<uint8_t>* packed,
                   CompressProgressCallback onProgress = nullptr, void* context = nullptr);

// An input read piece by piece: read fills bytes with count bytes from
// position on and returns false when it cannot.
struct InputStream {
  bool (*read)(void* context, int64_t position, uint8_t* bytes, size_t count);
  void* context;
  size_t length;
};

// Where a streamed compression goes: begin hears the packed size before any
// packed byte (false refuses it), write takes the packed bytes in order
// (false stops the compression).
struct StreamOutput {
  bool (*begin)(void* context, int64_t packedSize);
  bool (*write)(void* context, const uint8_t* bytes, size_t count);
  void* context;
};

// Compresses the input into exactly the bytes CompressBytes makes of it, in two
// passes of blocks of blockSize bytes: the first, from the end, computes the
// cheapest encoding's size and keeps the parse state at every block boundary;
// the second chooses each block again from its state and emits it. No choice
// is ever made before the whole input has been seen. Returns false with the
// reason in error when a read or write fails, begin refuses, or the input
// changed between the passes.
bool CompressStream(const InputStream& input, size_t blockSize, const StreamOutput& output,
                    CompressProgressCallback onProgress, void* context, std::string* error);
