// Bursts of appends into a shown edit box from another thread, with reads
// and the user's typing in the middle. Exit code 0 when every read saw the
// whole text so far and every typed key landed at the end of the text as it
// was when the key was typed; the first fault is printed.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>

#include "platform/gui/gui.h"

namespace gui = platform::gui;

namespace {

const int kLines = 1500;
gui::WindowSpec spec;
std::string fault;

std::string line(int n) {
  std::string text = "L";
  text += std::to_string(n);
  text += "\r\n";
  return text;
}

void fail(const std::string& what) {
  if (fault.empty()) fault = what;
}

// The typed keys taken out, the text must be the lines in order; each key
// must follow a line at least as late as the one appended before it was sent.
void checkFinalText(const std::string& text, const std::vector<int>& typedAfter) {
  std::string lines;
  size_t key = 0;
  int lastLine = 0;
  for (size_t at = 0; at < text.size(); ++at) {
    if (text[at] == 'x') {
      if (key >= typedAfter.size()) return fail("more typed keys than sent");
      if (lastLine < typedAfter[key])
        return fail("key " + std::to_string(key) + " landed after line " + std::to_string(lastLine) +
                    ", before the end (line " + std::to_string(typedAfter[key]) + ")");
      ++key;
      continue;
    }
    lines += text[at];
    if (text[at] == '\n') lastLine = std::stoi(lines.substr(lines.rfind('L', lines.size() - 2) + 1));
  }
  if (key != typedAfter.size()) fail("typed keys lost: " + std::to_string(typedAfter.size() - key));
  std::string expected;
  for (int n = 1; n <= kLines; ++n) expected += line(n);
  if (lines != expected) fail("lines out of order or lost");
}

void burst() {
  gui::Window window = gui::windowOf(spec);
  gui::Control edit = window.control("编辑框1");
  HWND top = FindWindowW(nullptr, L"edit burst");
  HWND box = top ? FindWindowExW(top, nullptr, L"Edit", nullptr) : nullptr;
  if (!box) fail("no edit window");
  std::vector<int> typedAfter;
  for (int n = 1; n <= kLines && box; ++n) {
    edit.appendText(line(n));
    if (n % 100 == 50) {
      // As if the user typed: the key is in the queue while lines still wait.
      PostMessageW(box, WM_CHAR, 'x', 1);
      typedAfter.push_back(n);
    }
    if (n % 100 == 0) {
      std::string seen = edit.caption();
      std::string::size_type tail = seen.size() >= line(n).size() ? seen.size() - line(n).size() : 0;
      if (seen.compare(tail, std::string::npos, line(n)) != 0) fail("caption() after line " + std::to_string(n) + " misses it");
      // A read that bypasses the runtime (another thread or program) too. Keys
      // sent but not yet in `seen` may be typed in between the two reads.
      long waiting = static_cast<long>(typedAfter.size()) - std::count(seen.begin(), seen.end(), 'x');
      long length = GetWindowTextLengthW(box), before = static_cast<long>(seen.size());
      if (length < before) fail("WM_GETTEXTLENGTH after line " + std::to_string(n) + " is short");
      if (length > before + waiting) fail("WM_GETTEXTLENGTH after line " + std::to_string(n) + " is too long");
    }
  }
  // The GUI thread takes its input between runs of calls, so the keys sent
  // last may still wait; they must all land within a generous deadline.
  std::string text = edit.caption();
  for (DWORD start = GetTickCount(); GetTickCount() - start < 10000; text = edit.caption()) {
    if (std::count(text.begin(), text.end(), 'x') >= static_cast<long>(typedAfter.size())) break;
    Sleep(10);
  }
  checkFinalText(text, typedAfter);
  window.close();
}

}  // namespace

int main() {
  gui::initialise();
  spec.title = "edit burst";
  spec.width = 400;
  spec.height = 300;
  gui::ControlSpec row;
  row.name = "编辑框1";
  row.kind = gui::Kind::EditBox;
  row.left = 10;
  row.top = 10;
  row.width = 360;
  row.height = 240;
  spec.controls = {row};
  gui::loadWindow(spec);
  std::thread worker(burst);
  gui::runMessageLoop();
  worker.join();
  if (!fault.empty()) {
    std::printf("fault: %s\n", fault.c_str());
    return 1;
  }
  std::printf("ok\n");
  return 0;
}
