#pragma once
// The file-system side of the extractor, one implementation per platform.
// Paths are GBK texts; the Windows side opens everything by wide paths.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform::zipfiles {

// The minizip handle (unzFile) of the archive, or null.
void* openArchive(const std::string& path);

// Up to `size` bytes from `offset` on; the count read, 0 on failure.
size_t readAt(const std::string& path, uint64_t offset, char* data, size_t size);

// The archive's size in bytes; false when it cannot be read.
bool fileSize(const std::string& path, uint64_t& size);

// `base` followed by the first `count` components, in the platform's form.
std::string joinPath(const std::string& base, const std::vector<std::string>& components, size_t count);

// Makes sure a real folder (not a link or reparse point) is at `path`,
// creating one level when nothing is there.
bool ensureFolder(const std::string& path);

// True when `path` is a folder; links are followed (the target itself may be one).
bool isFolder(const std::string& path);

// A file opened for writing from scratch; an existing link is never followed.
class OutputFile {
public:
  OutputFile();
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  bool open(const std::string& path);
  bool write(const char* data, size_t size);
  bool close();  // false when the data may not have reached the file

private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

} // namespace platform::zipfiles
