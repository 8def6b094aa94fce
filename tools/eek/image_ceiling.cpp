#include "tools/eek/image_ceiling.h"

#include <cstdio>

#include "contract/installer_contract.h"
#include "peimage/pe_format.h"

ImageCeiling ImageCeilingOf(uint16_t magic) {
  if (magic == kPe32PlusMagic) {
    // SizeOfImage is a 32-bit field: nothing larger exists to be mapped.
    return ImageCeiling{"PE32+", kPe32PlusImageCeiling, UINT32_MAX};
  }
  return ImageCeiling{"PE32", kPe32ImageCeiling, kPe32AddressSpaceLimit};
}

ImageSizeVerdict JudgeImageSize(const ImageCeiling& ceiling, uint64_t sizeOfImage) {
  if (sizeOfImage > ceiling.addressSpaceLimit) {
    return ImageSizeVerdict::kPastAddressSpace;
  }
  return sizeOfImage > ceiling.tested ? ImageSizeVerdict::kPastTested
                                      : ImageSizeVerdict::kWithinTested;
}

std::string VerdictText(const ImageCeiling& ceiling, ImageSizeVerdict verdict) {
  if (verdict == ImageSizeVerdict::kPastAddressSpace) {
    return "past the " + SizeText(ceiling.addressSpaceLimit) + " that any 32-bit process can map";
  }
  return std::string(verdict == ImageSizeVerdict::kWithinTested ? "within" : "past") + " the " +
         SizeText(ceiling.tested) + " that " + ceiling.format +
         " installers were measured to start with";
}

uint64_t PayloadWithin(uint64_t sizeOfImage, uint64_t payloadSize, uint64_t limit,
                       uint32_t sectionAlignment) {
  if (sizeOfImage <= limit) {
    return payloadSize;
  }
  uint64_t cut = sizeOfImage - limit + sectionAlignment;
  return payloadSize > cut ? payloadSize - cut : 0;
}

std::string SizeText(uint64_t bytes) {
  std::string digits = std::to_string(bytes);
  std::string grouped;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) {
      grouped += ',';
    }
    grouped += digits[i];
  }
  char mib[48];
  std::snprintf(mib, sizeof mib, " bytes (%.1f MiB)", static_cast<double>(bytes) / (1 << 20));
  return grouped + mib;
}
