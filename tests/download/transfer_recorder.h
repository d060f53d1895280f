#pragma once
// Records what the download facility reports, for one task at a time, and
// lets a test wait for conditions with a deadline.
#include "platform/download/downloader.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace download_testing {

struct Event {
  int32_t message, a2, a3, a4, task;
  std::thread::id thread;
};

// The reply for an event; set before start and not changed while a task runs.
using Responder = std::function<int32_t(const Event&)>;

// Holds a routine's thread until the test opens it, as the updater's
// hand-over holds the managing thread.
class Gate {
public:
  void wait() {
    std::unique_lock lock(mutex_);
    opened_.wait(lock, [&] { return open_; });
  }
  void open() {
    {
      std::lock_guard lock(mutex_);
      open_ = true;
    }
    opened_.notify_all();
  }

private:
  std::mutex mutex_;
  std::condition_variable opened_;
  bool open_ = false;
};

class TransferRecorder {
public:
  TransferRecorder();   // becomes the one recorder the routines report to
  ~TransferRecorder();

  void respondWith(Responder responder) { responder_ = std::move(responder); }
  platform::TaskSettings settings(const std::string& address, const std::string& localFile) const;

  std::vector<Event> events() const;
  std::vector<std::string> logLines() const;
  // Waits until the routine has returned from an event with this message
  // value (so the recorder may go), or the deadline.
  bool waitFor(int32_t message, std::chrono::milliseconds deadline = std::chrono::seconds(30)) const;
  // Waits only until such an event has arrived; its routine may still run.
  bool waitForArrival(int32_t message, std::chrono::milliseconds deadline = std::chrono::seconds(30)) const;
  int count(int32_t message) const;

  static int32_t onEvent(int32_t message, int32_t a2, int32_t a3, int32_t a4, int32_t task);
  static int32_t onLog(int32_t number, const char* dateTime, const char* text, int32_t kind, int32_t task);

private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<Event> events_;
  std::vector<int32_t> handled_;
  std::vector<std::string> logLines_;
  Responder responder_;
};

std::string patternBytes(size_t size, unsigned seed = 1);

} // namespace download_testing
