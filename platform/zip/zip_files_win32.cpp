#include "platform/zip/zip_files.h"

#include "platform/text.h"

#include <windows.h>

// unzip.h first: it brings zlib's OF macro that iowin32.h needs.
#include <minizip/unzip.h>
#include <minizip/iowin32.h>

namespace platform::zipfiles {

namespace {

std::wstring widePath(const std::string& gbk) {
  std::u16string w = gbkToUtf16(gbk);
  return std::wstring(w.begin(), w.end());
}

} // namespace

void* openArchive(const std::string& path) {
  zlib_filefunc64_def io;
  fill_win32_filefunc64W(&io);
  std::wstring wide = widePath(path);
  return unzOpen2_64(wide.c_str(), &io);
}

size_t readAt(const std::string& path, uint64_t offset, char* data, size_t size) {
  HANDLE file = CreateFileW(widePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(offset);
  if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN)) {
    CloseHandle(file);
    return 0;
  }
  size_t done = 0;
  while (done < size) {
    DWORD n = 0;
    if (!ReadFile(file, data + done, static_cast<DWORD>(size - done), &n, nullptr) || n == 0) break;
    done += n;
  }
  CloseHandle(file);
  return done;
}

bool fileSize(const std::string& path, uint64_t& size) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(widePath(path).c_str(), GetFileExInfoStandard, &data)) return false;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

std::string joinPath(const std::string& base, const std::vector<std::string>& components, size_t count) {
  std::string out = base;
  for (size_t i = 0; i < count && i < components.size(); ++i) {
    // The last byte may be the trail byte 0x5C of a GBK character.
    bool endsWithSeparator = false;
    for (size_t k = 0; k < out.size(); ++k) {
      unsigned char b = static_cast<unsigned char>(out[k]);
      bool pair = isGbkLeadByte(b) && k + 1 < out.size();
      endsWithSeparator = !pair && (b == '\\' || b == '/');
      if (pair) ++k;
    }
    if (!endsWithSeparator) out += '\\';
    out += components[i];
  }
  return out;
}

bool ensureFolder(const std::string& path) {
  std::wstring wide = widePath(path);
  if (CreateDirectoryW(wide.c_str(), nullptr)) return true;
  DWORD attributes = GetFileAttributesW(wide.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool isFolder(const std::string& path) {
  DWORD attributes = GetFileAttributesW(widePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

struct OutputFile::Impl {
  HANDLE file = INVALID_HANDLE_VALUE;
};

OutputFile::OutputFile() : impl_(std::make_unique<Impl>()) {}

OutputFile::~OutputFile() {
  if (impl_->file != INVALID_HANDLE_VALUE) CloseHandle(impl_->file);
}

bool OutputFile::open(const std::string& path) {
  std::wstring wide = widePath(path);
  DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
  impl_->file = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  return impl_->file != INVALID_HANDLE_VALUE;
}

bool OutputFile::write(const char* data, size_t size) {
  while (size > 0) {
    DWORD chunk = size > (1u << 20) ? (1u << 20) : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(impl_->file, data, chunk, &written, nullptr) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

bool OutputFile::close() {
  HANDLE file = impl_->file;
  impl_->file = INVALID_HANDLE_VALUE;
  return file != INVALID_HANDLE_VALUE && CloseHandle(file);
}

} // namespace platform::zipfiles
