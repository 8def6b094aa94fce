// Writing an installer: the stub's image laid out around a payload of known
// length, CRC-32 and checksum sum (head and tail, the payload streamed between
// them), its size in memory judged against its format's ceiling, and the
// whole written into the output and read back before it takes its name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "peimage/pe_checksum.h"
#include "peimage/pe_image.h"
#include "peimage/resource_section_update.h"
#include "peimage/resource_tree.h"
#include "tools/eek/commands.h"
#include "tools/eek/output_file.h"
#include "tools/eek/payload_file.h"

// The installer laid out from the stub, its resources and a payload of the
// given size, CRC-32 and checksum sum, whose names are in namesCodePage: head
// and tail, the payload's bytes streamed between them. False with the reason
// in error.
bool LayOutInstaller(const PeImage& stub, PeResourceTree tree,
                     const std::vector<uint8_t>& versionInfo, int64_t payloadSize,
                     uint32_t payloadCrc, const PeChecksumSum& payloadSum, int namesCodePage,
                     PeImageParts* parts, std::string* error);

// Whether the laid-out installer can start: one larger in memory than its
// architecture was measured to start with is refused, naming what would fit,
// unless the publisher goes past the measured ceiling, which then warns
// (unless quietly: a judgement before the payload is read); past what such a
// process can map at all it is refused in any case. False after reporting;
// nothing has been written yet.
bool JudgeInstallerSize(const InstallerRequest& request, const PeImage& stub,
                        const PeImageParts& parts, int64_t payloadSize, bool quietly = false);

// Writes the installer laid out in parts with the payload's bytes between
// head and tail into output, then reads the new file back through its
// descriptor (an output written in place into a device or pipe has none to
// read): the layout again, the payload with the CRC-32 it was measured with
// (an archive that changed since is caught). False with the reason in error.
bool WriteInstaller(const OutputFile& output, const PeImageParts& parts, const PayloadFile& payload,
                    std::string* error);
