// Calls from other threads to the GUI thread, each waited for by its caller.
//
// A cross-thread SendMessage costs several trips through the system for every
// call (under Wine about 0.3 ms), which a download reporting each block pays
// thousands of times. Here a caller queues its call and waits on a condition
// variable. Only when the GUI thread is not already taking calls, and no wake
// is on its way, does the caller wake it with a sent notification. The GUI
// thread then runs the queued calls and lingers a few milliseconds for the
// next one, so a stream of calls costs one wake instead of one message each.
// Calls still run one at a time, in the order they were queued, on the GUI
// thread, and every caller waits until its own call has finished.
//
// Only when woken from the message loop's wait does the GUI thread linger,
// and then it stands in for the loop: every few milliseconds it takes what
// waits for it (input, timers, drawing, posted and sent messages) as the loop
// would. Woken inside a modal loop or an eventful wait, it takes calls for a
// few milliseconds at most and leaves the rest to a timer, which comes after
// that loop's own input and drawing.
#include <windows.h>

#include <atomic>
#include <deque>
#include <functional>

#include "platform/gui/detail/node.h"
#include "platform/gui/win32/win32_peer.h"

namespace platform::gui::win32 {
namespace {

// How long the GUI thread waits for a next call, and how long it takes calls
// before it looks at its own messages: short enough that drawing and input
// are not held up noticeably, long enough to span the gaps of a busy download.
const DWORD kLingerMs = 4;
const DWORD kSliceMs = 10;
// Messages taken per look, so that a flood of them cannot hold the calls up.
const int kMessagesPerLook = 64;
// Both sides first watch for a moment before they sleep: a call takes tens of
// microseconds, and a caller that reports blocks comes back about as soon,
// while waking a sleeping thread costs as much again.
const double kWatchSeconds = 50e-6;

struct PendingCall {
  const std::function<void()>* routine;
  std::atomic<bool> done{false};
};

SRWLOCK lock = SRWLOCK_INIT;
CONDITION_VARIABLE callQueued = CONDITION_VARIABLE_INIT;    // the lingering GUI thread waits here
CONDITION_VARIABLE callFinished = CONDITION_VARIABLE_INIT;  // callers wait here
std::deque<PendingCall*> queue;
std::atomic<size_t> queued{0};  // queue.size(), to watch without the lock
bool lingering = false;         // the GUI thread waits on callQueued
bool wakeOnWay = false;         // a notification or the timer will take the queue
int depth = 0;                  // takers nested through modal loops

class Locked {
public:
  Locked() { AcquireSRWLockExclusive(&lock); }
  ~Locked() { ReleaseSRWLockExclusive(&lock); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;
};

LONGLONG ticksToWatch() {
  static const LONGLONG ticks = [] {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<LONGLONG>(static_cast<double>(frequency.QuadPart) * kWatchSeconds);
  }();
  return ticks;
}

// Spins until `ready` or the watch is over; true when ready.
template <class Ready> bool watchFor(Ready ready) {
  LARGE_INTEGER start, now;
  QueryPerformanceCounter(&start);
  do {
    if (ready()) return true;
    YieldProcessor();
    QueryPerformanceCounter(&now);
  } while (now.QuadPart - start.QuadPart < ticksToWatch());
  return ready();
}

bool sliceOver(DWORD started) { return GetTickCount() - started >= kSliceMs; }

// Runs queued calls until none is left or the slice is over; called and
// returns with the lock held.
void runQueued(DWORD sliceStarted) {
  while (!queue.empty()) {
    PendingCall* call = queue.front();
    queue.pop_front();
    queued.store(queue.size(), std::memory_order_relaxed);
    ReleaseSRWLockExclusive(&lock);
    try {
      detail::callRoutine(*call->routine);
    } catch (...) {
    }
    AcquireSRWLockExclusive(&lock);
    call->done.store(true, std::memory_order_release);  // the caller may return at once: `call` is gone after this
    WakeAllConditionVariable(&callFinished);
    if (sliceOver(sliceStarted)) return;
  }
}

// Takes the GUI thread's own waiting messages as its loops do; false when the
// taker must return to the loop: the program is quitting or has no window left.
bool takeOwnMessages() {
  MSG msg;
  for (int n = 0; n < kMessagesPerLook && !detail::liveWindows().empty(); ++n) {
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return true;
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    pumpMessage(msg);
  }
  if (!detail::liveWindows().empty()) return true;
  // The message that was to wake the loop for this may have been taken here.
  PostMessageW(nullptr, WM_NULL, 0, 0);
  return false;
}

// Drops `call` if no one has taken it yet; true when it was dropped.
bool withdraw(PendingCall* call) {
  Locked held;
  for (auto it = queue.begin(); it != queue.end(); ++it)
    if (*it == call) {
      queue.erase(it);
      queued.store(queue.size(), std::memory_order_relaxed);
      return true;
    }
  return false;
}

}  // namespace

void takeQueuedCalls(HWND callWindow) {
  ++depth;
  // Only a taker called from the message loop's own wait stands in for the
  // loop; one nested in a modal loop, an eventful wait or a message taken
  // here leaves that loop to go on as it would.
  const bool standsInForLoop = depth == 1 && messageLoopWaiting();
  DWORD sliceStarted = GetTickCount();
  {
    Locked held;
    wakeOnWay = false;
    for (;;) {
      runQueued(sliceStarted);
      if (sliceOver(sliceStarted)) {
        bool stay = standsInForLoop;
        if (stay) {
          ReleaseSRWLockExclusive(&lock);
          stay = takeOwnMessages();
          AcquireSRWLockExclusive(&lock);
        }
        if (!stay) {
          // The loop's own messages first, then the calls: a timer message
          // comes after input and drawing.
          if (!queue.empty() && !wakeOnWay)
            wakeOnWay = SetTimer(callWindow, kTakeCallsTimer, USER_TIMER_MINIMUM, nullptr) != 0;
          break;
        }
        sliceStarted = GetTickCount();
        continue;
      }
      if (!standsInForLoop) break;
      ReleaseSRWLockExclusive(&lock);
      watchFor([] { return queued.load(std::memory_order_relaxed) != 0; });
      AcquireSRWLockExclusive(&lock);
      if (!queue.empty()) continue;
      lingering = true;
      BOOL woken = SleepConditionVariableSRW(&callQueued, &lock, kLingerMs, 0);
      lingering = false;
      if (!woken && queue.empty()) break;
    }
  }
  --depth;
}

bool handOverCall(HWND callWindow, UINT wakeMessage, const std::function<void()>& routine) {
  PendingCall call{&routine};
  bool wake = false;
  {
    Locked held;
    queue.push_back(&call);
    queued.store(queue.size(), std::memory_order_relaxed);
    if (lingering) {
      WakeConditionVariable(&callQueued);
    } else if (!wakeOnWay) {
      wakeOnWay = wake = true;
    }
  }
  // A notification, not SendMessage: that would hold the caller until the
  // GUI thread had finished lingering. It is still taken before posted
  // messages and inside modal loops, as a sent message is.
  if (wake && !SendNotifyMessageW(callWindow, wakeMessage, 0, 0)) {
    {
      Locked held;
      wakeOnWay = false;
    }
    if (withdraw(&call)) return false;
  }
  if (watchFor([&] { return call.done.load(std::memory_order_acquire); })) return true;
  Locked held;
  while (!call.done.load(std::memory_order_acquire)) SleepConditionVariableSRW(&callFinished, &lock, INFINITE, 0);
  return true;
}

}  // namespace platform::gui::win32
