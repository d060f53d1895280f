// velmora-inspector TITLE: prints the window tree of the top-level window
// with that title, one JSON object per line (UTF-8): depth, class, text,
// place relative to the parent's client area, visibility. Exit 1 when no
// such window exists.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string utf8(const std::wstring& w) {
  if (w.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}

std::string jsonText(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::wstring textOf(HWND hwnd) {
  // WM_GETTEXT works across processes for every class, unlike GetWindowText.
  LRESULT n = SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0);
  std::wstring w(static_cast<size_t>(n) + 1, L'\0');
  LRESULT got = SendMessageW(hwnd, WM_GETTEXT, static_cast<WPARAM>(n + 1), reinterpret_cast<LPARAM>(w.data()));
  w.resize(static_cast<size_t>(got));
  return w;
}

void print(HWND hwnd, int depth) {
  wchar_t cls[256] = {};
  GetClassNameW(hwnd, cls, 256);
  RECT r{};
  GetWindowRect(hwnd, &r);
  HWND parent = depth > 0 ? GetParent(hwnd) : nullptr;
  if (parent) MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
  std::string line = "{\"depth\":" + std::to_string(depth) + ",\"class\":" + jsonText(utf8(cls)) +
                     ",\"text\":" + jsonText(utf8(textOf(hwnd))) + ",\"left\":" + std::to_string(r.left) +
                     ",\"top\":" + std::to_string(r.top) + ",\"width\":" + std::to_string(r.right - r.left) +
                     ",\"height\":" + std::to_string(r.bottom - r.top) +
                     ",\"visible\":" + ((GetWindowLongW(hwnd, GWL_STYLE) & WS_VISIBLE) ? "true" : "false") + "}\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  for (HWND c = GetWindow(hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) print(c, depth + 1);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fputs("usage: velmora-inspector TITLE\n", stderr);
    return 2;
  }
  HWND top = FindWindowW(nullptr, argv[1]);
  if (!top) return 1;
  print(top, 0);
  return 0;
}
