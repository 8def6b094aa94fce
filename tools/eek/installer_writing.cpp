// Laying out, judging and writing an installer (installer_writing.h).
#include "tools/eek/installer_writing.h"

#include <algorithm>

#include "archive/crc32.h"
#include "contract/installer_contract.h"
#include "peimage/little_endian.h"
#include "peimage/version_info.h"
#include "tools/eek/host_platform.h"
#include "tools/eek/image_ceiling.h"
#include "tools/eek/messages.h"
#include "tools/eek/payload_check_resource.h"

namespace {

const PeResourceId kPayloadType = NumberedResourceId(kResourceTypeRcData);
const PeResourceId kPayloadName = NumberedResourceId(kPayloadResourceId);

}  // namespace

bool LayOutInstaller(const PeImage& stub, PeResourceTree tree,
                     const std::vector<uint8_t>& versionInfo, int64_t payloadSize,
                     uint32_t payloadCrc, const PeChecksumSum& payloadSum, int namesCodePage,
                     PeImageParts* parts, std::string* error) {
  uint16_t language = ChooseResourceLanguage(tree);
  return SetPayloadCheckResourceOf(&tree, language, static_cast<uint32_t>(payloadSize), payloadCrc,
                                   namesCodePage, error) &&
         SetStreamedResource(&tree, kPayloadType, kPayloadName, language,
                             static_cast<uint64_t>(payloadSize), error) &&
         (versionInfo.empty() ||
          SetResource(&tree, NumberedResourceId(kResourceTypeVersion), NumberedResourceId(1),
                      kVersionInfoLanguage, versionInfo, error)) &&
         LayOutResourceImage(stub, tree, payloadSum, parts, error);
}

bool JudgeInstallerSize(const InstallerRequest& request, const PeImage& stub,
                        const PeImageParts& parts, int64_t payloadSize, bool quietly) {
  uint64_t image = ReadLe32(parts.head.data() + stub.optionalHeaderOffset + kOptSizeOfImage);
  ImageCeiling ceiling = ImageCeilingOf(stub.magic);
  ImageSizeVerdict verdict = JudgeImageSize(ceiling, image);
  if (verdict == ImageSizeVerdict::kWithinTested) {
    return true;
  }
  bool past = verdict == ImageSizeVerdict::kPastTested && request.pastTestedCeiling;
  std::string format = ceiling.format;
  std::string what = request.outputPath + ": a payload of " + SizeText(payloadSize) + " makes a " +
                     format + " installer of " + SizeText(image) + " in memory (SizeOfImage), ";
  if (past) {
    if (quietly) {
      return true;
    }
    ReportProblem("warning: " + what + VerdictText(ceiling, verdict) +
                  "; made as --past-tested-ceiling asks: "
                  "it starts only where Windows maps it whole, so test it on the Windows you "
                  "ship to");
    return true;
  }
  uint64_t limit =
      verdict == ImageSizeVerdict::kPastTested ? ceiling.tested : ceiling.addressSpaceLimit;
  uint64_t fits =
      PayloadWithin(image, static_cast<uint64_t>(payloadSize), limit, stub.sectionAlignment);
  std::string smaller = fits > 0 ? "a payload of at most " + SizeText(fits)
                                 : std::string("a stub that is smaller in memory");
  if (verdict == ImageSizeVerdict::kPastAddressSpace) {
    ReportProblem(what + VerdictText(ceiling, verdict) + ": it cannot start; use --stub win64 (" +
                  ImageCeilingOf(kPe32PlusMagic).format + ") or " + smaller +
                  "; nothing was written");
  } else {
    std::string other = stub.magic == kPe32PlusMagic
                            ? smaller
                            : "--stub win64 (PE32+ installers were measured to start up to " +
                                  SizeText(ImageCeilingOf(kPe32PlusMagic).tested) + ") or " +
                                  smaller;
    ReportProblem(what + VerdictText(ceiling, verdict) +
                  ": it would fail to start (not "
                  "enough memory); use " +
                  other +
                  " (--past-tested-ceiling makes it anyway, for an installer tested on the "
                  "Windows it ships to); nothing was written");
  }
  return false;
}

bool WriteInstaller(const OutputFile& output, const PeImageParts& parts, const PayloadFile& payload,
                    std::string* error) {
  int fd = output.file.fd.get();
  auto writeAll = [&](const uint8_t* bytes, size_t size, std::string* reason) {
    if (WriteFileBytes(fd, bytes, static_cast<int64_t>(size)) != static_cast<int64_t>(size)) {
      *reason = "write failed: " + LastErrorText();
      return false;
    }
    return true;
  };
  uint32_t crc = 0;
  if (!writeAll(parts.head.data(), parts.head.size(), error) ||
      !ReadPayloadPieces(
          payload,
          [&](const uint8_t* bytes, size_t size, std::string* reason) {
            crc = UpdateCrc32(crc, bytes, size);
            return writeAll(bytes, size, reason);
          },
          error) ||
      !writeAll(parts.tail.data(), parts.tail.size(), error)) {
    return false;
  }
  if (crc != payload.crc) {
    *error = payload.path + ": the archive changed while the installer was written";
    return false;
  }

  if (output.inPlace) {
    return true;  // a device or pipe: nothing to read back
  }
  if (!SeekFile(fd, 0)) {
    *error = "cannot read the installer back: " + LastErrorText();
    return false;
  }
  std::vector<uint8_t> piece(static_cast<size_t>(kCopyPieceSize));
  auto readSame = [&](const std::vector<uint8_t>& expected) {
    for (size_t done = 0; done < expected.size();) {
      size_t want = std::min(piece.size(), expected.size() - done);
      if (ReadFileBytes(fd, piece.data(), static_cast<int64_t>(want)) !=
              static_cast<int64_t>(want) ||
          !std::equal(piece.begin(), piece.begin() + want, expected.begin() + done)) {
        return false;
      }
      done += want;
    }
    return true;
  };
  bool same = readSame(parts.head);
  uint32_t backCrc = 0;
  for (int64_t done = 0; same && done < payload.size;) {
    int64_t want = std::min(kCopyPieceSize, payload.size - done);
    same = ReadFileBytes(fd, piece.data(), want) == want;
    backCrc = UpdateCrc32(backCrc, piece.data(), static_cast<size_t>(want));
    done += want;
  }
  same = same && backCrc == payload.crc && readSame(parts.tail) &&
         ReadFileBytes(fd, piece.data(), 1) == 0;
  if (!same) {
    *error = "the installer does not read back as it was written";
    return false;
  }
  return true;
}
