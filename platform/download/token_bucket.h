#pragma once
// One speed limit shared by all connections of a task. A connection takes its
// bytes after receiving them and, when that leaves the bucket in debt, waits
// until the debt is paid off; the waits end at once when the task stops.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace platform {

class TokenBucket {
public:
  // bytesPerSecond 0 means no limit; `burst` bounds what idle time can save up.
  TokenBucket(int64_t bytesPerSecond, int64_t burst);

  // False when the wait was cut short by cancel.
  bool take(int64_t bytes);
  void cancel();
  bool limited() const { return rate_ > 0; }

private:
  using Clock = std::chrono::steady_clock;
  const int64_t rate_;
  const double burst_;
  std::mutex mutex_;
  std::condition_variable wake_;
  double tokens_;
  Clock::time_point refilled_;
  bool cancelled_ = false;
};

} // namespace platform
