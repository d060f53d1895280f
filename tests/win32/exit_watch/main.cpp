// velmora-exit-watch SECONDS NAME...: watches for processes with one of the
// executable NAMEs, holds a handle to each one it sees, and prints
// "exit NAME PID CODE" (UTF-8) when it ends. Ends itself after SECONDS.
#include <windows.h>
#include <tlhelp32.h>

#include <cwchar>
#include <map>
#include <string>
#include <vector>

namespace {

struct Watched {
  std::wstring name;
  HANDLE process;
};

void printLine(const std::wstring& text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
  bytes += "\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

bool wanted(const wchar_t* exe, const std::vector<std::wstring>& names) {
  for (const std::wstring& n : names)
    if (_wcsicmp(exe, n.c_str()) == 0) return true;
  return false;
}

// Opens every new process of a wanted name; a handle keeps its exit code.
void lookForNew(const std::vector<std::wstring>& names, std::map<DWORD, Watched>& watched) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    if (watched.count(entry.th32ProcessID) || !wanted(entry.szExeFile, names)) continue;
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, entry.th32ProcessID);
    if (!process) continue;
    watched[entry.th32ProcessID] = {entry.szExeFile, process};
    printLine(L"start " + std::wstring(entry.szExeFile) + L" " + std::to_wstring(entry.th32ProcessID));
  }
  CloseHandle(snapshot);
}

void reportEnded(std::map<DWORD, Watched>& watched) {
  for (auto it = watched.begin(); it != watched.end();) {
    DWORD code = 0;
    if (it->second.process && WaitForSingleObject(it->second.process, 0) == WAIT_OBJECT_0 &&
        GetExitCodeProcess(it->second.process, &code)) {
      printLine(L"exit " + it->second.name + L" " + std::to_wstring(it->first) + L" " + std::to_wstring(code));
      CloseHandle(it->second.process);
      it->second.process = nullptr;  // kept, so the same id is not reported twice
    }
    ++it;
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    printLine(L"usage: velmora-exit-watch SECONDS NAME...");
    return 2;
  }
  const DWORD until = GetTickCount() + static_cast<DWORD>(_wtoi(argv[1])) * 1000;
  std::vector<std::wstring> names(argv + 2, argv + argc);
  std::map<DWORD, Watched> watched;
  printLine(L"watching");
  while (static_cast<LONG>(until - GetTickCount()) > 0) {
    lookForNew(names, watched);
    reportEnded(watched);
    Sleep(20);
  }
  return 0;
}
