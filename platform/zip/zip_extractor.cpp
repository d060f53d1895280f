#include "platform/zip/zip_extractor.h"

#include "platform/zip/zip_files.h"
#include "platform/zip/zip_names.h"

#include <minizip/unzip.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

// Literals here stay ASCII: the fuzz build compiles this file with clang.

namespace platform {

namespace {

using zipnames::EntryPath;

constexpr unsigned long flagEncrypted = 0x0001;
constexpr unsigned long flagStrongEncryption = 0x0040;
constexpr unsigned long flagUtf8Name = 0x0800;
constexpr unsigned long flagMaskedHeaders = 0x2000;
constexpr uint32_t unixTypeMask = 0170000;
constexpr uint32_t unixRegular = 0100000;
constexpr uint32_t unixFolder = 0040000;
constexpr uint32_t unixSymlink = 0120000;
constexpr uint32_t dosFolder = 0x10;
const char endSignature[] = {'P', 'K', 5, 6, 0};

struct PlannedEntry {
  std::string name;  // GBK, as the archive gives it
  EntryPath path;
  uint64_t size = 0;
};

class ArchiveHandle {
public:
  explicit ArchiveHandle(void* zip) : zip_(zip) {}
  ~ArchiveHandle() {
    if (zip_) unzClose(zip_);
  }
  ArchiveHandle(const ArchiveHandle&) = delete;
  ArchiveHandle& operator=(const ArchiveHandle&) = delete;
  unzFile get() const { return zip_; }

private:
  unzFile zip_;
};

// Closes the entry opened for reading on every path out of the copy loop.
class OpenEntry {
public:
  explicit OpenEntry(unzFile zip) : zip_(zip) {}
  ~OpenEntry() {
    if (zip_) unzCloseCurrentFile(zip_);
  }
  OpenEntry(const OpenEntry&) = delete;
  OpenEntry& operator=(const OpenEntry&) = delete;
  int close() {
    unzFile zip = zip_;
    zip_ = nullptr;
    return unzCloseCurrentFile(zip);
  }

private:
  unzFile zip_;
};

class Unpacker {
public:
  Unpacker(const std::string& archivePath, const std::string& targetFolder,
           const UnzipProgress& progress, const ZipLimits& limits)
      : archivePath_(archivePath), target_(targetFolder), progress_(progress), limits_(limits) {}

  UnzipResult run() {
    uint64_t archiveSize = 0;
    if (!zipfiles::fileSize(archivePath_, archiveSize)) {
      fail(UnzipStatus::CannotOpenArchive, "archive not found");
      return result_;
    }
    ArchiveHandle archive(zipfiles::openArchive(archivePath_));
    if (!archive.get() && isEmptyArchive(archiveSize)) {
      prepareTarget();
      return result_;
    }
    if (!archive.get()) {
      fail(UnzipStatus::CannotOpenArchive, "not a ZIP archive");
      return result_;
    }
    if (!hasWholeEndRecord(archiveSize)) {
      fail(UnzipStatus::DamagedArchive, "end record cut short");
      return result_;
    }
    if (plan(archive.get(), archiveSize) && prepareTarget()) extract(archive.get());
    return result_;
  }

private:
  bool fail(UnzipStatus status, const std::string& reason, const std::string& entry = {}) {
    result_.status = status;
    result_.reason = entry.empty() ? reason : reason + ": " + entry;
    result_.entryName = entry;
    return false;
  }

  bool prepareTarget() {
    if (zipfiles::isFolder(target_) || zipfiles::ensureFolder(target_)) return true;
    return fail(UnzipStatus::CannotWrite, "cannot create the target folder");
  }

  // minizip never finds an end record at offset 0, which is all an archive
  // without entries holds (besides its comment).
  bool isEmptyArchive(uint64_t archiveSize) {
    char record[22];
    if (zipfiles::readAt(archivePath_, 0, record, sizeof record) != sizeof record) return false;
    if (std::memcmp(record, endSignature, 4) != 0) return false;
    for (int i = 4; i < 20; ++i)
      if (record[i] != 0) return false;
    return archiveSize == sizeof record + little16(record + 20);
  }

  // minizip reads past the end of the file as if it found zeros, so it takes
  // an end record the file cuts short; a whole record and comment must be there.
  bool hasWholeEndRecord(uint64_t archiveSize) {
    size_t tailSize = static_cast<size_t>(std::min<uint64_t>(archiveSize, 22 + 0xFFFF));
    std::string tail(tailSize, '\0');
    if (zipfiles::readAt(archivePath_, archiveSize - tailSize, tail.data(), tailSize) != tailSize) return false;
    for (size_t at = tail.rfind(endSignature, std::string::npos, 4); at != std::string::npos && tailSize >= 22;
         at = at ? tail.rfind(endSignature, at - 1, 4) : std::string::npos) {
      if (at + 22 <= tailSize && at + 22 + little16(tail.data() + at + 20) <= tailSize) return true;
    }
    return false;
  }

