// An output file that remembers whether everything given to it was written.
//
// The decoder writes without looking at the results (a full disk loses bytes
// silently); the extraction hands it a checked output instead, so that a file
// that did not come out whole can be reported and removed.
#pragma once

#include "archive/binary_file.h"

struct CheckedOutput {
  BinaryFile file;  // the file written to; closed with the checked output
  bool shortWrite;  // set when a write transferred fewer bytes than it was given
};

// Wraps file (which may be unopened) in checked, clears its mark and returns
// the binary file to hand to the writer: its writes, reads, seeks, length and
// close go to the wrapped file. checked must outlive the returned file's use.
BinaryFile CheckOutput(CheckedOutput* checked, BinaryFile file);
