#pragma once
// One running download: its copied settings, its ranges, its message queue
// and its threads. Only Downloader uses it.
#include "platform/download/downloader.h"
#include "platform/download/output_file.h"
#include "platform/download/token_bucket.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

struct TransferRequest;
struct ConnectionHandles;

class DownloadTask : public std::enable_shared_from_this<DownloadTask> {
public:
  enum class Verdict { accept, retry, fatal };  // of one HTTP answer

  DownloadTask(int32_t id, const TaskSettings& settings);
  ~DownloadTask();

  int32_t id() const { return id_; }
  bool begin();
  void requestStop(bool keepPartial);
  // Waits up to stopWaitMs for the connection threads to end.
  void waitForConnections();
  bool endHandled() const;
  TransferOutcome outcome() const;
  std::string snapshot() const;
  std::string resumeState() const;
  int64_t takeReceivedCount();
  bool giveFileName(const std::string& path);

private:
  struct Part {
    int64_t start = 0;
    int64_t end = 0;       // exclusive; shrinks when another connection takes over the rest
    int64_t received = 0;  // written to the file
    int64_t inFlight = 0;  // being written by the owner right now
    bool owned = false;
    int failures = 0;
    int64_t next() const { return start + received + inFlight; }
    int64_t pending() const { return end - next(); }
  };
  struct Item {
    bool isLog = false;
    int32_t message = 0, a2 = 0, a3 = 0, a4 = 0;
    int32_t kind = 0;
    std::string text;
  };
  enum class PartResult { done, shortAnswer, failed, stopped, fatal };
  struct Claim {
    int part = -1;
    bool continues = false;
  };

  // Managing thread.
  void manage();
  bool deliverQueued();
  void deliver(const Item& item);
  void finish();

  // Connection threads.
  void connect(int connection);
  void runConnections(int connection, ConnectionHandles& handles);
  Claim claimPart();
  PartResult fetchPart(int connection, int part, ConnectionHandles& handles);
  void prepareRequest(TransferRequest& r, ConnectionHandles& handles);
  Verdict evaluate(TransferRequest& r);
  Verdict evaluateFirstAnswer(TransferRequest& r, long status);
  Verdict evaluateRangeAnswer(TransferRequest& r, long status);
  bool prepareFile(TransferRequest& r);
  std::string chooseTarget(TransferRequest& r);
  void splitIntoParts();
  void spawnConnection(int connection);
  size_t receiveBody(TransferRequest& r, const char* data, size_t length);
  PartResult concludePart(TransferRequest& r, int curlCode);
  void recordFailure(int part, int connection, const std::string& why);
  void fail(TransferOutcome outcome, const std::string& why);
  bool stopping() const;
  void pause(int ms);

  // Both.
  void post(int32_t message, int32_t a2, int32_t a3, int32_t a4);
  void postLocked(int32_t message, int32_t a2, int32_t a3, int32_t a4);
  void log(int32_t kind, const std::string& text);
  void logLocked(int32_t kind, const std::string& text);
  bool isComplete() const;  // under mutex_

  friend size_t onTransferBody(char*, size_t, size_t, void*);
  friend size_t onTransferHeader(char*, size_t, size_t, void*);
  friend size_t readHeaderLine(TransferRequest&, const char*, size_t);

  const int32_t id_;
  // Copied settings.
  const std::string address_;
  const std::string localFile_;
  const int threadCount_;
  const int32_t connectTimeoutMs_, receiveTimeoutMs_, stopWaitMs_;
  const int32_t blockSize_;
  const TransferEventRoutine eventRoutine_;
  const TransferMessageRoutine messageRoutine_;
  const std::string proxy_;
  const std::string referer_;

  TokenBucket bucket_;
  OutputFile file_;

  mutable std::mutex mutex_;
  std::condition_variable changed_;  // queue, connection count, stop
  std::deque<Item> queue_;
  int32_t logNumber_ = 0;
  int activeConnections_ = 0;
  int connectionsMade_ = 0;
  bool stopRequested_ = false;
  std::atomic<bool> halted_{false};  // stopRequested_ or an outcome: polled without the lock
  bool keepPartial_ = false;
  bool endHandled_ = false;
  TransferOutcome outcome_ = TransferOutcome::running;

  bool prepared_ = false;     // the first answer was accepted and the file created
  bool ranges_ = false;       // the server serves ranges of a known size
  int64_t size_ = -1;
  std::string effectiveAddress_;
  std::string validator_;     // strong ETag or Last-Modified for If-Range
  std::string targetPath_;
  std::string partialPath_;
  std::vector<Part> parts_;
  int64_t receivedSinceTake_ = 0;

  bool awaitingName_ = false;
  std::string givenName_;
};

} // namespace platform
