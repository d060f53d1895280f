#pragma once
// The local side of a download: one file written at positions by several
// connection threads at once. Paths are GBK texts; on Windows they are opened
// by wide names so that no ANSI code page conversion can alter them.
#include <cstdint>
#include <string>

namespace platform {

class OutputFile {
public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool create(const std::string& path);  // truncates an existing file
  bool isOpen() const;
  // Safe to call from several threads for disjoint regions.
  bool writeAt(int64_t position, const char* data, size_t length);
  bool close();

private:
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
};

bool pathExists(const std::string& path);
bool removePath(const std::string& path);
bool renameReplacing(const std::string& from, const std::string& to);

} // namespace platform
