// An output that compares instead of writing: what is given to it is read back
// from a file that is already there and compared, piece by piece.
//
// A file with the entry's name that the folder's clearing had to keep (read-only,
// hidden or system) is never written over. When its bytes are the entry's, the
// entry is installed already; the extraction hands the decoder a compared
// output over the kept file to find out, without a buffer the size of the file.
#pragma once

#include "archive/binary_file.h"

struct ComparedOutput {
  BinaryFile kept;  // the file compared against, read only; closed with the output
  bool differs;     // set by the first byte that is not the kept file's, by a kept
                    // file that ends early, and at the close by one that goes on
};

// Wraps kept (open, positioned at its start) in compared, clears its mark and
// returns the binary file to hand to the writer: each write reads as many bytes
// from kept and compares them, and counts as whole; the close looks for bytes
// beyond the last one given and closes kept. Nothing is ever written to kept.
// compared must outlive the returned file's use.
BinaryFile CompareOutput(ComparedOutput* compared, BinaryFile kept);
