#pragma once
// Unpacks a ZIP archive into a folder.
//
// Paths are GBK texts in Windows form ("\" separators); the host build also
// accepts "/" and maps the text onto its own file system (a GBK trail byte
// 0x5C is never taken for a separator). On Windows the archive and every
// output file are opened by wide paths, never through the ANSI code page.
//
// What is accepted: files and folders, stored and deflated entries, ZIP64.
// (minizip 1.1 reads ZIP64 extra fields only where long has 32 bits, as in
// the Win32 build; a 64-bit host build refuses entries that need them.)
// Entry names are GBK when the UTF-8 flag (bit 11) is clear, as Windows tools
// write them, and UTF-8 converted to GBK when it is set.
//
// Before anything is written, the whole central directory is checked and the
// archive is refused when any entry
//   - uses a method other than stored or deflated, is encrypted, or is a
//     symbolic link or another special Unix file;
//   - has a name that could land outside the target or alias another file on
//     Windows: absolute, a drive letter or any ":", an empty, "." or ".."
//     component (with "/" or "\" as separator), a NUL or control byte, one of
//     < > " | ? *, a device name (CON, PRN, AUX, NUL, COM0-9, LPT0-9, CONIN$,
//     CONOUT$, any case, any extension), a trailing dot or space, text that is
//     not valid GBK (or valid UTF-8 with the flag), a component longer than
//     255 UTF-16 units, the shape of a generated short name ("PROGRA~1");
//   - has a name equal to another one when case is ignored, or is a file
//     where another entry needs a folder;
//   - breaks the limits below, or declares sizes that cannot be true (a
//     stored entry whose sizes differ, a folder with contents, more data
//     than the archive holds).
//
// Success means every entry was written whole: each file got exactly its
// declared number of bytes and its CRC matched. Any read, inflate, CRC, size
// or write fault fails the unpack. A failed unpack may leave partial files
// and folders in the target folder, never outside it; the caller discards
// the target folder when it needs all or nothing. Existing files in the
// target are replaced; an existing symbolic link or reparse point below the
// target is never followed.
#include <cstdint>
#include <functional>
#include <string>

namespace platform {

struct ZipLimits {
  uint64_t maxEntries = 10000;
  uint64_t maxTotalSize = 4ull << 30;    // sum of the declared uncompressed sizes
  uint64_t maxRatio = 1000;              // uncompressed : compressed, per entry ...
  uint64_t ratioCheckedFrom = 1u << 20;  // ... for entries of at least this size
};

enum class UnzipStatus {
  Ok,
  CannotOpenArchive,   // missing, unreadable or not a ZIP archive
  DamagedArchive,      // the central directory or a local header is broken
  HostileName,         // an entry name that is refused (list above)
  UnsupportedEntry,    // method, encryption, symbolic link, special file
  LimitExceeded,       // entry count, total size or compression ratio
  DamagedData,         // read error, corrupt deflate data, CRC or size mismatch
  CannotWrite,         // the target folder or an output file could not be written
  Cancelled,           // the progress routine asked to stop
};

struct UnzipResult {
  UnzipStatus status = UnzipStatus::Ok;
  std::string reason;     // one line in English, for logs and the command-line tool
  std::string entryName;  // the entry concerned, GBK, empty when none
  uint64_t entryCount = 0;       // entries in the archive
  uint64_t filesWritten = 0;     // files written whole
  uint64_t foldersCreated = 0;   // folders created or found in place
  uint64_t bytesWritten = 0;
  bool ok() const { return status == UnzipStatus::Ok; }
};

// Called after every block written with the bytes written so far and the sum
// of the declared sizes; returning false stops the unpack (status Cancelled).
using UnzipProgress = std::function<bool(uint64_t bytesDone, uint64_t bytesTotal)>;

// The target folder is created when it is missing (one level); its parent
// must exist. Never throws.
UnzipResult unzipArchive(const std::string& archivePath, const std::string& targetFolder,
                         const UnzipProgress& progress = {}, const ZipLimits& limits = {});

} // namespace platform
