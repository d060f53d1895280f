#include "platform/download/output_file.h"

#ifdef _WIN32
#include "platform/text.h"
#include <windows.h>
#else
#include "platform/services.h"
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#endif

namespace platform {

#ifdef _WIN32

namespace {
std::wstring widePath(const std::string& path) {
  std::u16string u = gbkToUtf16(path);
  return std::wstring(u.begin(), u.end());
}
} // namespace

OutputFile::~OutputFile() { close(); }

bool OutputFile::create(const std::string& path) {
  close();
  HANDLE h = CreateFileW(widePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  handle_ = h;
  return true;
}

bool OutputFile::isOpen() const { return handle_ != nullptr; }

bool OutputFile::writeAt(int64_t position, const char* data, size_t length) {
  while (length > 0) {
    // A synchronous handle still takes the position from OVERLAPPED, so the
    // connections never share a file pointer.
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(position & 0xFFFFFFFF);
    at.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(position) >> 32);
    DWORD chunk = length > 0x40000000 ? 0x40000000 : static_cast<DWORD>(length);
    DWORD written = 0;
    if (!WriteFile(static_cast<HANDLE>(handle_), data, chunk, &written, &at) || written == 0)
      return false;
    position += written;
    data += written;
    length -= written;
  }
  return true;
}

bool OutputFile::close() {
  if (!handle_) return true;
  bool ok = CloseHandle(static_cast<HANDLE>(handle_)) != 0;
  handle_ = nullptr;
  return ok;
}

bool pathExists(const std::string& path) {
  return GetFileAttributesW(widePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool removePath(const std::string& path) { return DeleteFileW(widePath(path).c_str()) != 0; }

bool renameReplacing(const std::string& from, const std::string& to) {
  return MoveFileExW(widePath(from).c_str(), widePath(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

#else


OutputFile::~OutputFile() { close(); }

bool OutputFile::create(const std::string& path) {
  close();
  fd_ = ::open(nativePath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  return fd_ >= 0;
}

bool OutputFile::isOpen() const { return fd_ >= 0; }

bool OutputFile::writeAt(int64_t position, const char* data, size_t length) {
  while (length > 0) {
    ssize_t n = ::pwrite(fd_, data, length, static_cast<off_t>(position));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    position += n;
    data += n;
    length -= static_cast<size_t>(n);
  }
  return true;
}

bool OutputFile::close() {
  if (fd_ < 0) return true;
  bool ok = ::close(fd_) == 0;
  fd_ = -1;
  return ok;
}

bool pathExists(const std::string& path) {
  struct stat st;
  return ::stat(nativePath(path).c_str(), &st) == 0;
}

bool removePath(const std::string& path) { return ::unlink(nativePath(path).c_str()) == 0; }

bool renameReplacing(const std::string& from, const std::string& to) {
  return ::rename(nativePath(from).c_str(), nativePath(to).c_str()) == 0;
}

#endif

} // namespace platform
