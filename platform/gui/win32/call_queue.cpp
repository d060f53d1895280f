// Calls from other threads to the GUI thread, each waited for by its caller.
//
// A cross-thread SendMessage costs several trips through the system for every
// call (under Wine about 0.3 ms), which a download reporting each block pays
// thousands of times. Here a caller queues its call and waits on a condition
// variable. Only when the GUI thread is not already taking calls does the
// caller wake it with one sent notification; the GUI thread then runs every queued
// call and, while no message of its own waits, lingers a few milliseconds for
// the next one, so a stream of calls costs one wake instead of one message
// each. Calls still run one at a time, in the order they were queued, on the
// GUI thread, and every caller waits until its own call has finished.
#include <windows.h>

#include <deque>
#include <functional>

#include "platform/gui/detail/node.h"
#include "platform/gui/win32/win32_peer.h"

namespace platform::gui::win32 {
namespace {

// How long the GUI thread waits for a next call, and how often it looks at
// its own messages meanwhile: short enough that painting and input are not
// held up noticeably, long enough to span the gaps of a busy download.
const DWORD kLingerMs = 4;
const DWORD kLookMs = 10;

struct PendingCall {
  const std::function<void()>* routine;
  bool done = false;
};

SRWLOCK lock = SRWLOCK_INIT;
CONDITION_VARIABLE callQueued = CONDITION_VARIABLE_INIT;  // the lingering GUI thread waits here
CONDITION_VARIABLE callFinished = CONDITION_VARIABLE_INIT;  // callers wait here
std::deque<PendingCall*> queue;
bool lingering = false;  // the GUI thread waits on callQueued
int depth = 0;           // takeQueuedCalls nested through modal loops

class Locked {
public:
  Locked() { AcquireSRWLockExclusive(&lock); }
  ~Locked() { ReleaseSRWLockExclusive(&lock); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;
};

// Any message of the GUI thread's own: painting, input, timers, posted or
// sent messages all come before lingering on.
bool messagesWaiting() { return HIWORD(GetQueueStatus(QS_ALLINPUT)) != 0; }

// Runs the calls queued so far; called and returns with the lock held.
void runQueued() {
  while (!queue.empty()) {
    PendingCall* call = queue.front();
    queue.pop_front();
    ReleaseSRWLockExclusive(&lock);
    try {
      detail::callRoutine(*call->routine);
    } catch (...) {
    }
    AcquireSRWLockExclusive(&lock);
    call->done = true;  // the caller may return at once: `call` is gone after this
    WakeAllConditionVariable(&callFinished);
  }
}

// Drops `call` if no one has taken it yet; true when it was dropped.
bool withdraw(PendingCall* call) {
  Locked held;
  for (auto it = queue.begin(); it != queue.end(); ++it)
    if (*it == call) {
      queue.erase(it);
      return true;
    }
  return false;
}

}  // namespace

void takeQueuedCalls() {
  ++depth;
  // Only the outermost taker lingers: a nested one runs inside a call, under
  // a modal loop that must go on with its messages.
  bool mayLinger = depth == 1 && !messagesWaiting();
  DWORD lookedAt = GetTickCount();
  {
    Locked held;
    for (;;) {
      runQueued();
      if (!mayLinger) break;
      if (GetTickCount() - lookedAt >= kLookMs) {
        ReleaseSRWLockExclusive(&lock);
        mayLinger = !messagesWaiting();
        lookedAt = GetTickCount();
        AcquireSRWLockExclusive(&lock);
        continue;
      }
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
  bool guiThreadWaiting;
  {
    Locked held;
    queue.push_back(&call);
    guiThreadWaiting = lingering;
    if (guiThreadWaiting) WakeConditionVariable(&callQueued);
  }
  // A notification, not SendMessage: that would hold the caller until the
  // GUI thread had finished lingering. It is still taken before posted
  // messages and inside modal loops, as a sent message is.
  if (!guiThreadWaiting && !SendNotifyMessageW(callWindow, wakeMessage, 0, 0) && withdraw(&call)) return false;
  Locked held;
  while (!call.done) SleepConditionVariableSRW(&callFinished, &lock, INFINITE, 0);
  return true;
}

}  // namespace platform::gui::win32
