// Measures, in memory, the archive decoder beside zlib's inflate and beside a
// plain memcpy of the same corpus, and the optimal encoder beside deflate at
// level 9. Times are the processor time of the measuring thread, so that
// other work on a shared machine does not count; prints the best and the
// median of the runs, MB/s (10^6 bytes of unpacked data per second, from the
// best) and the ratios, with the decoder's target; exits 0 whatever the
// figures. The measured programs take turns, run by run. The decoder runs
// with each of its block-moving routines, producing the bytes where they end
// up (as zlib's uncompress does), and once more with its own buffer, each
// piece copied out as a writer copies it.
//
// Usage: eek_bench CORPUS_FOLDER [RUNS]
#include <zlib.h>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "archive/writing/archive_writer.h"
#include "archive/container.h"
#include "archive/decoder.h"
#include "archive/decoder_routine.h"

namespace {

struct CorpusFile {
  std::string name;
  std::vector<uint8_t> bytes;
};

// A BinaryFile over a byte vector: reads from the position on, writes append.
struct MemoryBytes {
  std::vector<uint8_t>* bytes;
  size_t position;
};

int32_t ReadMemory(void* handle, uint8_t* out, int32_t count) {
  MemoryBytes* memory = static_cast<MemoryBytes*>(handle);
  size_t left = memory->bytes->size() - std::min(memory->position, memory->bytes->size());
  size_t take = std::min(left, static_cast<size_t>(count));
  std::memcpy(out, memory->bytes->data() + memory->position, take);
  memory->position += take;
  return static_cast<int32_t>(take);
}

int32_t WriteMemory(void* handle, const uint8_t* in, int32_t count) {
  MemoryBytes* memory = static_cast<MemoryBytes*>(handle);
  memory->bytes->insert(memory->bytes->end(), in, in + count);
  return count;
}

void SeekMemory(void* handle, int32_t position) {
  static_cast<MemoryBytes*>(handle)->position = static_cast<size_t>(position);
}

int64_t LengthOfMemory(void* handle) {
  return static_cast<int64_t>(static_cast<MemoryBytes*>(handle)->bytes->size());
}

void CloseMemory(void*) {}

const BinaryFileOps kMemoryOps = {ReadMemory, WriteMemory, SeekMemory, LengthOfMemory, CloseMemory};

BinaryFile FileOver(const BinaryFileOps* ops, void* handle) {
  BinaryFile file;
  file.ops = ops;
  file.handle = handle;
  file.shortRead = false;
  return file;
}

std::vector<CorpusFile> ReadCorpus(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& item : std::filesystem::directory_iterator(folder)) {
    if (item.is_regular_file()) {
      names.push_back(item.path().filename().string());
    }
  }
  std::sort(names.begin(), names.end());
  std::vector<CorpusFile> files;
  for (const std::string& name : names) {
    std::ifstream in(std::filesystem::path(folder) / name, std::ios::binary);
    files.push_back({name, std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {})});
  }
  return files;
}

