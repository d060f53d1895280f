// POSIX side of the Windows services: real files and processes, so that the
// host build runs the programs' logic against a real file system.
#include "services.h"

#include "text.h"

#include <fnmatch.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace platform {

std::string nativePath(const std::string& path) {
  std::string out = path;
  for (size_t i = 0; i < out.size(); ++i) {
    if (isGbkLeadByte(static_cast<unsigned char>(out[i])) && i + 1 < out.size()) {
      ++i;
      continue;
    }
    if (out[i] == '\\') out[i] = '/';
  }
  return out;
}

namespace {

std::string ltrimBlanks(const std::string& s) {
  size_t i = s.find_first_not_of(' ');
  return i == std::string::npos ? std::string() : s.substr(i);
}

bool isDriveRoot(const std::string& s) {
  bool letter = s.size() >= 2 && std::isalpha(static_cast<unsigned char>(s[0])) && s[1] == ':';
  return letter && (s.size() == 2 || (s.size() == 3 && (s[2] == '\\' || s[2] == '/')));
}

// Windows' splitting of arguments after the program path (quotes group, no escapes needed here).
std::vector<std::string> splitWindowsArguments(const std::string& s) {
  std::vector<std::string> args;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    if (i >= s.size()) break;
    std::string arg;
    bool quoted = false;
    for (; i < s.size(); ++i) {
      char c = s[i];
      if (c == '"') {
        quoted = !quoted;
        continue;
      }
      if (!quoted && (c == ' ' || c == '\t')) break;
      arg += c;
    }
    args.push_back(arg);
  }
  return args;
}

bool isRunnableFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

// The program path as CreateProcess finds it: a quoted path, or the shortest
// blank-delimited prefix that names a runnable file.
bool splitProgram(const std::string& commandLine, std::string& program, std::string& rest) {
  if (!commandLine.empty() && commandLine[0] == '"') {
    size_t close = commandLine.find('"', 1);
    program = commandLine.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    rest = close == std::string::npos ? std::string() : commandLine.substr(close + 1);
    return isRunnableFile(nativePath(program));
  }
  for (size_t blank = commandLine.find(' '); ; blank = commandLine.find(' ', blank + 1)) {
    program = commandLine.substr(0, blank);
    rest = blank == std::string::npos ? std::string() : commandLine.substr(blank);
    if (isRunnableFile(nativePath(program))) return true;
    if (blank == std::string::npos) return false;
  }
}

bool spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv, bool wait) {
  std::vector<char*> args;
  for (auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::vector<std::string> envStore;
  for (char** e = environ; *e; ++e) {
    std::string entry = *e;
    bool replaced = false;
    for (auto& x : extraEnv)
      if (entry.compare(0, x.find('=') + 1, x, 0, x.find('=') + 1) == 0) replaced = true;
    if (!replaced) envStore.push_back(entry);
  }
  for (auto& x : extraEnv) envStore.push_back(x);
  std::vector<char*> env;
  for (auto& e : envStore) env.push_back(const_cast<char*>(e.c_str()));
  env.push_back(nullptr);
  pid_t pid;
  if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), env.data()) != 0) return false;
  if (wait) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  std::thread([pid] { int status; waitpid(pid, &status, 0); }).detach();  // no zombies
  return true;
}

} // namespace

std::string runDirectory() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return ".";
  return exe.parent_path().string();
}

std::string processCommandLine() {
  // A program started by startProgram gets the exact Windows command line.
  if (const char* line = std::getenv("VELMORA_COMMAND_LINE")) return line;
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string line;
  size_t start = 0;
  while (start < all.size()) {
    size_t end = all.find('\0', start);
    std::string arg = all.substr(start, end - start);
    if (!line.empty()) line += ' ';
    line += arg.find(' ') != std::string::npos ? "\"" + arg + "\"" : arg;
    start = end == std::string::npos ? all.size() : end + 1;
  }
  return line;
}

