#include "tests/download/transfer_recorder.h"

#include <random>

namespace download_testing {

namespace {
TransferRecorder* current = nullptr;
}

TransferRecorder::TransferRecorder() { current = this; }

TransferRecorder::~TransferRecorder() { current = nullptr; }

platform::TaskSettings TransferRecorder::settings(const std::string& address, const std::string& localFile) const {
  platform::TaskSettings s;
  s.kind = platform::kDownloadKind;
  s.address = address;
  s.localFile = localFile;
  s.threadCount = 5;
  s.connectTimeoutMs = 5000;
  s.sendTimeoutMs = 5001;
  s.receiveTimeoutMs = 10000;
  s.eventRoutine = onEvent;
  s.messageRoutine = onLog;
  return s;
}

int32_t TransferRecorder::onEvent(int32_t message, int32_t a2, int32_t a3, int32_t a4, int32_t task) {
  TransferRecorder* r = current;
  if (!r) return 1;
  Event e{message, a2, a3, a4, task, std::this_thread::get_id()};
  {
    std::lock_guard lock(r->mutex_);
    r->events_.push_back(e);
    r->changed_.notify_all();
  }
  int32_t reply = r->responder_ ? r->responder_(e) : 1;
  // Notified under the lock: a waiter may destroy the recorder right after.
  std::lock_guard lock(r->mutex_);
  r->handled_.push_back(message);
  r->changed_.notify_all();
  return reply;
}

int32_t TransferRecorder::onLog(int32_t number, const char* dateTime, const char* text, int32_t kind, int32_t) {
  TransferRecorder* r = current;
  if (!r) return 1;
  std::lock_guard lock(r->mutex_);
  r->logLines_.push_back(std::to_string(number) + " " + std::to_string(kind) + " " + dateTime + " " + text);
  return 1;
}

std::vector<Event> TransferRecorder::events() const {
  std::lock_guard lock(mutex_);
  return events_;
}

std::vector<std::string> TransferRecorder::logLines() const {
  std::lock_guard lock(mutex_);
  return logLines_;
}

bool TransferRecorder::waitFor(int32_t message, std::chrono::milliseconds deadline) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, deadline, [&] {
    for (int32_t m : handled_)
      if (m == message) return true;
    return false;
  });
}

bool TransferRecorder::waitForArrival(int32_t message, std::chrono::milliseconds deadline) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, deadline, [&] {
    for (const Event& e : events_)
      if (e.message == message) return true;
    return false;
  });
}

int TransferRecorder::count(int32_t message) const {
  std::lock_guard lock(mutex_);
  int n = 0;
  for (const Event& e : events_) n += e.message == message;
  return n;
}

std::string patternBytes(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

} // namespace download_testing