  static unsigned little16(const char* p) {
    return static_cast<unsigned char>(p[0]) | (static_cast<unsigned char>(p[1]) << 8);
  }

  // Reads and judges the whole central directory; nothing is written yet.
  bool plan(unzFile zip, uint64_t archiveSize) {
    unz_global_info64 global;
    if (unzGetGlobalInfo64(zip, &global) != UNZ_OK) return fail(UnzipStatus::DamagedArchive, "unreadable central directory");
    if (global.number_entry > limits_.maxEntries)
      return fail(UnzipStatus::LimitExceeded, "more than " + std::to_string(limits_.maxEntries) + " entries");
    result_.entryCount = global.number_entry;
    if (global.number_entry == 0) return true;
    int rc = unzGoToFirstFile(zip);
    while (rc == UNZ_OK) {
      if (!planEntry(zip, archiveSize)) return false;
      rc = unzGoToNextFile(zip);
    }
    if (rc != UNZ_END_OF_LIST_OF_FILE || entries_.size() != global.number_entry)
      return fail(UnzipStatus::DamagedArchive, "broken central directory");
    return true;
  }

  bool planEntry(unzFile zip, uint64_t archiveSize) {
    unz_file_info64 info;
    if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
      return fail(UnzipStatus::DamagedArchive, "broken central directory entry");
    std::string raw(info.size_filename, '\0');
    if (!raw.empty() &&
        unzGetCurrentFileInfo64(zip, &info, raw.data(), raw.size(), nullptr, 0, nullptr, 0) != UNZ_OK)
      return fail(UnzipStatus::DamagedArchive, "broken central directory entry");

    std::string problem;
    PlannedEntry entry;
    entry.name = zipnames::nameAsGbk(raw, info.flag & flagUtf8Name, problem);
    if (problem.empty()) problem = zipnames::parseEntryName(entry.name, entry.path);
    if (!problem.empty()) return fail(UnzipStatus::HostileName, problem, entry.name.empty() ? raw : entry.name);
    const std::string& name = entry.name;

    if (info.flag & (flagEncrypted | flagStrongEncryption | flagMaskedHeaders))
      return fail(UnzipStatus::UnsupportedEntry, "encrypted entry", name);
    if (info.compression_method != 0 && info.compression_method != Z_DEFLATED)
      return fail(UnzipStatus::UnsupportedEntry, "compression method " + std::to_string(info.compression_method), name);
    uint32_t unixType = static_cast<uint32_t>(info.external_fa >> 16) & unixTypeMask;
    if (unixType == unixSymlink) return fail(UnzipStatus::UnsupportedEntry, "symbolic link", name);
    if (unixType != 0 && unixType != unixRegular && unixType != unixFolder)
      return fail(UnzipStatus::UnsupportedEntry, "special file", name);
    if (unixType == unixFolder || (info.external_fa & dosFolder)) entry.path.isFolder = true;

    if (entry.path.isFolder && info.uncompressed_size != 0)
      return fail(UnzipStatus::DamagedArchive, "folder entry with contents", name);
    if (info.compression_method == 0 && info.compressed_size != info.uncompressed_size)
      return fail(UnzipStatus::DamagedArchive, "stored entry whose sizes differ", name);
    if (info.compressed_size > archiveSize)
      return fail(UnzipStatus::DamagedArchive, "entry larger than the archive", name);
    if (info.uncompressed_size > limits_.maxTotalSize - totalSize_)
      return fail(UnzipStatus::LimitExceeded, "more than " + std::to_string(limits_.maxTotalSize) + " bytes in all", name);
    if (info.uncompressed_size >= limits_.ratioCheckedFrom &&
        info.uncompressed_size / (info.compressed_size ? info.compressed_size : 1) > limits_.maxRatio)
      return fail(UnzipStatus::LimitExceeded, "compression ratio above " + std::to_string(limits_.maxRatio), name);

    problem = names_.add(entry.path);
    if (!problem.empty()) return fail(UnzipStatus::HostileName, problem, name);
    totalSize_ += info.uncompressed_size;
    entry.size = info.uncompressed_size;
    entries_.push_back(std::move(entry));
    return true;
  }