bool createFolder(const std::string& path) {
  return ::mkdir(nativePath(path).c_str(), 0777) == 0;
}

bool copyFile(const std::string& from, const std::string& to) {
  std::error_code ec;
  std::string target = nativePath(to);
  if (fs::is_directory(target, ec)) return false;
  return fs::copy_file(nativePath(from), target, fs::copy_options::overwrite_existing, ec) && !ec;
}

bool deleteFile(const std::string& path) {
  std::string p = nativePath(path);
  struct stat st;
  if (lstat(p.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  return ::unlink(p.c_str()) == 0;
}

bool moveFile(const std::string& from, const std::string& to) {
  std::string source = nativePath(from), target = nativePath(to);
  struct stat st;
  if (lstat(source.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  // A hard link fails on an existing target, where rename would replace it.
  if (::link(source.c_str(), target.c_str()) != 0) return false;
  return ::unlink(source.c_str()) == 0;
}

bool deleteFolderTree(const std::string& path) {
  std::string p = ltrimBlanks(path);
  if (p.empty() || isDriveRoot(p)) return false;
  std::string native = nativePath(p);
  std::error_code ec;
  fs::path canonical = fs::weakly_canonical(native, ec);
  if (ec || canonical == canonical.root_path()) return false;
  if (!fs::is_directory(fs::symlink_status(native, ec))) return false;
  return fs::remove_all(native, ec) > 0 && !ec;  // remove_all never follows links
}

bool fileExists(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(nativePath(path), ec);
}

bool folderExists(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(nativePath(path), ec);
}

struct FolderSearch::Impl {
  std::vector<std::string> names;
  size_t next = 0;
};

FolderSearch::FolderSearch() : impl_(std::make_unique<Impl>()) {}
FolderSearch::~FolderSearch() = default;

std::string FolderSearch::first(const std::string& pattern, EntryFilter filter) {
  impl_->names.clear();
  impl_->next = 0;
  std::string native = nativePath(pattern);
  size_t slash = native.rfind('/');
  std::string dir = slash == std::string::npos ? "." : native.substr(0, slash);
  if (dir.empty()) dir = "/";
  std::string mask = slash == std::string::npos ? native : native.substr(slash + 1);
  bool all = mask == "*" || mask == "*.*";  // Windows: "*.*" matches names without a dot too
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) return {};
  if (filter == EntryFilter::FoldersOnly) {
    impl_->names = {".", ".."};
  }
  std::vector<std::string> found;
  for (auto it = fs::directory_iterator(dir, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (!all && fnmatch(mask.c_str(), name.c_str(), FNM_CASEFOLD) != 0) continue;
    bool isFolder = it->is_directory(ec);
    if ((filter == EntryFilter::FoldersOnly) == isFolder) found.push_back(name);
  }
  std::sort(found.begin(), found.end());
  impl_->names.insert(impl_->names.end(), found.begin(), found.end());
  return next();
}

std::string FolderSearch::next() {
  if (impl_->next >= impl_->names.size()) return {};
  return impl_->names[impl_->next++];
}

bool startProgram(const std::string& commandLine) {
  std::string program, rest;
  if (!splitProgram(commandLine, program, rest)) return false;
  std::vector<std::string> argv{nativePath(program)};
  for (auto& a : splitWindowsArguments(rest)) argv.push_back(a);
  return spawn(argv, {"VELMORA_COMMAND_LINE=" + commandLine}, false);
}

bool shellOpen(const std::string& file, const std::string& parameters) {
  // Tests point VELMORA_SHELL_OPEN at a recorder; a desktop has xdg-open.
  const char* opener = std::getenv("VELMORA_SHELL_OPEN");
  std::vector<std::string> argv{opener && *opener ? opener : "xdg-open", file};
  if (!parameters.empty()) argv.push_back(parameters);
  return spawn(argv, {}, true);
}

} // namespace platform
