#pragma once
// Windows services both programs use, with a Win32 and a POSIX implementation.
// Paths are GBK texts in Windows form ("\" separators); the POSIX side maps
// them onto its own file system, so host tests observe real effects.
#include <memory>
#include <string>

namespace platform {

// A Windows-form path as this system's own file functions take it: unchanged
// on Windows; on POSIX "\" becomes "/", except as the second byte of a GBK character.
std::string nativePath(const std::string& path);

// The folder of the running executable, without a trailing backslash.
std::string runDirectory();

// The process command line as Windows hands it over, program path included.
std::string processCommandLine();

bool createFolder(const std::string& path);                      // one level only
bool copyFile(const std::string& from, const std::string& to);   // replaces the target
bool deleteFile(const std::string& path);
// Renames a file within one volume; never replaces: fails when `to` exists.
bool moveFile(const std::string& from, const std::string& to);
// Leading blanks are ignored; an empty path and a drive root ("C:", "C:\") are refused.
bool deleteFolderTree(const std::string& path);
bool fileExists(const std::string& path);
bool folderExists(const std::string& path);

enum class EntryFilter { FilesOnly, FoldersOnly };

// One name per call: `first` with a pattern such as "C:\dir\*.*", then `next`
// until the empty text. Folders only include "." and "..". The search is
// closed when the object goes.
class FolderSearch {
public:
  FolderSearch();
  ~FolderSearch();
  FolderSearch(const FolderSearch&) = delete;
  FolderSearch& operator=(const FolderSearch&) = delete;
  std::string first(const std::string& pattern, EntryFilter filter);
  std::string next();

private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Starts a program from a Windows command line without waiting for it; the new
// process gets a normally shown window and this process's current folder.
// Returns once it is ready for input or after at most 1000 ms.
bool startProgram(const std::string& commandLine);

// The shell's "open" verb with a normally shown window: true when it succeeded.
bool shellOpen(const std::string& file, const std::string& parameters = "");

// The exit routine runs once at whatever end the program takes.
using ExitRoutine = void (*)();
void installExitRoutine(ExitRoutine routine);
void runExitRoutine();

// Runs the exit routine, then ends the process. A GUI runtime that must not
// lose the process (the headless one in tests) installs a hook that takes
// over after the exit routine; the hook must not return.
using ProgramEndHook = void (*)(int exitCode);
void setProgramEndHook(ProgramEndHook hook);
[[noreturn]] void endProgram(int exitCode);

} // namespace platform