  bool extract(unzFile zip) {
    buffer_.resize(64 * 1024);
    for (size_t i = 0; i < entries_.size(); ++i) {
      if ((i == 0 ? unzGoToFirstFile(zip) : unzGoToNextFile(zip)) != UNZ_OK)
        return fail(UnzipStatus::DamagedArchive, "broken central directory");
      PlannedEntry& entry = entries_[i];
      spellLikeFirstSeen(entry.path);
      size_t folderDepth = entry.path.components.size() - (entry.path.isFolder ? 0 : 1);
      if (!ensureFolders(entry.path, folderDepth))
        return fail(UnzipStatus::CannotWrite, "cannot create a folder", entry.name);
      if (!entry.path.isFolder && !writeEntry(zip, entry)) return false;
    }
    return true;
  }

  // Windows merges folders whose names differ only in case; so does the
  // host build, which keeps the first spelling.
  void spellLikeFirstSeen(EntryPath& path) {
    for (size_t depth = 1; depth <= path.components.size(); ++depth) {
      auto [it, inserted] = spellings_.emplace(zipnames::comparisonKey(path.components, depth),
                                               path.components[depth - 1]);
      if (!inserted) path.components[depth - 1] = it->second;
    }
  }

  bool ensureFolders(const EntryPath& path, size_t depth) {
    for (size_t d = 1; d <= depth; ++d) {
      auto key = zipnames::comparisonKey(path.components, d);
      if (madeFolders_.count(key)) continue;
      if (!zipfiles::ensureFolder(zipfiles::joinPath(target_, path.components, d))) return false;
      madeFolders_.emplace(key, true);
      ++result_.foldersCreated;
    }
    return true;
  }

  bool writeEntry(unzFile zip, const PlannedEntry& entry) {
    if (unzOpenCurrentFile(zip) != UNZ_OK)
      return fail(UnzipStatus::DamagedArchive, "local header does not match the central directory", entry.name);
    OpenEntry reading(zip);
    zipfiles::OutputFile out;
    if (!out.open(zipfiles::joinPath(target_, entry.path.components, entry.path.components.size())))
      return fail(UnzipStatus::CannotWrite, "cannot create the file", entry.name);
    uint64_t count = 0;
    for (;;) {
      int n = unzReadCurrentFile(zip, buffer_.data(), static_cast<unsigned>(buffer_.size()));
      if (n < 0) return fail(UnzipStatus::DamagedData, "read error or corrupt data", entry.name);
      if (n == 0) break;
      count += static_cast<uint64_t>(n);
      if (count > entry.size) return fail(UnzipStatus::DamagedData, "more data than declared", entry.name);
      if (!out.write(buffer_.data(), static_cast<size_t>(n)))
        return fail(UnzipStatus::CannotWrite, "cannot write the file", entry.name);
      result_.bytesWritten += static_cast<uint64_t>(n);
      if (progress_ && !progress_(result_.bytesWritten, totalSize_))
        return fail(UnzipStatus::Cancelled, "stopped", entry.name);
    }
    // minizip ends quietly when the data runs out early and only then skips the CRC.
    if (count != entry.size)
      return fail(UnzipStatus::DamagedData,
                  "data ended after " + std::to_string(count) + " of " + std::to_string(entry.size) + " bytes",
                  entry.name);
    if (!out.close()) return fail(UnzipStatus::CannotWrite, "cannot write the file", entry.name);
    int rc = reading.close();
    if (rc == UNZ_CRCERROR) return fail(UnzipStatus::DamagedData, "CRC mismatch", entry.name);
    if (rc != UNZ_OK) return fail(UnzipStatus::DamagedData, "read error", entry.name);
    ++result_.filesWritten;
    return true;
  }

  const std::string& archivePath_;
  const std::string& target_;
  const UnzipProgress& progress_;
  const ZipLimits& limits_;
  UnzipResult result_;
  std::vector<PlannedEntry> entries_;
  zipnames::NameSet names_;
  uint64_t totalSize_ = 0;
  std::map<std::u16string, std::string> spellings_;
  std::map<std::u16string, bool> madeFolders_;
  std::vector<char> buffer_;
};

} // namespace

UnzipResult unzipArchive(const std::string& archivePath, const std::string& targetFolder,
                         const UnzipProgress& progress, const ZipLimits& limits) {
  try {
    return Unpacker(archivePath, targetFolder, progress, limits).run();
  } catch (...) {
    // Out of memory or a throwing progress routine: a failure like any other.
    UnzipResult result;
    result.status = UnzipStatus::CannotWrite;
    result.reason = "unexpected error";
    return result;
  }
}

} // namespace platform
