// The writer thread of the extraction and the BinaryFile that feeds it.
#include "tools/eek/output_queue.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <utility>

#include "tools/eek/host_path.h"
#include "tools/eek/host_platform.h"
#include "tools/eek/messages.h"

namespace fs = std::filesystem;

namespace {

const size_t kJobBufferSize = 256 * 1024;  // larger files go in several jobs
const size_t kSmallestBuffer = 4096;
const int64_t kMaxBytesQueued = 4 * 1024 * 1024;
const int32_t kMaxJobsQueued = 256;

// Why the entry may not take the place of what is at path, or an empty text.
// Only a missing name or a plain file may be replaced, and the replacement is a
// new file renamed into place, so that nothing is written through a link and a
// file outside the folder that shares the name's data by a hard link stays. (A
// read-only file is kept by the output's own rule: OpenOutputFile.)
std::string FindReplaceProblem(const OutputQueue* queue, const std::string& path) {
  std::error_code error;
  fs::file_status status = fs::symlink_status(HostPath(path), error);
  if (status.type() == fs::file_type::not_found) {
    return std::string();
  }
  if (fs::is_symlink(status)) {
    return "is a symbolic link; refusing to replace it";
  }
  if (fs::is_directory(status)) {
    return "is a folder";
  }
  if (error || !fs::is_regular_file(status)) {
    return error ? error.message() : "is not a plain file";
  }
  for (const std::string& kept : queue->protectedPaths) {
    if (fs::equivalent(HostPath(path), HostPath(kept), error)) {
      return "is the archive being extracted";
    }
  }
  return queue->keepOld ? "exists; kept (--keep-old-files)" : std::string();
}

// Drops the file being written: a problem has been reported for it.
void AbandonOutput(OutputQueue* queue) {
  AbandonOutputFile(&queue->output);
  queue->allWritten = false;
}

// Starts the entry's file as a new file beside its name.
void OpenOutput(OutputQueue* queue, const std::string& name) {
  queue->openPath =
      queue->folder.empty() ? name : HostPathText(HostPath(queue->folder) / HostPath(name));
  std::string problem = FindReplaceProblem(queue, queue->openPath);
  std::string error;
  if (problem.empty() && !OpenOutputFile(queue->openPath, &queue->output, &error)) {
    problem = error == kReadOnlyOutput ? error : "cannot create a file beside it: " + error;
  }
  if (!problem.empty()) {
    ReportProblem(queue->openPath + ": " + problem + "; skipped");
    queue->allWritten = false;
  }
}

// The whole file is there: it takes the entry's name.
void CommitOutput(OutputQueue* queue) {
  std::string error;
  if (!CommitOutputFile(&queue->output, &error)) {
    ReportProblem(queue->openPath + ": " + error);
    queue->allWritten = false;
  } else if (queue->verbose) {
    std::printf("%s\n", queue->openPath.c_str());
  }
}

// Runs one job on the writer thread. A file that could not be created is
// reported once and its bytes are dropped.
void RunJob(OutputQueue* queue, OutputJob* job) {
  if (!job->openName.empty()) {
    OpenOutput(queue, job->openName);
  }
  if (!job->bytes.empty() && queue->output.file.fd.valid()) {
    int64_t size = static_cast<int64_t>(job->bytes.size());
    if (WriteFileBytes(queue->output.file.fd.get(), job->bytes.data(), size) != size) {
      ReportProblem(queue->openPath + ": write failed: " + LastErrorText());
      AbandonOutput(queue);
    }
  }
  if (job->close && queue->output.file.fd.valid()) {
    if (job->keep) {
      CommitOutput(queue);
    } else {
      AbandonOutput(queue);  // the decoder reports the damage
    }
  }
  if (!job->message.empty()) {
    ReportProblem(job->message);
  }
}

bool HasRoom(const OutputQueue* queue, int64_t bytes, int32_t jobs) {
  return queue->bytesQueued < bytes && queue->jobsQueued < jobs;
}

void RunWriter(OutputQueue* queue) {
  std::unique_lock<std::mutex> hold(queue->lock);
  for (;;) {
    if (queue->jobs.empty()) {
      if (queue->stopping) {
        return;
      }
      queue->writerWaiting = true;
      queue->changed.wait(hold);
      queue->writerWaiting = false;
      continue;
    }
    OutputJob job = std::move(queue->jobs.front());
    queue->jobs.pop_front();
    hold.unlock();
    RunJob(queue, &job);
    hold.lock();
    if (job.bytes.capacity() > 0) {
      queue->bytesQueued -= static_cast<int64_t>(job.bytes.capacity());
      queue->jobsQueued--;
      job.bytes.clear();
      queue->freeBuffers.push_back(std::move(job.bytes));
      if (queue->decoderWaiting && HasRoom(queue, kMaxBytesQueued / 2, kMaxJobsQueued / 2)) {
        queue->changed.notify_all();
      }
    }
  }
}

// Hands the pending job and its buffer to the writer, which gives the buffer
// back once the bytes are written.
void Push(OutputQueue* queue) {
  std::lock_guard<std::mutex> hold(queue->lock);
  OutputJob& job = queue->pending;
  if (job.bytes.capacity() == 0) {
    job.bytes.reserve(kSmallestBuffer);  // an empty file: the buffer marks a file job
  }
  queue->bytesQueued += static_cast<int64_t>(job.bytes.capacity());
  queue->jobsQueued++;
  queue->jobs.push_back(std::move(job));
  job = OutputJob();
  queue->closePending = false;
  if (queue->writerWaiting) {
    queue->changed.notify_all();
  }
}

// Gives the pending job a buffer with room for sizeHint bytes (up to one job's
// worth), once the writer has caught up far enough.
void TakeBuffer(OutputQueue* queue, int64_t sizeHint) {
  std::unique_lock<std::mutex> hold(queue->lock);
  if (!HasRoom(queue, kMaxBytesQueued, kMaxJobsQueued)) {
    queue->decoderWaiting = true;
    queue->changed.wait(hold, [queue] { return HasRoom(queue, kMaxBytesQueued, kMaxJobsQueued); });
    queue->decoderWaiting = false;
  }
  std::vector<uint8_t>& bytes = queue->pending.bytes;
  if (!queue->freeBuffers.empty()) {
    bytes = std::move(queue->freeBuffers.back());
    queue->freeBuffers.pop_back();
  }
  size_t wanted = sizeHint < 0 ? kJobBufferSize : static_cast<size_t>(sizeHint);
  bytes.reserve(std::max(kSmallestBuffer, std::min(wanted, kJobBufferSize)));
}

OutputQueue* Of(void* handle) {
  return static_cast<OutputQueue*>(handle);
}

int32_t WriteQueued(void* handle, const uint8_t* bytes, int32_t count) {
  OutputQueue* queue = Of(handle);
  queue->bytesWritten += count;
  int32_t done = 0;
  while (done < count) {
    if (queue->pending.bytes.size() == kJobBufferSize) {
      Push(queue);
      TakeBuffer(queue, -1);
    }
    size_t take =
        std::min(kJobBufferSize - queue->pending.bytes.size(), static_cast<size_t>(count - done));
    queue->pending.bytes.insert(queue->pending.bytes.end(), bytes + done, bytes + done + take);
    done += static_cast<int32_t>(take);
  }
  return count;
}

int32_t ReadQueued(void*, uint8_t*, int32_t) {
  return 0;
}
void SeekQueued(void*, int32_t) {}
int64_t LengthOfQueued(void* handle) {
  return Of(handle)->bytesWritten;
}

void CloseQueued(void* handle) {
  OutputQueue* queue = Of(handle);
  queue->pending.close = true;
  queue->closePending = true;
}

// Hands a closed file over, kept unless dropped.
void PushClosed(OutputQueue* queue) {
  if (queue->closePending) {
    Push(queue);
  }
}

const BinaryFileOps kQueuedOps = {ReadQueued, WriteQueued, SeekQueued, LengthOfQueued, CloseQueued};

}  // namespace

