// Writing extracted files on a second thread. Creating a file and copying its
// bytes into the system's cache cost about as much as decoding it, so the
// decoder hands finished buffers to a writer thread and goes on with the next
// ones. The writer works through them in order, so a later entry of the same
// name still replaces an earlier one, and messages keep the entries' order.
// At most a few megabytes are in flight, whatever the size of the files.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "archive/binary_file.h"
#include "tools/eek/output_file.h"

struct OutputJob {
  std::string openName;  // non-empty: create this file in the folder first
  std::vector<uint8_t> bytes;
  bool close = false;
  bool keep = true;     // with close: the file takes its name; else it is dropped
  std::string message;  // printed by the writer in turn, after the job's work
};

// How the extraction treats the files already in its folder.
struct OutputRules {
  // Never replaced, under whatever name they are met: the archive being read
  // and, for an installer's payload, the installer.
  std::vector<std::string> protectedPaths;
  bool keepOld;  // existing files stay, each reported as a problem
  bool verbose;  // each file's path on stdout once it is in place
};

struct OutputQueue {
  std::string folder;
  std::vector<std::string> protectedPaths;
  bool keepOld;
  bool verbose;
  std::mutex lock;
  std::condition_variable changed;
  std::deque<OutputJob> jobs;
  std::vector<std::vector<uint8_t>> freeBuffers;
  // Queued and not yet written: the wait for room and the wait for work each
  // wake the other side only when it sleeps, and the decoder only once half
  // the room is free again, so that the threads do not wake each other per file.
  int64_t bytesQueued;
  int32_t jobsQueued;
  bool decoderWaiting;
  bool writerWaiting;
  bool stopping;
  std::thread writer;
  // Owned by the writer thread until the queue has ended.
  OutputFile output;     // the new file beside the entry's path, renamed onto it when whole
  std::string openPath;  // the entry's path in the folder
  bool allWritten;

  // The file being filled by the decoder, on the decoder's thread; once
  // closed, it waits in pending until the decoder says whether it is kept.
  OutputJob pending;
  bool closePending;
  int64_t bytesWritten;

  OutputQueue() = default;
  OutputQueue(const OutputQueue&) = delete;
  OutputQueue& operator=(const OutputQueue&) = delete;
  // A queue left on any way out (an exception too) still ends its writer.
  ~OutputQueue();
};

void StartOutputQueue(OutputQueue* queue, const std::string& folder,
                      const OutputRules& rules = OutputRules{{}, false, false});
// A BinaryFile that writes the entry name in the folder: a new file beside the
// name, renamed onto it once closed whole, so that an interrupted extraction
// leaves no partial file under the name and nothing is written through a hard
// or symbolic link. Only a missing name or a plain file is replaced; closing
// the BinaryFile hands the rest over.
// sizeHint (the expected length, or -1) sizes the first buffer.
BinaryFile OpenQueuedOutput(OutputQueue* queue, const std::string& name, int64_t sizeHint);
// The file just closed decoded wrong: it never takes its name. (A closed file
// takes its name unless this is called before the next file, message or end.)
void DropClosedOutput(OutputQueue* queue);
// Prints "eek: " and text on stderr once the jobs queued before it are done.
void QueueMessage(OutputQueue* queue, const std::string& text);
// Waits for every job; true when every file was created and written in full.
bool EndOutputQueue(OutputQueue* queue);
