// SHA-256 (FIPS 180-4), fed in pieces: eek --version names the default stub
// by its digest, which a publisher compares with the one a release lists.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class Sha256 {
 public:
  Sha256();
  void Update(const uint8_t* data, size_t size);
  // The digest of everything fed so far, as 64 lower-case hex digits; the
  // object is spent afterwards.
  std::string FinishHex();

 private:
  void Block(const uint8_t* block);

  uint32_t state_[8];
  uint8_t pending_[64];
  size_t pendingSize_;
  uint64_t totalSize_;
};
