#pragma once
// A download object holding at most one task: an HTTP file fetched over up to
// threadCount connections into TaskSettings::localFile.
//
// The file is written under localFile + ".part" and renamed into localFile
// only when every byte of every range has arrived and the size matches, so a
// file under localFile is always whole. The outcome travels with the last
// message: transferEnded's a2 is 1 for a complete file and 0 otherwise, a3 is
// the TransferOutcome; outcome() keeps it after the task has ended.
//
// Threads: start returns at once; each task has one managing thread, which
// delivers every event and log line one at a time, in the order they arose
// (dataReceived within a few milliseconds of its block), and up to
// threadCount connection threads. No operation ever waits for the managing
// thread, so a routine may block it for good (even inside transferEnded)
// while another thread calls stop.
//
// The transfer: the first request asks for "bytes=0-". A 206 with a total
// size splits the file into up to threadCount parts (later requests carry
// If-Range with the ETag or Last-Modified); a 200 keeps its body on one
// connection. A connection that runs out of work takes over half of the
// largest remaining part. A part that breaks (drop, silence beyond
// receiveTimeoutMs, a lying Content-Range or Content-Length, a 5xx) is asked
// for again from where it stopped, 4 failures at most; a shorter but truthful
// 206 only gives the rest back to the pool. A non-2xx answer other than 5xx, a
// content encoding, a changed file or too many redirects (5) end the task.
// sendTimeoutMs is kept but not needed: a GET's request leaves in one write,
// and the wait for its answer falls under receiveTimeoutMs.
#include "platform/download/task_settings.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace platform {

enum class TransferOutcome : int32_t {
  complete = 0,
  running = 1,           // not ended yet
  stopped = 2,           // stop or stopKeepingState
  httpError = 3,         // a non-2xx answer, or a range answer that cannot be used
  abandoned = 4,         // the reply to sameNameFileExists gave up, or no usable name
  retriesExhausted = 5,  // a range failed (drop, stall, short or lying answer) too often
  serverChanged = 6,     // validator, size or range support changed between requests
  encodedContent = 7,    // the server insisted on a content encoding
  fileError = 8,         // the local file could not be written or renamed
};

class DownloadTask;

class Downloader {
public:
  Downloader();
  ~Downloader();  // stops a held task
  Downloader(const Downloader&) = delete;
  Downloader& operator=(const Downloader&) = delete;

  // False when a task is held, the address has no host or is not http(s), or
  // no thread could be made. Everything is copied out of `settings`.
  bool start(const TaskSettings& settings);

  // Asks the task to stop, waits up to stopWaitMs (looking every 20 ms) for
  // its connections to end and lets go of it. The partial file is removed;
  // transferEnded still follows on the managing thread.
  void stop();

  // Like stop, but keeps the partial file and fills `state` with the resume
  // state (see resumeState below). False when no running task is held.
  bool stopKeepingState(std::string& state);

  // The handle passed as taskHandle of the task's messages; -1 when none is held.
  // A task is held until its transferEnded has been handled, or until stop.
  int32_t taskId() const;

  // The running task's state as bytes for snapshotInfo; false (buffer
  // unchanged) when no task is held.
  bool snapshot(std::string& buffer) const;

  // Kind 1 total size (0 while unknown), 2 bytes received in all parts,
  // 3 number of parts, 4/5/6 start, length and bytes received of part `part`
  // (counted from 1). -1 for an unreadable buffer, another kind or part.
  static int64_t snapshotInfo(const std::string& buffer, int32_t kind, int32_t part);
  // True when the snapshot shows every byte of a known size received and in place.
  static bool snapshotComplete(const std::string& buffer);

  // Bytes received since the previous call (0 when no task is held).
  int64_t takeReceivedCount();

  // The reply 2 to sameNameFileExists takes this path: call it from the event
  // routine, with the task's handle held here, before returning 2. False when
  // the task is not waiting for that reply.
  bool giveFileName(const std::string& path);

  // The outcome of the latest task, also after it has been let go; running
  // until its transferEnded is on its way (and before any start).
  TransferOutcome outcome() const;
  bool succeeded() const { return outcome() == TransferOutcome::complete; }

  // Resume state text: "velmora-resume 1", address, effective address, local
  // file, partial file, total size, validator, then "part START LENGTH RECEIVED"
  // per part, one item a line.

private:
  // The routines call in from the facility's threads while the owner's thread
  // may be starting or stopping, so the held task is only reached under mutex_.
  std::shared_ptr<DownloadTask> heldTask() const;
  std::shared_ptr<DownloadTask> letGo();
  mutable std::mutex mutex_;
  std::shared_ptr<DownloadTask> task_;      // held
  std::shared_ptr<DownloadTask> lastTask_;  // let go by stop, kept for outcome()
};

} // namespace platform
