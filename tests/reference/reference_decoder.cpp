#include "tests/reference/reference_decoder.h"

#include <algorithm>

namespace {

const size_t kWindow = 256;
const int64_t kChunk = 2048;
const size_t kThreshold = 129;
const size_t kFlush = 2048;

// The bytes a token produces from the window as it stands before the token.
std::vector<uint8_t> CopyFromWindow(const std::vector<uint8_t>& window, size_t length,
                                    size_t position) {
  std::vector<uint8_t> bytes;
  if (position == 0 || position > window.size()) {
    return bytes;
  }
  for (size_t k = position; k < position + length && k <= window.size(); ++k) {
    bytes.push_back(window[k - 1]);
  }
  return bytes;
}

void AppendToWindow(std::vector<uint8_t>* window, const std::vector<uint8_t>& bytes) {
  window->insert(window->end(), bytes.begin(), bytes.end());
  if (window->size() > kWindow) {
    window->erase(window->begin(), window->end() - kWindow);
  }
}

}  // namespace

std::vector<uint8_t> DecodeTokenStream(const uint8_t* stream, size_t length) {
  std::vector<uint8_t> output;
  std::vector<uint8_t> window;
  size_t i = 0;
  while (i < length) {
    uint8_t control = stream[i++];
    std::vector<uint8_t> produced;
    if (control < 0x80) {
      size_t run = control + 1u;
      for (size_t k = 0; k < run && i + k < length; ++k) {
        produced.push_back(stream[i + k]);
      }
      i += run;
    } else {
      if (i == length) {
        break;
      }
      produced = CopyFromWindow(window, control - 124u, stream[i]);
      i += 1;
    }
    output.insert(output.end(), produced.begin(), produced.end());
    AppendToWindow(&window, produced);
  }
  return output;
}

DecompressionRun SimulateDecompression(const uint8_t* archive, size_t archiveSize, size_t position,
                                       int64_t dataStart, int64_t dataEnd, int32_t deliveryLimit) {
  DecompressionRun run;
  std::vector<uint8_t> input;
  std::vector<uint8_t> pending;
  std::vector<uint8_t> window;
  int64_t consumed = 0;  // packed bytes decoded in earlier passes
  int64_t start = dataStart;
  for (;;) {
    // Refill.
    if (dataEnd > start) {
      int64_t chunk = std::min(dataEnd - start, kChunk);
      size_t left = position < archiveSize ? archiveSize - position : 0;
      size_t delivered = std::min(left, static_cast<size_t>(chunk));
      if (deliveryLimit > 0) {
        delivered = std::min(delivered, static_cast<size_t>(deliveryLimit));
      }
      input.insert(input.end(), archive + position, archive + position + delivered);
      position += delivered;
      run.delivered += delivered;
      run.lastReadShort = delivered < static_cast<size_t>(chunk);
      run.anyReadShort = run.anyReadShort || run.lastReadShort;
      start += chunk;
      run.chunks.push_back(static_cast<int32_t>(chunk));
      run.writtenBeforeChunk.push_back(run.produced.size());
    }
    if (input.empty()) {
      break;
    }
    // Decode pass: the first token whatever is left, then tokens while at
    // least 129 bytes remain.
    size_t m = input.size();
    size_t i = 0;
    for (;;) {
      if (i >= m) {
        break;
      }
      const int64_t tokenOffset = consumed + static_cast<int64_t>(i);
      uint8_t control = input[i++];
      std::vector<uint8_t> produced;
      bool cut = false;
      bool outside = false;
      if (control >= 0x80) {
        if (i < m) {
          produced = CopyFromWindow(window, control - 124u, input[i]);
          outside = produced.size() < control - 124u;
        } else {
          cut = true;
        }
        i += 1;
      } else {
        for (size_t k = 0; k <= control && i + k < m; ++k) {
          produced.push_back(input[i + k]);
        }
        cut = produced.size() < control + 1u;
        i += control + 1u;
      }
      if ((cut || outside) && run.problemOffset < 0) {
        run.problemOffset = tokenOffset;
      }
      run.cutToken = run.cutToken || cut;
      run.copyOutsideWindow = run.copyOutsideWindow || outside;
      if (pending.size() > kFlush) {
        run.writes.push_back(static_cast<int32_t>(pending.size()));
        run.produced.insert(run.produced.end(), pending.begin(), pending.end());
        pending = produced;
      } else {
        pending.insert(pending.end(), produced.begin(), produced.end());
      }
      AppendToWindow(&window, produced);
      if (i >= m || m - i < kThreshold) {
        break;
      }
    }
    if (i < m) {
      input.erase(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(i));
      consumed += static_cast<int64_t>(i);
    } else {
      input.clear();
      consumed += static_cast<int64_t>(m);
    }
  }
  if (!pending.empty()) {
    run.writes.push_back(static_cast<int32_t>(pending.size()));
    run.produced.insert(run.produced.end(), pending.begin(), pending.end());
  }
  run.endPosition = position;
  return run;
}
