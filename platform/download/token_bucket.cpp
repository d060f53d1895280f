#include "platform/download/token_bucket.h"

#include <algorithm>

namespace platform {

TokenBucket::TokenBucket(int64_t bytesPerSecond, int64_t burst)
    : rate_(bytesPerSecond), burst_(static_cast<double>(std::max<int64_t>(burst, 1))),
      tokens_(burst_), refilled_(Clock::now()) {}

bool TokenBucket::take(int64_t bytes) {
  if (rate_ <= 0) return true;
  std::unique_lock lock(mutex_);
  if (cancelled_) return false;
  Clock::time_point now = Clock::now();
  double elapsed = std::chrono::duration<double>(now - refilled_).count();
  tokens_ = std::min(burst_, tokens_ + elapsed * static_cast<double>(rate_));
  refilled_ = now;
  tokens_ -= static_cast<double>(bytes);
  if (tokens_ >= 0) return true;
  // Later takers add to the debt, so each waits behind the ones before it.
  auto wait = std::chrono::duration<double>(-tokens_ / static_cast<double>(rate_));
  Clock::time_point until = now + std::chrono::duration_cast<Clock::duration>(wait);
  wake_.wait_until(lock, until, [this] { return cancelled_; });
  return !cancelled_;
}

void TokenBucket::cancel() {
  {
    std::lock_guard lock(mutex_);
    cancelled_ = true;
  }
  wake_.notify_all();
}

} // namespace platform
