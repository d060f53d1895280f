// Streams of calls from other threads to the GUI thread of a shown window.
// Exit code 0 when:
// - every call ran on the GUI thread, each thread's calls in their order, and
//   each caller found its call finished when it got control back;
// - while the calls streamed without a pause, the window's timer kept firing
//   and feedback posted from yet another thread kept arriving;
// - a call waiting inside an eventful wait let another thread's calls through.
// The first fault is printed.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/gui/gui.h"

namespace gui = platform::gui;

namespace {

const int kThreads = 3;
const DWORD kStreamMs = 1000;
const int kPosts = 100;

gui::WindowSpec spec;
std::string fault;
std::atomic<bool> streaming{false};

// Written only on the GUI thread.
std::vector<int> lastSeen(kThreads, -1);
std::vector<int> callsMade(kThreads, 0);  // by each caller, read after it has ended
int ticksWhileStreaming = 0;
int postsWhileStreaming = 0;
int postsArrived = 0;
DWORD streamMs = 0;

std::mutex faultLock;
void fail(const std::string& what) {
  std::lock_guard held(faultLock);
  if (fault.empty()) fault = what;
}

void oneCall(int thread, int n) {
  gui::runOnGuiThread([&] {
    if (!gui::onGuiThread()) fail("a call ran off the GUI thread");
    if (lastSeen[thread] != n - 1) fail("thread " + std::to_string(thread) + ": call " + std::to_string(n) + " out of order");
    lastSeen[thread] = n;
  });
  // The call is over once it is back: what it did is there.
  int seen = -1;
  gui::runOnGuiThread([&] { seen = lastSeen[thread]; });
  if (seen != n) fail("thread " + std::to_string(thread) + ": back before call " + std::to_string(n) + " had run");
}

void streamCalls(int thread) {
  const DWORD started = GetTickCount();
  int n = 0;
  while (GetTickCount() - started < kStreamMs) oneCall(thread, n++);
  callsMade[thread] = n;
}

void postFeedback(gui::Control label) {
  for (int n = 0; n < kPosts && streaming; ++n) {
    label.postFeedback(n, 0);
    Sleep(5);
  }
}

// A call that waits inside, while another thread goes on calling.
void nestedWait() {
  std::atomic<bool> waiting{false};
  std::atomic<int> throughWhileWaiting{0};
  std::thread other([&] {
    for (int n = 0; n < 5000 && !waiting; ++n) Sleep(1);
    for (int n = 0; n < 200 && waiting; ++n) {
      gui::runOnGuiThread([] {});
      if (waiting) ++throughWhileWaiting;
    }
  });
  gui::runOnGuiThread([&] {
    waiting = true;
    gui::eventfulWait(300);
    waiting = false;
  });
  other.join();
  if (throughWhileWaiting == 0) fail("no call got through while a call waited");
}

void run() {
  gui::Window window = gui::windowOf(spec);
  gui::Control label = window.control("标签1");
  streaming = true;
  DWORD started = GetTickCount();
  std::vector<std::thread> callers;
  for (int t = 0; t < kThreads; ++t) callers.emplace_back(streamCalls, t);
  std::thread poster(postFeedback, label);
  for (auto& c : callers) c.join();
  streaming = false;
  streamMs = GetTickCount() - started;
  poster.join();
  gui::runOnGuiThread([] {
    for (int t = 0; t < kThreads; ++t)
      if (lastSeen[t] != callsMade[t] - 1) fail("thread " + std::to_string(t) + ": calls lost");
    if (ticksWhileStreaming < 10) fail("the timer fired " + std::to_string(ticksWhileStreaming) + " times while calls streamed");
    if (postsWhileStreaming < 5) fail(std::to_string(postsWhileStreaming) + " posted feedbacks arrived while calls streamed");
  });
  nestedWait();
  window.close();
}

}  // namespace

int main() {
  gui::initialise();
  spec.title = "call stream";
  spec.width = 300;
  spec.height = 200;
  gui::ControlSpec label;
  label.name = "标签1";
  label.left = 10;
  label.top = 10;
  label.width = 200;
  label.height = 20;
  label.feedback = [](int, int) {
    ++postsArrived;
    if (streaming) ++postsWhileStreaming;
    return 0;
  };
  gui::ControlSpec timer;
  timer.name = "时钟1";
  timer.kind = gui::Kind::Timer;
  timer.period = 20;
  timer.elapsed = [] {
    if (streaming) ++ticksWhileStreaming;
  };
  spec.controls = {label, timer};
  gui::loadWindow(spec);
  std::thread worker(run);
  gui::runMessageLoop();
  worker.join();
  if (!fault.empty()) {
    std::printf("fault: %s (calls streamed for %lu ms)\n", fault.c_str(), streamMs);
    return 1;
  }
  std::printf("ok: %d ticks and %d of %d posts in %lu ms of streaming\n", ticksWhileStreaming, postsWhileStreaming, postsArrived, streamMs);
  return 0;
}