// Processor time of the calling thread, in seconds.
double ThreadSeconds() {
  timespec now;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

struct Timing {
  double best;    // seconds
  double median;  // seconds
};

// Runs work `runs` times and returns the shortest and the median time.
template <typename Work>
Timing TimeRuns(int runs, Work work) {
  std::vector<double> times;
  for (int i = 0; i < runs; i++) {
    double start = ThreadSeconds();
    work();
    times.push_back(ThreadSeconds() - start);
  }
  std::sort(times.begin(), times.end());
  return {times.front(), times[times.size() / 2]};
}

// Runs each work `runs` times, taking turns, so that a spell of other work on
// a shared machine slows all of them alike and not the one that happens to be
// running; returns the shortest and the median time of each.
std::vector<Timing> TimeInTurns(int runs, const std::vector<std::function<void()>>& works) {
  std::vector<std::vector<double>> times(works.size());
  for (int i = 0; i < runs; i++) {
    for (size_t w = 0; w < works.size(); w++) {
      double start = ThreadSeconds();
      works[w]();
      times[w].push_back(ThreadSeconds() - start);
    }
  }
  std::vector<Timing> timings;
  for (std::vector<double>& each : times) {
    std::sort(each.begin(), each.end());
    timings.push_back({each.front(), each[each.size() / 2]});
  }
  return timings;
}

// Decodes every entry of the archive into output, which holds capacity
// bytes; returns the bytes produced. In place, the decoder produces each
// entry where it ends up in output; otherwise in its own buffer, from which
// each piece is copied, as a writer copies it into a file.
size_t DecodeArchive(std::vector<uint8_t>* archive, uint8_t* output, size_t capacity,
                     bool inPlace) {
  MemoryBytes memory = {archive, 0};
  BinaryFile file = FileOver(&kMemoryOps, &memory);
  ArchiveWalk walk;
  ArchiveEntry entry;
  EntryDecoder decoder;
  size_t produced = 0;
  BeginArchiveWalk(&walk, &file);
  while (ReadNextEntry(&walk, &entry)) {
    uint8_t* area = inPlace ? output + produced : nullptr;
    size_t room = std::min<size_t>(capacity - produced, INT32_MAX);
    BeginEntryDecoding(&decoder, &file, entry.dataStart, entry.dataEnd, nullptr, nullptr, area,
                       static_cast<int32_t>(room));
    const uint8_t* piece = nullptr;
    while (int32_t length = DecodeNextPiece(&decoder, &piece)) {
      if (piece != output + produced) {
        std::memcpy(output + produced, piece, static_cast<size_t>(length));
      }
      produced += static_cast<size_t>(length);
    }
  }
  return produced;
}

void PrintRate(const char* what, Timing timing, size_t bytes) {
  std::printf("  %-34s %9.1f ms best %9.1f ms median %9.1f MB/s\n", what, timing.best * 1e3,
              timing.median * 1e3, bytes / timing.best / 1e6);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: eek_bench CORPUS_FOLDER [RUNS]\n");
    return 2;
  }
  int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  std::vector<CorpusFile> files = ReadCorpus(argv[1]);
  size_t total = 0;
  for (const CorpusFile& file : files) {
    total += file.bytes.size();
  }
  std::vector<uint8_t> original;
  original.reserve(total);
  for (const CorpusFile& file : files) {
    original.insert(original.end(), file.bytes.begin(), file.bytes.end());
  }
  std::printf("corpus: %zu files, %zu bytes; best of %d runs\n", files.size(), total, runs);

  // Packing: the whole corpus into one archive, and each file deflated at level 9.
  std::vector<uint8_t> archive;
  Timing pack = TimeRuns(1, [&] {
    archive.clear();
    MemoryBytes memory = {&archive, 0};
    BinaryFile file = FileOver(&kMemoryOps, &memory);
    ArchiveWriter writer;
    std::string error;
    BeginArchiveWriter(&writer, &file, &error);
    for (const CorpusFile& corpusFile : files) {
      if (!WriteArchiveEntry(&writer, corpusFile.name, corpusFile.bytes.data(),
                             corpusFile.bytes.size(), nullptr, nullptr, &error)) {
        std::fprintf(stderr, "eek_bench: %s: %s\n", corpusFile.name.c_str(), error.c_str());
      }
    }
  });
  std::vector<std::vector<uint8_t>> deflated(files.size());
  size_t deflatedTotal = 0;
  Timing deflate = TimeRuns(1, [&] {
    deflatedTotal = 0;
    for (size_t i = 0; i < files.size(); i++) {
      uLongf size = compressBound(files[i].bytes.size());
      deflated[i].resize(size);
      compress2(deflated[i].data(), &size, files[i].bytes.data(), files[i].bytes.size(), 9);
      deflated[i].resize(size);
      deflatedTotal += size;
    }
  });

  // Room for the whole output and what the decoder needs beyond its end.
  std::vector<uint8_t> output(total + kMinOutputArea);
  auto decodeRight = [&](bool inPlace) {
    std::fill(output.begin(), output.end(), 0);
    return DecodeArchive(&archive, output.data(), output.size(), inPlace) == total &&
           std::memcmp(output.data(), original.data(), total) == 0;
  };
  auto inflateAll = [&] {
    uint8_t* next = output.data();
    for (size_t i = 0; i < files.size(); i++) {
      uLongf size = files[i].bytes.size();
      uncompress(next, &size, deflated[i].data(), deflated[i].size());
      next += size;
    }
  };
  // The processor's own routine is the one measured against the target; the
  // plain one is forced for a run of its own in every turn.
  DecoderRoutine bestRoutine = ActiveDecoderRoutine();
  ChooseDecoderRoutine(kWordDecoderRoutine);
  bool wordsRight = decodeRight(true) && decodeRight(false);
  ChooseDecoderRoutine(bestRoutine);
  bool decodedRight = decodeRight(true) && decodeRight(false);
  inflateAll();
  bool inflatedRight = std::memcmp(output.data(), original.data(), total) == 0;
  std::vector<Timing> timings = TimeInTurns(
      runs, {[&] { DecodeArchive(&archive, output.data(), output.size(), true); },
             [&] {
               ChooseDecoderRoutine(kWordDecoderRoutine);
               DecodeArchive(&archive, output.data(), output.size(), true);
               ChooseDecoderRoutine(bestRoutine);
             },
             [&] { DecodeArchive(&archive, output.data(), output.size(), false); }, inflateAll,
             [&] {
               uint8_t* next = output.data();
               for (const CorpusFile& file : files) {
                 std::memcpy(next, file.bytes.data(), file.bytes.size());
                 next += file.bytes.size();
               }
             }});
  Timing decode = timings[0];
  Timing decodeWords = timings[1];
  Timing decodeCopied = timings[2];
  Timing inflate = timings[3];
  Timing copy = timings[4];

  std::printf("sizes:\n");
  std::printf("  %-34s %12zu bytes (%.1f%% of the corpus)\n", "eek archive (whole corpus)",
              archive.size(), 100.0 * archive.size() / total);
  std::printf("  %-34s %12zu bytes (%.1f%% of the corpus)\n", "zlib level 9 (file by file)",
              deflatedTotal, 100.0 * deflatedTotal / total);
  std::printf("packing in memory (one run):\n");
  PrintRate("eek encoder (optimal parse)", pack, total);
  PrintRate("zlib deflate level 9", deflate, total);
  std::printf("unpacking in memory (processor time, %d runs):\n", runs);
  PrintRate(bestRoutine == kVectorDecoderRoutine ? "eek decoder (vector moves)"
                                                 : "eek decoder (word moves)",
            decode, total);
  PrintRate("eek decoder (word moves, forced)", decodeWords, total);
  PrintRate("eek decoder, pieces copied out", decodeCopied, total);
  PrintRate("zlib inflate", inflate, total);
  PrintRate("memcpy", copy, total);
  if (!decodedRight || !inflatedRight || !wordsRight) {
    std::printf("  WARNING: %s output differs from the corpus\n",
                !decodedRight ? "the decoder's" : (!wordsRight ? "the word routine's" : "zlib's"));
  }
  double ratio = inflate.best / decode.best;
  double medianRatio = inflate.median / decode.median;
  std::printf("ratios:\n");
  std::printf("  decoder / memcpy speed:       %.3fx\n", copy.best / decode.best);
  std::printf("  encoder / deflate -9 speed:   %.2fx\n", deflate.best / pack.best);
  std::printf(
      "target 2: decoder >= 10x zlib inflate speed: %s (%.2fx by the best, %.2fx by the "
      "medians; %.1f ms vs %.1f ms)\n",
      ratio >= 10.0 ? "PASS" : "MISS", ratio, medianRatio, decode.best * 1e3, inflate.best * 1e3);
  return 0;
}
