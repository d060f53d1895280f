#pragma once
// Shared state of the headless backend (GUI thread unless noted).
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "platform/gui/detail/node.h"
#include "platform/gui/headless_test.h"

namespace platform::gui::headless::internal {

struct QueuedCall {
  std::function<void()> f;
  bool synchronous = false;
  bool done = false;  // guarded by State::mutex
  bool ran = false;
};

class TimerPeer;

struct State {
  std::thread::id guiThread;
  std::int64_t now = 0;
  int screenWidth = 1024, screenHeight = 768;
  int xpScheme = 0;
  int exitCode = -1;
  std::vector<TimerPeer*> timers;
  std::vector<MessageBoxRecord> boxes;
  std::function<void(const MessageBoxRecord&)> boxHandler;
  std::vector<HotKeyRecord> hotKeys;
  int guardDepth = 0;

  // Shared with other threads.
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<std::shared_ptr<QueuedCall>> queue;
  bool ending = false;
};

State& state();
bool onGui();
// Runs the queued calls; returns whether any ran.
bool drainQueue();
// Fires timers due up to `target` in order, then sets the clock to `target`.
void advanceTo(std::int64_t target);
// Runs `f` as an outermost test action: the end of the program stops here.
void guarded(const std::function<void()>& f);

// Peers of kinds with behaviour of their own (one file each).
std::unique_ptr<detail::ControlPeer> makeHyperlinkBox(detail::ControlNode& node);

class TimerPeer : public detail::ControlPeer {
public:
  explicit TimerPeer(detail::ControlNode& node);
  ~TimerPeer() override;
  void create() override;
  void periodChanged(int oldPeriod) override;
  bool running() const;
  std::int64_t due = 0;
  detail::ControlNode& node() { return node_; }
};

}  // namespace platform::gui::headless::internal