void StartOutputQueue(OutputQueue* queue, const std::string& folder, const OutputRules& rules) {
  queue->folder = folder;
  queue->protectedPaths = rules.protectedPaths;
  queue->keepOld = rules.keepOld;
  queue->verbose = rules.verbose;
  queue->bytesQueued = 0;
  queue->jobsQueued = 0;
  queue->decoderWaiting = false;
  queue->writerWaiting = false;
  queue->stopping = false;
  queue->allWritten = true;
  queue->pending = OutputJob();
  queue->closePending = false;
  queue->bytesWritten = 0;
  queue->writer = std::thread(RunWriter, queue);
}

BinaryFile OpenQueuedOutput(OutputQueue* queue, const std::string& name, int64_t sizeHint) {
  PushClosed(queue);
  TakeBuffer(queue, sizeHint);
  queue->pending.openName = name;
  queue->pending.close = false;
  queue->bytesWritten = 0;
  BinaryFile file;
  file.ops = &kQueuedOps;
  file.handle = queue;
  file.shortRead = false;
  return file;
}

void DropClosedOutput(OutputQueue* queue) {
  if (queue->closePending) {
    queue->pending.keep = false;
    Push(queue);
  }
}

void QueueMessage(OutputQueue* queue, const std::string& text) {
  PushClosed(queue);
  OutputJob job;
  job.close = false;
  job.message = text;
  std::lock_guard<std::mutex> hold(queue->lock);
  queue->jobs.push_back(std::move(job));
  if (queue->writerWaiting) {
    queue->changed.notify_all();
  }
}

bool EndOutputQueue(OutputQueue* queue) {
  PushClosed(queue);
  {
    std::lock_guard<std::mutex> hold(queue->lock);
    queue->stopping = true;
    queue->changed.notify_all();  // the writer finishes the queued jobs first
  }
  queue->writer.join();
  return queue->allWritten;
}

OutputQueue::~OutputQueue() {
  if (writer.joinable()) {
    EndOutputQueue(this);
  }
}
