// Started by update.exe after an install: writes "started.txt" beside itself
// with the command line it got, so a test sees that and how it was started.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  while (length > 0 && path[length - 1] != L'\\') --length;
  lstrcpyW(path + length, L"started.txt");
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  const wchar_t* line = GetCommandLineW();
  DWORD written = 0;
  WriteFile(file, line, lstrlenW(line) * sizeof(wchar_t), &written, nullptr);
  CloseHandle(file);
  return 0;
}
