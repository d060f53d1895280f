// hold_file FILE READY RELEASE
// Opens FILE for reading and lets others only read it (no writing, renaming
// or deleting), as a running program holds its files; creates READY once it
// holds it and lets go when RELEASE appears, after five minutes at most.
#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: hold_file FILE READY RELEASE\n");
    return 2;
  }
  HANDLE held = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (held == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "cannot open the file: %lu\n", GetLastError());
    return 1;
  }
  HANDLE ready = CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (ready == INVALID_HANDLE_VALUE) return 1;
  CloseHandle(ready);
  for (DWORD start = GetTickCount(); GetTickCount() - start < 300000;) {
    if (GetFileAttributesW(argv[3]) != INVALID_FILE_ATTRIBUTES) break;
    Sleep(50);
  }
  CloseHandle(held);
  return 0;
}
