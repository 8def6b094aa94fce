// How large an installer may be in memory and still start: the whole image,
// payload resource included, is mapped into the new process before it runs,
// so past some SizeOfImage a 32-bit installer fails in CreateProcess (not
// enough memory) however small the machine's load. The ceilings measured for
// each stub architecture are in contract/installer_contract.h.
#pragma once

#include <cstdint>
#include <string>

struct ImageCeiling {
  const char* format;          // "PE32" or "PE32+"
  uint64_t tested;             // the largest SizeOfImage measured to start
  uint64_t addressSpaceLimit;  // the largest any process of the format can map
};

// The ceiling of an image of the optional header magic (kPe32Magic or
// kPe32PlusMagic; any other magic is taken as PE32, the smaller).
ImageCeiling ImageCeilingOf(uint16_t magic);

enum class ImageSizeVerdict {
  kWithinTested,      // measured to start
  kPastTested,        // may start only where the system maps more than measured
  kPastAddressSpace,  // cannot start anywhere
};

ImageSizeVerdict JudgeImageSize(const ImageCeiling& ceiling, uint64_t sizeOfImage);

// The bound a verdict places an image against, as eek installer's messages
// and --check say it: "within the SIZE that PE32 installers were measured to
// start with", "past the SIZE that ...", "past the SIZE that any 32-bit
// process can map".
std::string VerdictText(const ImageCeiling& ceiling, ImageSizeVerdict verdict);

// The largest payload that would keep an image of sizeOfImage, of which the
// payload takes payloadSize, within limit: the payload less the excess and
// one section alignment (the payload's padding), 0 when none would.
uint64_t PayloadWithin(uint64_t sizeOfImage, uint64_t payloadSize, uint64_t limit,
                       uint32_t sectionAlignment);

// "1,153,433,600 bytes (1100.0 MiB)": a size as the messages show it.
std::string SizeText(uint64_t bytes);
