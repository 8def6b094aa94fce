// The writer thread of the extraction and the BinaryFile that feeds it.
#include "tools/eek/output_queue.h"

#include <algorithm>
#include <utility>

#include "tools/eek/host_platform.h"
#include "tools/eek/messages.h"

namespace {

const size_t kJobBufferSize = 256 * 1024;
const int32_t kMaxBuffersOut = 16;

// Runs one job on the writer thread. A file that could not be created is
// reported once and its bytes are dropped.
void RunJob(OutputQueue* queue, OutputJob* job) {
  if (!job->openName.empty()) {
    std::string error;
    queue->openPath = PrintableName(job->openName);
    queue->fd = CreateOutputFile(queue->folder, job->openName, &error);
    if (queue->fd < 0) {
      ReportProblem(queue->folder + ": " + queue->openPath + ": " + error + "; skipped");
      queue->allWritten = false;
    }
  }
  if (!job->bytes.empty() && queue->fd >= 0) {
    int64_t size = static_cast<int64_t>(job->bytes.size());
    if (WriteFileBytes(queue->fd, job->bytes.data(), size) != size) {
      ReportProblem(queue->folder + ": " + queue->openPath + ": write failed: " + LastErrorText());
      CloseFile(queue->fd);
      queue->fd = -1;
      queue->allWritten = false;
    }
  }
  if (job->close && queue->fd >= 0) {
    if (!CloseFile(queue->fd)) {
      ReportProblem(queue->folder + ": " + queue->openPath + ": close failed: " + LastErrorText());
      queue->allWritten = false;
    }
    queue->fd = -1;
  }
  if (!job->message.empty()) {
    ReportProblem(job->message);
  }
}

void RunWriter(OutputQueue* queue) {
  for (;;) {
    OutputJob job;
    {
      std::unique_lock<std::mutex> hold(queue->lock);
      queue->changed.wait(hold, [queue] { return !queue->jobs.empty() || queue->stopping; });
      if (queue->jobs.empty()) {
        return;
      }
      job = std::move(queue->jobs.front());
      queue->jobs.pop_front();
    }
    RunJob(queue, &job);
    if (job.bytes.capacity() > 0) {
      job.bytes.clear();
      std::lock_guard<std::mutex> hold(queue->lock);
      queue->freeBuffers.push_back(std::move(job.bytes));
      queue->buffersOut--;
      queue->changed.notify_all();
    }
  }
}

// Hands the job (and its buffer, which the writer returns) to the writer.
void Push(OutputQueue* queue, OutputJob* job) {
  std::lock_guard<std::mutex> hold(queue->lock);
  queue->jobs.push_back(std::move(*job));
  queue->changed.notify_all();
  *job = OutputJob();
  job->close = false;
}

// Gives the pending job a buffer, waiting while too many are in flight. Every
// buffer keeps its full capacity, so the writer can tell it from a message.
void TakeBuffer(OutputQueue* queue) {
  std::unique_lock<std::mutex> hold(queue->lock);
  queue->changed.wait(hold, [queue] { return queue->buffersOut < kMaxBuffersOut; });
  queue->buffersOut++;
  if (!queue->freeBuffers.empty()) {
    queue->pending.bytes = std::move(queue->freeBuffers.back());
    queue->freeBuffers.pop_back();
  } else {
    queue->pending.bytes.reserve(kJobBufferSize);
  }
}

OutputQueue* Of(void* handle) {
  return static_cast<OutputQueue*>(handle);
}

int32_t WriteQueued(void* handle, const uint8_t* bytes, int32_t count) {
  OutputQueue* queue = Of(handle);
  queue->bytesWritten += count;
  int32_t done = 0;
  while (done < count) {
    std::vector<uint8_t>& buffer = queue->pending.bytes;
    if (buffer.size() == kJobBufferSize) {
      Push(queue, &queue->pending);
      TakeBuffer(queue);
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
  Push(queue, &queue->pending);
}

const BinaryFileOps kQueuedOps = {ReadQueued, WriteQueued, SeekQueued, LengthOfQueued, CloseQueued};

}  // namespace

void StartOutputQueue(OutputQueue* queue, const std::string& folder) {
  queue->folder = folder;
  queue->buffersOut = 0;
  queue->stopping = false;
  queue->fd = -1;
  queue->allWritten = true;
  queue->pending = OutputJob();
  queue->bytesWritten = 0;
  queue->writer = std::thread(RunWriter, queue);
}

BinaryFile OpenQueuedOutput(OutputQueue* queue, const std::string& name) {
  TakeBuffer(queue);
  queue->pending.openName = name;
  queue->pending.close = false;
  queue->bytesWritten = 0;
  BinaryFile file;
  file.ops = &kQueuedOps;
  file.handle = queue;
  file.shortRead = false;
  return file;
}

void QueueMessage(OutputQueue* queue, const std::string& text) {
  OutputJob job;
  job.close = false;
  job.message = text;
  std::lock_guard<std::mutex> hold(queue->lock);
  queue->jobs.push_back(std::move(job));
  queue->changed.notify_all();
}

bool EndOutputQueue(OutputQueue* queue) {
  {
    std::lock_guard<std::mutex> hold(queue->lock);
    queue->stopping = true;
    queue->changed.notify_all();
  }
  queue->writer.join();
  return queue->allWritten;
}
