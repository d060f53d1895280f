// Headless backend: virtual clock, queue of calls from other threads, the
// loops, message boxes and the program-end hook.
#include <algorithm>
#include <chrono>
#include <cstdio>

#include "platform/gui/detail/backend.h"
#include "platform/gui/headless/state.h"
#include "platform/services.h"

namespace platform::gui {
namespace headless::internal {

State& state() {
  // Never destroyed: a download thread of a finished test may still wait on
  // `changed` when the process exits, and destroying a condition variable
  // with a waiter blocks for good.
  static State* s = new State;
  return *s;
}

bool onGui() { return std::this_thread::get_id() == state().guiThread; }

namespace {

void finish(QueuedCall& call, bool ran) {
  std::lock_guard lock(state().mutex);
  call.ran = ran;
  call.done = true;
  state().changed.notify_all();
}

// Releases every waiting caller: after the end nothing runs any more.
void releaseQueue() {
  std::deque<std::shared_ptr<QueuedCall>> left;
  {
    std::lock_guard lock(state().mutex);
    left.swap(state().queue);
    for (auto& c : left) c->done = true;
    state().changed.notify_all();
  }
}

[[noreturn]] void endHook(int exitCode) {
  State& s = state();
  {
    std::lock_guard lock(s.mutex);
    s.ending = true;
    if (s.exitCode < 0) s.exitCode = exitCode;
    s.changed.notify_all();
  }
  releaseQueue();
  if (onGui()) throw detail::ProgramEndSignal{exitCode};
  // Another thread ended the program: in the real process it would be gone,
  // so it never comes back; the GUI thread has been told.
  for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
}

}  // namespace

bool drainQueue() {
  bool any = false;
  for (;;) {
    std::shared_ptr<QueuedCall> call;
    {
      std::lock_guard lock(state().mutex);
      if (state().queue.empty() || state().ending) return any;
      call = state().queue.front();
      state().queue.pop_front();
    }
    any = true;
    try {
      detail::callRoutine(call->f);
    } catch (...) {
      finish(*call, false);
      throw;
    }
    finish(*call, true);
  }
}

void advanceTo(std::int64_t target) {
  State& s = state();
  for (;;) {
    drainQueue();
    if (s.ending) return;
    TimerPeer* next = nullptr;
    for (TimerPeer* t : s.timers)
      if (t->running() && t->due <= target && (!next || t->due < next->due)) next = t;
    if (!next) break;
    s.now = std::max(s.now, next->due);
    next->due = s.now + next->node().spec.period;
    detail::ControlNode& node = next->node();
    if (node.spec.elapsed) detail::callRoutine([&] { node.spec.elapsed(); });
  }
  s.now = std::max(s.now, target);
  drainQueue();
}

void guarded(const std::function<void()>& f) {
  State& s = state();
  ++s.guardDepth;
  try {
    f();
  } catch (const detail::ProgramEndSignal&) {
    if (--s.guardDepth > 0) throw;
    return;
  } catch (...) {
    --s.guardDepth;
    throw;
  }
  --s.guardDepth;
}

}  // namespace headless::internal

using headless::internal::onGui;
using headless::internal::state;

// ------------------------------------------------------------ backend hooks

namespace detail {

bool programEnding() {
  std::lock_guard lock(state().mutex);
  return state().ending;
}

bool runOnGuiThread(const std::function<void()>& f) {
  if (onGui()) {
    f();
    return true;
  }
  auto call = std::make_shared<headless::internal::QueuedCall>();
  call->f = f;
  call->synchronous = true;
  std::unique_lock lock(state().mutex);
  if (state().ending) return false;
  state().queue.push_back(call);
  state().changed.notify_all();
  state().changed.wait(lock, [&] { return call->done; });
  return call->ran;
}

void postToGuiThread(std::function<void()> f) {
  auto call = std::make_shared<headless::internal::QueuedCall>();
  call->f = std::move(f);
  std::lock_guard lock(state().mutex);
  if (state().ending) return;
  state().queue.push_back(call);
  state().changed.notify_all();
}

}  // namespace detail

// ------------------------------------------------------------ runtime calls

void initialise() { headless::reset(); }
bool onGuiThread() { return onGui(); }

void runMessageLoop() {
  using namespace headless::internal;
  State& s = state();
  while (!detail::liveWindows().empty() && !detail::programEnding()) {
    if (drainQueue()) continue;
    bool anyTimer = std::any_of(s.timers.begin(), s.timers.end(), [](TimerPeer* t) { return t->running(); });
    if (anyTimer) {
      std::int64_t next = INT64_MAX;
      for (TimerPeer* t : s.timers)
        if (t->running()) next = std::min(next, t->due);
      advanceTo(next);
      continue;
    }
    // Only another thread can still change anything.
    std::unique_lock lock(s.mutex);
    if (!s.changed.wait_for(lock, std::chrono::seconds(10), [&] { return !s.queue.empty() || s.ending; })) {
      std::fprintf(stderr, "headless GUI: message loop idle with nothing that could end it\n");
      return;
    }
  }
}

void eventfulWait(int ms) {
  if (ms <= 0 || detail::programEnding()) return;
  if (!onGui()) {
    sleepMs(ms);
    return;
  }
  headless::internal::advanceTo(state().now + ms);
}

void processPendingEvents() {
  if (onGui()) headless::internal::drainQueue();
}

void sleepMs(int ms) {
  if (ms <= 0) return;
  if (onGui()) state().now += ms;
  else std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

int screenWidth() {
  int w = 0;
  detail::runOnGuiThread([&] { w = state().screenWidth; });
  return w;
}
int screenHeight() {
  int h = 0;
  detail::runOnGuiThread([&] { h = state().screenHeight; });
  return h;
}

void messageBox(const std::string& text, const std::string& caption, BoxIcon icon) {
  detail::runOnGuiThread([&] {
    headless::MessageBoxRecord record{text, caption, icon, state().now};
    state().boxes.push_back(record);
    if (state().boxHandler) {
      auto handler = state().boxHandler;
      handler(record);
    }
  });
}

void useXpLook(int scheme) {
  detail::runOnGuiThread([&] { state().xpScheme = scheme; });
}

bool claimHotKey(Window window, int modifiers, int virtualKey, Control label) {
  bool claimed = false;
  detail::runOnGuiThread([&] {
    for (const auto& k : state().hotKeys)
      if (k.modifiers == modifiers && k.virtualKey == virtualKey) return;
    state().hotKeys.push_back({window, modifiers, virtualKey, label});
    claimed = true;
  });
  return claimed;
}

// ------------------------------------------------------------ test surface

namespace headless {

using internal::guarded;

void reset() {
  internal::State& s = state();
  s.guiThread = std::this_thread::get_id();
  {
    std::lock_guard lock(s.mutex);
    s.ending = true;  // nothing that the closing windows raise may run
  }
  internal::releaseQueue();
  for (detail::WindowNode* w : std::vector<detail::WindowNode*>(detail::liveWindows())) {
    w->alive = false;
    w->peer->destroy();
  }
  detail::liveWindows().clear();
  detail::discardDeadWindows();
  s.timers.clear();
  s.boxes.clear();
  s.boxHandler = nullptr;
  s.hotKeys.clear();
  s.now = 0;
  s.screenWidth = 1024;
  s.screenHeight = 768;
  s.xpScheme = 0;
  s.exitCode = -1;
  s.guardDepth = 0;
  {
    std::lock_guard lock(s.mutex);
    s.ending = false;
  }
  platform::setProgramEndHook(&internal::endHook);
}

std::int64_t now() { return state().now; }

void advance(int ms) {
  guarded([&] { internal::advanceTo(state().now + std::max(ms, 0)); });
}

void pump() {
  guarded([] { internal::drainQueue(); });
}

bool runUntil(const std::function<bool()>& done, int realTimeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(realTimeoutMs);
  bool reached = false;
  guarded([&] {
    internal::State& s = state();
    for (;;) {
      internal::drainQueue();
      if (done()) {
        reached = true;
        return;
      }
      if (s.ending) return;
      if (std::chrono::steady_clock::now() >= deadline) return;
      // Short slices: `done` may watch state that no queued call announces.
      std::unique_lock lock(s.mutex);
      s.changed.wait_for(lock, std::chrono::milliseconds(5), [&] { return !s.queue.empty() || s.ending; });
    }
  });
  return reached || done();
}

void runProgram(const std::function<void()>& entry) { guarded(entry); }

bool programEnded() {
  std::lock_guard lock(state().mutex);
  return state().exitCode >= 0;
}
int exitCode() {
  std::lock_guard lock(state().mutex);
  return state().exitCode;
}

std::vector<Window> windows() {
  std::vector<Window> list;
  for (detail::WindowNode* w : detail::liveWindows()) list.emplace_back(w);
  return list;
}

Window findWindow(const std::string& title) {
  for (detail::WindowNode* w : detail::liveWindows())
    if (w->spec->title == title) return Window(w);
  return Window();
}

namespace {

detail::ControlNode* target(Window window, const std::string& name) {
  if (!window.node() || !window.node()->alive) return nullptr;
  detail::ControlNode* c = window.node()->find(name);
  if (!c || !c->spec.visible || !c->spec.enabled) return nullptr;
  for (detail::ControlNode* p = c->parent; p; p = p->parent)
    if (!p->spec.visible) return nullptr;
  return c;
}

bool mouse(Window window, const std::string& name, int x, int y, int keys, bool down) {
  detail::ControlNode* c = target(window, name);
  if (!c) return false;
  guarded([&] {
    if (down && c->peer) detail::callRoutine([&] { c->peer->pressed(); });
    auto& event = down ? c->spec.mousePressed : c->spec.mouseReleased;
    if (c->window->alive && event) detail::callRoutine([&] { event(x, y, keys); });
  });
  return true;
}

}  // namespace

bool click(Window window, const std::string& control) {
  detail::ControlNode* c = target(window, control);
  if (!c) return false;
  guarded([&] {
    if (c->peer) detail::callRoutine([&] { c->peer->pressed(); });
    if (c->window->alive && c->spec.mousePressed) detail::callRoutine([&] { c->spec.mousePressed(1, 1, kLeftButton); });
    if (c->window->alive && c->spec.mouseReleased) detail::callRoutine([&] { c->spec.mouseReleased(1, 1, 0); });
    if (c->window->alive && c->spec.clicked) detail::callRoutine([&] { c->spec.clicked(); });
  });
  return true;
}

bool press(Window window, const std::string& control, int x, int y, int keys) {
  return mouse(window, control, x, y, keys, true);
}
bool release(Window window, const std::string& control, int x, int y, int keys) {
  return mouse(window, control, x, y, keys, false);
}

bool typeText(Window window, const std::string& control, const std::string& text) {
  detail::ControlNode* c = target(window, control);
  if (!c || c->spec.kind != Kind::EditBox || c->spec.readOnly) return false;
  c->spec.caption += text;
  return true;
}

void pressEsc(Window window) {
  detail::WindowNode* w = window.node();
  if (!w || !w->alive) return;
  guarded([&] {
    if (w->spec->esc == EscKey::Close) detail::closeWindow(*w, false);
    else if (w->spec->esc == EscKey::AskToClose) detail::closeWindow(*w, true);
  });
}

void userClose(Window window) {
  detail::WindowNode* w = window.node();
  if (!w || !w->alive) return;
  guarded([&] { detail::closeWindow(*w, true); });
}

bool pressHotKey(int modifiers, int virtualKey) {
  for (const auto& k : state().hotKeys) {
    if (k.modifiers != modifiers || k.virtualKey != virtualKey) continue;
    Control label = k.label;
    guarded([&] { label.raiseFeedback(0, 0); });
    return true;
  }
  return false;
}

void setStatusText(Window window, const std::string& control, const std::string& text) {
  if (!window.node() || !window.node()->alive) return;
  if (detail::ControlNode* c = window.node()->find(control)) c->status = text;
}

bool requestNewWindow(Window window, const std::string& control) {
  if (!window.node() || !window.node()->alive) return false;
  detail::ControlNode* c = window.node()->find(control);
  if (!c || !c->spec.newWindow) return false;
  bool allowed = false;
  guarded([&] { detail::callRoutine([&] { allowed = c->spec.newWindow(); }); });
  return allowed;
}

std::vector<MessageBoxRecord> messageBoxes() { return state().boxes; }
void onMessageBox(std::function<void(const MessageBoxRecord&)> handler) { state().boxHandler = std::move(handler); }
std::vector<HotKeyRecord> hotKeys() { return state().hotKeys; }
void setScreenSize(int width, int height) {
  state().screenWidth = width;
  state().screenHeight = height;
}
int xpLookScheme() { return state().xpScheme; }

}  // namespace headless
}  // namespace platform::gui
