#include "services.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace platform {

namespace {
std::atomic<ExitRoutine> exitRoutine{nullptr};
std::atomic<ProgramEndHook> endHook{nullptr};
} // namespace

void installExitRoutine(ExitRoutine routine) { exitRoutine.store(routine); }

void runExitRoutine() {
  // exchange: whichever end comes first runs it, and only once.
  if (ExitRoutine routine = exitRoutine.exchange(nullptr)) routine();
}

void setProgramEndHook(ProgramEndHook hook) { endHook.store(hook); }

void endProgram(int exitCode) {
  runExitRoutine();
  if (ProgramEndHook hook = endHook.load()) {
    hook(exitCode);
    std::abort();  // a hook that returns breaks the contract
  }
  std::fflush(nullptr);
#ifdef _WIN32
  // ExitProcess, not exit(): threads of the download facility may still be
  // blocked in a hand-over, and static destructors must not wait for them.
  ExitProcess(static_cast<UINT>(exitCode));
#else
  _exit(exitCode);
#endif
}

} // namespace platform
