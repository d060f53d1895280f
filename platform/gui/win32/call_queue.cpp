// Calls from other threads to the GUI thread, each waited for by its caller.
//
// A cross-thread SendMessage costs several trips through the system for every
// call (under Wine about 0.3 ms), which a download reporting each block pays
// thousands of times. Here a caller queues its call and waits on a condition
// variable. Only when the GUI thread is not already taking calls, and no wake
// is on its way, does the caller wake it with a sent notification. The GUI
// thread then runs every queued call and lingers a few milliseconds for the
// next one, so a stream of calls costs one wake instead of one message each.
// Calls still run one at a time, in the order they were queued, on the GUI
// thread, and every caller waits until its own call has finished.
//
// While it lingers the GUI thread keeps up with its own messages: every few
// milliseconds it takes sent messages, timers and drawing where it is, and it
// goes back to its message loop as soon as input or a posted message waits.
#include <windows.h>

#include <atomic>
#include <deque>
#include <functional>

#include "platform/gui/detail/node.h"
#include "platform/gui/win32/win32_peer.h"

namespace platform::gui::win32 {
namespace {

// How long the GUI thread waits for a next call, and how often it looks at
// its own messages meanwhile: short enough that drawing and input are not
// held up noticeably, long enough to span the gaps of a busy download.
const DWORD kLingerMs = 4;
const DWORD kLookMs = 10;
// Timer and paint messages taken per look; a window that never validates
// itself must not hold the GUI thread there.
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
bool lingering = false;   // the GUI thread waits on callQueued
bool wakeOnWay = false;   // a notification is sent and not yet taken
int depth = 0;            // takeQueuedCalls nested through modal loops

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

// Messages that must be taken by the message loop itself, in their order.
bool inputOrPostedWaiting() { return HIWORD(GetQueueStatus(QS_INPUT | QS_POSTMESSAGE | QS_HOTKEY)) != 0; }

// Sent messages of other threads, expired timers and drawing: nearly every
// call leaves something to draw, so leaving for these would end lingering
// after almost every call.
void takeWaitingMessages() {
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  for (int n = 0; n < kMessagesPerLook && PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE); ++n)
    DispatchMessageW(&msg);
  for (int n = 0; n < kMessagesPerLook && PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE); ++n)
    DispatchMessageW(&msg);
}

// Runs the calls queued so far; called and returns with the lock held.
void runQueued() {
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
  }
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

// Looks at the GUI thread's own messages; false when the loop must have them.
// Called and returns with the lock held.
bool keepUpWithMessages() {
  ReleaseSRWLockExclusive(&lock);
  bool stay = !inputOrPostedWaiting();
  if (stay) takeWaitingMessages();
  AcquireSRWLockExclusive(&lock);
  return stay;
}

}  // namespace

void takeQueuedCalls() {
  ++depth;
  // Only the outermost taker lingers: a nested one runs inside a call or a
  // message taken while lingering, under a loop that must go on.
  bool mayLinger = depth == 1 && !inputOrPostedWaiting();
  DWORD lookedAt = GetTickCount();
  {
    Locked held;
    wakeOnWay = false;
    for (;;) {
      runQueued();
      if (!mayLinger) break;
      if (GetTickCount() - lookedAt >= kLookMs) {
        mayLinger = keepUpWithMessages();
        lookedAt = GetTickCount();
        continue;
      }
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
