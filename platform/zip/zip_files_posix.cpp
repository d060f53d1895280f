#include "platform/zip/zip_files.h"

#include "platform/services.h"

#include <minizip/unzip.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::zipfiles {

using platform::nativePath;

void* openArchive(const std::string& path) { return unzOpen64(nativePath(path).c_str()); }

size_t readAt(const std::string& path, uint64_t offset, char* data, size_t size) {
  int fd = ::open(nativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::pread(fd, data + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  ::close(fd);
  return done;
}

bool fileSize(const std::string& path, uint64_t& size) {
  struct stat st;
  if (stat(nativePath(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  size = static_cast<uint64_t>(st.st_size);
  return true;
}

std::string joinPath(const std::string& base, const std::vector<std::string>& components, size_t count) {
  std::string out = nativePath(base);
  for (size_t i = 0; i < count && i < components.size(); ++i) {
    if (out.empty() || out.back() != '/') out += '/';
    out += components[i];
  }
  return out;
}

bool ensureFolder(const std::string& path) {
  std::string native = nativePath(path);
  if (mkdir(native.c_str(), 0755) == 0) return true;
  if (errno != EEXIST) return false;
  struct stat st;
  return lstat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isFolder(const std::string& path) {
  struct stat st;
  return stat(nativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

struct OutputFile::Impl {
  int fd = -1;
};

OutputFile::OutputFile() : impl_(std::make_unique<Impl>()) {}

OutputFile::~OutputFile() {
  if (impl_->fd >= 0) ::close(impl_->fd);
}

bool OutputFile::open(const std::string& path) {
  impl_->fd = ::open(nativePath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
  return impl_->fd >= 0;
}

bool OutputFile::write(const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(impl_->fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool OutputFile::close() {
  int fd = impl_->fd;
  impl_->fd = -1;
  return fd >= 0 && ::close(fd) == 0;
}

} // namespace platform::zipfiles
